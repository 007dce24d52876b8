#include "playback/RtMidiPortOutput.h"

#include "playback/QuietAlsaErrors.h"

#include <alsa/asoundlib.h>
#include <rtmidi/RtMidi.h>

namespace {

constexpr const char* kClientName = "Quellor";
constexpr std::size_t kMaxNameLength = 255;

// Whether the ALSA sequencer opens, asked quietly: where it does not (a machine without
// sound), ALSA and RtMidi would each print an error before RtMidi throws.
bool AlsaSequencerOpens() {
    QuietAlsaErrors quiet;
    snd_seq_t* seq = nullptr;
    const bool opens = snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) >= 0;
    if (opens)
        snd_seq_close(seq);
    return opens;
}

} // namespace

RtMidiPortOutput::RtMidiPortOutput(std::unique_ptr<RtMidiOut> out) : out_(std::move(out)) {}

RtMidiPortOutput::~RtMidiPortOutput() {
    try {
        out_->closePort();
    } catch (const RtMidiError&) {
    }
}

std::vector<OutputPortRecord> RtMidiPortOutput::ListPorts() {
    std::vector<OutputPortRecord> ports;
    if (!AlsaSequencerOpens())
        return ports;
    try {
        RtMidiOut out(RtMidi::LINUX_ALSA, kClientName);
        const unsigned count = out.getPortCount();
        for (unsigned i = 0; i < count; ++i) {
            OutputPortRecord record;
            record.enumerationIndex = i;
            record.portId = out.getPortName(i);
            record.name = record.portId.substr(0, kMaxNameLength);
            ports.push_back(std::move(record));
        }
    } catch (const RtMidiError&) {
        ports.clear(); // no ALSA sequencer: no ports
    }
    return ports;
}

std::unique_ptr<RtMidiPortOutput> RtMidiPortOutput::Open(const OutputPortRecord& port) {
    if (!AlsaSequencerOpens())
        return nullptr;
    try {
        auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
        const unsigned count = out->getPortCount();
        // Ports may have come and gone since they were listed: the name decides.
        unsigned index = count;
        if (port.enumerationIndex < count && out->getPortName(port.enumerationIndex) == port.portId)
            index = port.enumerationIndex;
        for (unsigned i = 0; i < count && index == count; ++i)
            if (out->getPortName(i) == port.portId)
                index = i;
        if (index == count)
            return nullptr;
        out->openPort(index, "Quellor Output");
        if (!out->isPortOpen())
            return nullptr;
        return std::unique_ptr<RtMidiPortOutput>(new RtMidiPortOutput(std::move(out)));
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

void RtMidiPortOutput::Send(const std::uint8_t* data, std::size_t size) {
    try {
        out_->sendMessage(data, size);
    } catch (const RtMidiError&) {
        // A port that went away mid-song: the rest of the song is lost, nothing else.
    }
}
