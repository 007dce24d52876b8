// Whole-channel operations: duplicate, remove, and the vibra channel made from a bass line.
#include "song/SongWriter.h"

#include <algorithm>

int SongWriter::DuplicateChannel(int source, int destination) {
    bool copied = false;
    for (Track& track : tracks) {
        std::size_t matches = 0;
        for (const EventRef e : track.events)
            if (e.IsChannelMessage() && (e.GetCode() & 0x0F) == source)
                ++matches;
        if (matches == 0)
            continue;
        // One pass: each copy goes right before its source event, so copies of events that
        // share a time keep their sources' order.
        EventList merged;
        merged.reserve(track.events.size() + matches);
        for (const EventRef e : track.events) {
            if (e.IsChannelMessage() && (e.GetCode() & 0x0F) == source) {
                SongEvent copy(e.GetTime(), e.GetData(), e.GetLength(), false);
                copy.GetMutableData()[0] =
                    static_cast<std::uint8_t>((e.GetCode() & 0xF0) | destination);
                merged.PushBack(copy);
            }
            merged.PushBack(e);
        }
        track.events = std::move(merged);
        copied = true;
    }
    if (copied)
        used[destination] = true;
    if (!programSeen[destination]) {
        program[destination] = program[source] & 0xFF;
        programSeen[destination] = true;
    }
    maxPolyphony[destination] = maxPolyphony[source];
    polyphony[destination] = polyphony[source];
    // The copy's notes sound with the source's: they count in the song's polyphony at once.
    timelines[destination] = timelines[source];
    SetChannelPriority(destination, CountUsedChannels());
    return copied ? 1 : 0;
}

int SongWriter::RemoveChannel(int channel) {
    bool removed = false;
    for (Track& track : tracks) {
        if (track.events.EraseIf([channel](const EventRef& e) {
                return e.IsChannelMessage() && (e.GetCode() & 0x0F) == channel;
            }) > 0)
            removed = true;
    }
    used[channel] = false;
    // Its notes are gone: they no longer count in the song's polyphony.
    timelines[channel].Clear();
    // The channels after it move up one place, so the used channels keep priorities 1..n.
    const int removedPriority = priority[channel];
    if (removedPriority > 0) {
        for (int ch = 0; ch < kChannels; ++ch)
            if (ch != channel && priority[ch] > removedPriority)
                --priority[ch];
        priority[channel] = 0;
    }
    if (vibraChannel == channel)
        vibraChannel = -1;
    return removed ? 1 : 0;
}

int SongWriter::AddVibraFromBass(bool updateMipFirst) {
    int source = -1;
    for (int ch = 0; ch < kChannels && source < 0; ++ch) {
        const int prog = GetProgram(ch);
        if (prog >= 32 && prog <= 39 && maxPolyphony[ch] <= 1)
            source = ch;
    }
    if (source < 0)
        return -1;
    int destination = -1;
    for (int ch = 0; ch < kChannels && destination < 0; ++ch)
        if (!used[ch])
            destination = ch;
    if (destination < 0)
        return -1;
    if (updateMipFirst)
        UpdateMipMessage();
    DuplicateChannel(source, destination);
    vibraChannel = destination;
    SetChannelPriority(destination, 2);
    return destination;
}
