#include "playback/Sequencer.h"

#include "playback/MidiOutput.h"
#include "playback/Segment.h"

bool Sequencer::Run(const Segment& segment, MidiOutput& output, const AdvanceTo& advanceTo) {
    for (const Segment::Event& event : segment.GetEvents()) {
        if (!advanceTo(event.timeUs))
            return false;
        output.Send(segment.GetBytes(event), event.size);
    }
    return advanceTo(segment.GetLengthUs());
}
