#pragma once

#include "playback/AudioSink.h"
#include "playback/PhoneEngine.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

// The live phone preview: a song played by PhoneEngine at N voices into an AudioSink, which
// pulls the samples on a thread of its own. Play, Stop and the queries are called from one
// thread (the user-interface thread); the sink's thread only renders.
class PhonePlayer {
public:
    enum class Result {
        Playing,
        NotPlayable, // the engine refused the song or the voices (GetError says why)
        NoSound,     // the sink cannot play (GetSoundError says why)
    };

    explicit PhonePlayer(std::unique_ptr<AudioSink> sink);
    ~PhonePlayer();
    PhonePlayer(const PhonePlayer&) = delete;
    PhonePlayer& operator=(const PhonePlayer&) = delete;

    // Stops whatever plays, then plays `song` from its start as a phone with `voices` voices.
    Result Play(std::span<const std::uint8_t> song, int voices);
    // Ends the playback; when it returns the sink pulls no more. Safe when nothing plays.
    void Stop();
    // The song is sounding: started and neither played out nor stopped.
    bool IsPlaying() const { return playing_.load(std::memory_order_acquire); }
    // The last song's length (without its release) and the time played so far, in ms.
    std::uint64_t GetLengthMs() const { return lengthMs_; }
    std::uint64_t GetPositionMs() const;

    PhoneError GetError() const { return error_; }
    const std::string& GetSoundError() const { return soundError_; }

private:
    std::size_t Pull(std::span<std::int16_t> out);

    std::unique_ptr<AudioSink> sink_;
    std::unique_ptr<PhoneEngine> engine_; // read by the sink's thread between Start and Stop
    std::atomic<bool> playing_{false};
    std::atomic<std::uint64_t> frames_{0};
    std::uint64_t lengthMs_ = 0;
    PhoneError error_ = PhoneError::None;
    std::string soundError_;
};
