#include "playback/SdlAudioSink.h"

#include "playback/QuietAlsaErrors.h"

#include <SDL.h>

#include <algorithm>
#include <utility>

std::unique_ptr<AudioSink> CreateSystemAudioSink() {
    return std::make_unique<SdlAudioSink>();
}

SdlAudioSink::~SdlAudioSink() {
    Stop();
}

bool SdlAudioSink::Start(std::uint32_t sampleRate, std::uint32_t channels, Pull pull,
                         std::string& error) {
    Stop();
    // A machine without sound makes ALSA print its reasons; the caller reports the failure.
    const QuietAlsaErrors quiet;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SDL_GetError();
        return false;
    }
    subsystem_ = true;
    pull_ = std::move(pull);
    channels_ = channels;
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(sampleRate);
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = 1024; // about 46 ms at 22,050 Hz
    want.callback = &SdlAudioSink::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the device takes.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
        error = SDL_GetError();
        Stop();
        return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SdlAudioSink::Stop() {
    // Closing the device waits for a running callback to return.
    if (device_ != 0)
        SDL_CloseAudioDevice(device_);
    device_ = 0;
    if (subsystem_)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ = false;
    pull_ = nullptr;
}

void SdlAudioSink::Callback(void* self, std::uint8_t* stream, int length) {
    auto& sink = *static_cast<SdlAudioSink*>(self);
    const std::size_t samples = static_cast<std::size_t>(length) / sizeof(std::int16_t);
    // SDL's buffer is aligned for its sample format.
    const std::span<std::int16_t> out(reinterpret_cast<std::int16_t*>(stream), samples);
    const std::size_t frames = sink.pull_ ? sink.pull_(out) : 0;
    const std::size_t filled = std::min(samples, frames * sink.channels_);
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(filled), out.end(), std::int16_t{0});
}
