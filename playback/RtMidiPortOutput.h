#pragma once

#include "playback/MidiOutput.h"
#include "playback/OutputPortRecord.h"

#include <memory>
#include <vector>

class RtMidiOut;

// An ALSA sequencer output port opened through RtMidi.
class RtMidiPortOutput : public MidiOutput {
public:
    // The output ports RtMidi lists, in its order; none where the ALSA sequencer cannot be
    // opened.
    static std::vector<OutputPortRecord> ListPorts();
    // Opens the port, found again by its name; nullptr when it is gone or cannot be opened.
    static std::unique_ptr<RtMidiPortOutput> Open(const OutputPortRecord& port);
    ~RtMidiPortOutput() override;

    void Send(const std::uint8_t* data, std::size_t size) override;

private:
    explicit RtMidiPortOutput(std::unique_ptr<RtMidiOut> out);
    std::unique_ptr<RtMidiOut> out_;
};
