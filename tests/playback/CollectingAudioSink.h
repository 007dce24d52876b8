#pragma once

#include "playback/AudioSink.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A sound output for tests: it keeps what it is given to pull from, and pulls only when the
// test asks (PullFrames), collecting the samples. Its state outlives the sink, so a test
// can look after handing the sink away.
class CollectingAudioSink : public AudioSink {
public:
    struct State {
        std::mutex mutex;
        Pull pull;         // set between Start and Stop
        bool works = true; // false: Start fails like a machine without sound
        int starts = 0;    // successful starts
        std::uint32_t sampleRate = 0;
        std::uint32_t channels = 0;
        std::vector<std::int16_t> samples; // every sample pulled since the last start

        bool Started() {
            const std::lock_guard lock(mutex);
            return static_cast<bool>(pull);
        }
        // Pulls `frames` frames as a sound card would; how many the player gave.
        std::size_t PullFrames(std::size_t frames) {
            const std::lock_guard lock(mutex);
            if (!pull)
                return 0;
            std::vector<std::int16_t> block(frames * channels);
            const std::size_t n = pull(block);
            samples.insert(samples.end(), block.begin(),
                           block.begin() + static_cast<std::ptrdiff_t>(n * channels));
            return n;
        }
    };

    bool Start(std::uint32_t sampleRate, std::uint32_t channels, Pull pull,
               std::string& error) override {
        const std::lock_guard lock(state->mutex);
        if (!state->works) {
            error = "no sound card";
            return false;
        }
        state->pull = std::move(pull);
        state->sampleRate = sampleRate;
        state->channels = channels;
        state->samples.clear();
        ++state->starts;
        return true;
    }
    void Stop() override {
        const std::lock_guard lock(state->mutex);
        state->pull = nullptr;
    }

    std::shared_ptr<State> state = std::make_shared<State>();
};
