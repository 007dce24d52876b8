#include "playback/Sequencer.h"

#include "playback/MidiOutput.h"
#include "playback/Segment.h"

#include <algorithm>

namespace {

bool IsNoteOn(const std::uint8_t* bytes, std::uint32_t size) {
    return size >= 3 && (bytes[0] & 0xF0) == 0x90 && bytes[2] != 0;
}

// All Sound Off and All Notes Off on every channel that `was` audible and `now` is not.
void SilenceMuted(MidiOutput& output, std::uint16_t was, std::uint16_t now) {
    const auto muted = static_cast<std::uint16_t>(was & ~now);
    for (int ch = 0; ch < 16; ++ch) {
        if ((muted & (1u << ch)) == 0)
            continue;
        const auto status = static_cast<std::uint8_t>(0xB0 | ch);
        const std::uint8_t soundOff[3] = {status, 120, 0};
        const std::uint8_t notesOff[3] = {status, 123, 0};
        output.Send(soundOff, 3);
        output.Send(notesOff, 3);
    }
}

} // namespace

bool Sequencer::Run(const Segment& segment, MidiOutput& output, const AdvanceTo& advanceTo,
                    const std::atomic<std::uint16_t>* audible) {
    if (audible == nullptr) {
        for (const Segment::Event& event : segment.GetEvents()) {
            if (!advanceTo(event.timeUs))
                return false;
            output.Send(segment.GetBytes(event), event.size);
        }
        return advanceTo(segment.GetLengthUs());
    }

    std::uint16_t mask = audible->load(std::memory_order_acquire);
    std::uint64_t now = 0;
    // The clock moves on in short steps, and a change of the audible channels between two
    // events takes effect at the next step.
    const auto advance = [&](std::uint64_t to) {
        do {
            now = std::max(now, std::min(to, now + kAudibleCheckUs));
            if (!advanceTo(now))
                return false;
            const std::uint16_t latest = audible->load(std::memory_order_acquire);
            SilenceMuted(output, mask, latest);
            mask = latest;
        } while (now < to);
        return true;
    };
    for (const Segment::Event& event : segment.GetEvents()) {
        if (!advance(event.timeUs))
            return false;
        const std::uint8_t* bytes = segment.GetBytes(event);
        if (IsNoteOn(bytes, event.size) && (mask & (1u << (bytes[0] & 0x0F))) == 0)
            continue;
        output.Send(bytes, event.size);
    }
    return advance(segment.GetLengthUs());
}
