#pragma once

#include "playback/AudioSink.h"

#include <cstdint>

// The default sound output through SDL2's audio subsystem. SDL calls `pull` on its own audio
// thread; the device is opened at Start and closed at Stop.
class SdlAudioSink : public AudioSink {
public:
    SdlAudioSink() = default;
    ~SdlAudioSink() override;
    SdlAudioSink(const SdlAudioSink&) = delete;
    SdlAudioSink& operator=(const SdlAudioSink&) = delete;

    bool Start(std::uint32_t sampleRate, std::uint32_t channels, Pull pull,
               std::string& error) override;
    void Stop() override;

private:
    static void Callback(void* self, std::uint8_t* stream, int length);

    Pull pull_;
    std::uint32_t channels_ = 2;
    std::uint32_t device_ = 0; // SDL_AudioDeviceID; 0 while closed
    bool subsystem_ = false;   // the audio subsystem is initialised by this sink
};
