#pragma once

#include "playback/MidiOutput.h"

#include <memory>
#include <string>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

// FluidSynth's synthesizer with a SoundFont loaded, optionally sounding through an audio
// driver (live playback); without one its samples are taken with Render (offline).
class FluidSynthOutput : public MidiOutput {
public:
    static constexpr int kSampleRate = 44100;

    // A synthesizer at 44.1 kHz with `soundFont` and no audio driver; nullptr with `error`
    // set when it cannot be made.
    static std::unique_ptr<FluidSynthOutput> CreateOffline(const std::string& soundFont,
                                                           std::string& error);
    // A synthesizer on the audio driver `driver`, or when it is empty on the first of
    // pulseaudio, pipewire, alsa, jack, sdl2 that opens. The "file" driver writes to the file
    // QUELLOR_AUDIO_FILE names, else nowhere (/dev/null).
    static std::unique_ptr<FluidSynthOutput>
    CreateLive(const std::string& soundFont, const std::string& driver, std::string& error);
    ~FluidSynthOutput() override;

    void Send(const std::uint8_t* data, std::size_t size) override;
    // Interleaved stereo 16-bit samples for the next `frames` frames.
    void Render(std::int16_t* samples, int frames);
    // The audio driver in use; empty offline.
    const std::string& GetDriverName() const { return driverName_; }

private:
    struct SettingsDeleter {
        void operator()(fluid_settings_t* p) const;
    };
    struct SynthDeleter {
        void operator()(fluid_synth_t* p) const;
    };
    struct DriverDeleter {
        void operator()(fluid_audio_driver_t* p) const;
    };

    FluidSynthOutput() = default;
    bool Init(const std::string& soundFont, std::string& error);

    // Declared in creation order: destroyed driver first, then synthesizer, then settings.
    std::unique_ptr<fluid_settings_t, SettingsDeleter> settings_;
    std::unique_ptr<fluid_synth_t, SynthDeleter> synth_;
    std::unique_ptr<fluid_audio_driver_t, DriverDeleter> driver_;
    std::string driverName_;
};
