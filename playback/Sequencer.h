#pragma once

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

    // True when the end of the segment (its length) was reached, false when stopped.
    static bool Run(const Segment& segment, MidiOutput& output, const AdvanceTo& advanceTo);
};
