#pragma once

#include <cstddef>
#include <cstdint>

// Where the sequencer sends a segment's events: the synthesizer, a MIDI port, or a recorder
// in tests. Send takes one whole message: a channel message of 1-3 bytes or a SysEx from F0
// to F7. Messages arrive from one thread at a time.
class MidiOutput {
public:
    virtual ~MidiOutput() = default;
    virtual void Send(const std::uint8_t* data, std::size_t size) = 0;
    // All Sound Off (CC 120) and All Notes Off (CC 123) on all sixteen channels.
    virtual void SilenceAll();
    // Reset All Controllers (CC 121) on all sixteen channels, so that a song stopped with a
    // pitch bend or sustain pedal held does not colour the next one.
    virtual void ResetControllers();
};
