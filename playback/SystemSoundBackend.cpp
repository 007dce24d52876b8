#include "playback/SystemSoundBackend.h"

#include "playback/FindSoundFont.h"
#include "playback/FluidSynthOutput.h"
#include "playback/RtMidiPortOutput.h"

#include <cstdlib>

std::unique_ptr<MidiOutput> SystemSoundBackend::OpenDefaultDevice() {
    const std::optional<std::string> soundFont = FindSoundFont();
    if (!soundFont)
        return nullptr;
    const char* driver = std::getenv("QUELLOR_AUDIO_DRIVER");
    std::string error;
    return FluidSynthOutput::CreateLive(*soundFont, driver ? driver : "", error);
}

std::vector<OutputPortRecord> SystemSoundBackend::ListOutputPorts() {
    return RtMidiPortOutput::ListPorts();
}

std::unique_ptr<MidiOutput> SystemSoundBackend::OpenPort(const OutputPortRecord& port) {
    return RtMidiPortOutput::Open(port);
}

std::unique_ptr<SoundBackend> CreateSystemSoundBackend() {
    return std::make_unique<SystemSoundBackend>();
}
