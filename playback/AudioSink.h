#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

// Where the phone preview's sound goes while it plays: the sound card, or in tests a sink
// that collects the samples. A sink pulls interleaved 16-bit frames at its own pace.
class AudioSink {
public:
    // Fills the front of the span (whole frames) and returns how many frames it wrote; fewer
    // than fit once the sound has ended. The sink plays silence for the rest.
    using Pull = std::function<std::size_t(std::span<std::int16_t>)>;

    virtual ~AudioSink() = default;
    // Starts pulling from `pull` at `sampleRate` frames a second, `channels` samples a frame.
    // False with `error` set when nothing can play the sound (no sound card, say).
    virtual bool Start(std::uint32_t sampleRate, std::uint32_t channels, Pull pull,
                       std::string& error) = 0;
    // Stops pulling; when it returns, `pull` runs no more. Safe without a start.
    virtual void Stop() = 0;
};

// The sink of the system's default sound output (SDL2).
std::unique_ptr<AudioSink> CreateSystemAudioSink();
