#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

class MidiOutput;
class Segment;

// The sequencing both live playback and offline rendering use: walks a segment's events in
// order and sends each to the output once time has come to it. How time comes is the
// caller's: `advanceTo(timeUs)` returns when the segment's clock has reached `timeUs` (a
// player waits for the wall clock, a renderer renders samples up to it), or false to stop.
class Sequencer {
public:
    using AdvanceTo = std::function<bool(std::uint64_t timeUs)>;

    // How far the clock moves at most between two looks at the audible channels.
    static constexpr std::uint64_t kAudibleCheckUs = 50000;

    // True when the end of the segment (its length) was reached, false when stopped.
    // With `audible` (bit n: channel index n sounds), changed by another thread while the
    // segment plays: the note-ons of the other channels are not sent, every other message
    // is (so a channel unmuted again has its controllers and programs), and a channel that
    // becomes muted gets All Sound Off and All Notes Off within kAudibleCheckUs of the clock.
    static bool Run(const Segment& segment, MidiOutput& output, const AdvanceTo& advanceTo,
                    const std::atomic<std::uint16_t>* audible = nullptr);
};
