#pragma once

#include "playback/MidiOutput.h"
#include "playback/OutputPortRecord.h"

#include <memory>
#include <vector>

// What the sound engine plays through: the default device and the system's MIDI output
// ports. The engine uses the system's (synthesizer on an audio driver, ALSA sequencer ports);
// tests give it outputs that record what they receive.
class SoundBackend {
public:
    virtual ~SoundBackend() = default;
    // Opens the default device; nullptr when it cannot sound (no audio driver, no SoundFont).
    virtual std::unique_ptr<MidiOutput> OpenDefaultDevice() = 0;
    // The output ports in the system's order; empty when there is no MIDI system.
    virtual std::vector<OutputPortRecord> ListOutputPorts() = 0;
    // Opens a listed port; nullptr when it cannot be opened.
    virtual std::unique_ptr<MidiOutput> OpenPort(const OutputPortRecord& port) = 0;
};

// FluidSynth on the first audio driver that opens (QUELLOR_AUDIO_DRIVER chooses one) with the
// General MIDI SoundFont, and RtMidi's ALSA output ports.
std::unique_ptr<SoundBackend> CreateSystemSoundBackend();
