#include "playback/FluidSynthOutput.h"

#include "playback/QuietAlsaErrors.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

namespace {

// FluidSynth's log functions are process-wide and unguarded: every thread that logs reads
// them. Ours is installed once, before the first synthesizer exists, and stays; it passes
// errors and warnings on to FluidSynth's own unless the thread logging has them held back.
fluid_log_function_t g_fluidError = nullptr;
fluid_log_function_t g_fluidWarning = nullptr;
thread_local bool t_holdBackLog = false;

void FilterLog(int level, const char* message, void* data) {
    fluid_log_function_t next = level == FLUID_ERR ? g_fluidError : g_fluidWarning;
    if (!t_holdBackLog && next)
        next(level, message, data);
}

void InstallLogFilter() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_fluidError = fluid_set_log_function(FLUID_ERR, FilterLog, nullptr);
        g_fluidWarning = fluid_set_log_function(FLUID_WARN, FilterLog, nullptr);
    });
}

// FluidSynth logs every audio driver that fails to open; while this thread tries the drivers
// in turn those messages say nothing useful, so they are held back.
class QuietFluidLog {
public:
    QuietFluidLog() { t_holdBackLog = true; }
    ~QuietFluidLog() { t_holdBackLog = false; }
    QuietFluidLog(const QuietFluidLog&) = delete;
    QuietFluidLog& operator=(const QuietFluidLog&) = delete;
};

void CollectOption(void* data, const char*, const char* option) {
    static_cast<std::vector<std::string>*>(data)->push_back(option);
}

// The audio drivers built into this FluidSynth.
std::vector<std::string> AvailableDrivers(fluid_settings_t* settings) {
    std::vector<std::string> drivers;
    fluid_settings_foreach_option(settings, "audio.driver", &drivers, CollectOption);
    return drivers;
}

} // namespace

void FluidSynthOutput::SettingsDeleter::operator()(fluid_settings_t* p) const {
    delete_fluid_settings(p);
}
void FluidSynthOutput::SynthDeleter::operator()(fluid_synth_t* p) const {
    delete_fluid_synth(p);
}
void FluidSynthOutput::DriverDeleter::operator()(fluid_audio_driver_t* p) const {
    delete_fluid_audio_driver(p);
}

FluidSynthOutput::~FluidSynthOutput() {
    // Reverse order of creation, whatever the member order says.
    driver_.reset();
    synth_.reset();
    settings_.reset();
}

bool FluidSynthOutput::Init(const std::string& soundFont, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(soundFont, ec)) {
        error = "SoundFont '" + soundFont + "' not found";
        return false;
    }
    InstallLogFilter();
    settings_.reset(new_fluid_settings());
    if (!settings_) {
        error = "cannot create the synthesizer settings";
        return false;
    }
    fluid_settings_setnum(settings_.get(), "synth.sample-rate", kSampleRate);
    fluid_settings_setnum(settings_.get(), "synth.gain", 0.3);
    // One rendering thread keeps the output the same from run to run.
    fluid_settings_setint(settings_.get(), "synth.cpu-cores", 1);
    synth_.reset(new_fluid_synth(settings_.get()));
    if (!synth_) {
        error = "cannot create the synthesizer";
        return false;
    }
    if (fluid_synth_sfload(synth_.get(), soundFont.c_str(), 1) == FLUID_FAILED) {
        error = "cannot load SoundFont '" + soundFont + "'";
        return false;
    }
    return true;
}

std::unique_ptr<FluidSynthOutput> FluidSynthOutput::CreateOffline(const std::string& soundFont,
                                                                  std::string& error) {
    std::unique_ptr<FluidSynthOutput> output(new FluidSynthOutput());
    if (!output->Init(soundFont, error))
        return nullptr;
    return output;
}

std::unique_ptr<FluidSynthOutput> FluidSynthOutput::CreateLive(const std::string& soundFont,
                                                               const std::string& driver,
                                                               std::string& error) {
    std::unique_ptr<FluidSynthOutput> output(new FluidSynthOutput());
    if (!output->Init(soundFont, error))
        return nullptr;
    fluid_settings_t* settings = output->settings_.get();
    if (driver == "file") {
        const char* file = std::getenv("QUELLOR_AUDIO_FILE");
        if (file && *file) {
            fluid_settings_setstr(settings, "audio.file.name", file);
        } else {
            fluid_settings_setstr(settings, "audio.file.name", "/dev/null");
            fluid_settings_setstr(settings, "audio.file.type", "raw");
        }
    }
    std::vector<std::string> candidates = {driver};
    if (driver.empty()) {
        // Only the drivers this FluidSynth was built with are tried.
        const std::vector<std::string> available = AvailableDrivers(settings);
        candidates.clear();
        for (const char* name : {"pulseaudio", "pipewire", "alsa", "jack", "sdl2"})
            if (std::find(available.begin(), available.end(), name) != available.end())
                candidates.push_back(name);
    }
    {
        QuietFluidLog quiet;
        QuietAlsaErrors quietAlsa;
        for (const std::string& name : candidates) {
            if (fluid_settings_setstr(settings, "audio.driver", name.c_str()) != FLUID_OK)
                continue;
            output->driver_.reset(new_fluid_audio_driver(settings, output->synth_.get()));
            if (output->driver_) {
                output->driverName_ = name;
                return output;
            }
        }
    }
    error = driver.empty() ? "no audio driver could be opened"
                           : "audio driver '" + driver + "' could not be opened";
    return nullptr;
}

void FluidSynthOutput::Send(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return;
    fluid_synth_t* synth = synth_.get();
    const std::uint8_t status = data[0];
    if (status == 0xF0) {
        // FluidSynth takes the SysEx without its F0 and F7.
        if (size >= 2)
            fluid_synth_sysex(synth, reinterpret_cast<const char*>(data + 1),
                              static_cast<int>(size - 2), nullptr, nullptr, nullptr, 0);
        return;
    }
    const int ch = status & 0x0F;
    const int d1 = size > 1 ? data[1] & 0x7F : 0;
    const int d2 = size > 2 ? data[2] & 0x7F : 0;
    switch (status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth, ch, d1);
        break;
    case 0x90:
        if (d2 == 0)
            fluid_synth_noteoff(synth, ch, d1);
        else
            fluid_synth_noteon(synth, ch, d1, d2);
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, ch, d1, d2);
        break;
    case 0xB0:
        fluid_synth_cc(synth, ch, d1, d2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, ch, d1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, ch, d1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth, ch, d1 | (d2 << 7));
        break;
    default:
        break;
    }
}

void FluidSynthOutput::Render(std::int16_t* samples, int frames) {
    fluid_synth_write_s16(synth_.get(), frames, samples, 0, 2, samples, 1, 2);
}
