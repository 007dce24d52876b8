#pragma once

#include "playback/SoundBackend.h"

// The system's outputs: FluidSynth with the General MIDI SoundFont on an audio driver as the
// default device, RtMidi's ALSA output ports as the ports.
class SystemSoundBackend : public SoundBackend {
public:
    std::unique_ptr<MidiOutput> OpenDefaultDevice() override;
    std::vector<OutputPortRecord> ListOutputPorts() override;
    std::unique_ptr<MidiOutput> OpenPort(const OutputPortRecord& port) override;
};
