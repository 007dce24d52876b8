// The SP-MIDI MIP message: building it, finding it in the song and bringing it up to date.
#include "song/SongWriter.h"

#include <algorithm>
#include <stdexcept>

namespace {

// The cumulative MIP value as the message holds it: one data byte, so a sum beyond 127 is
// written as 127.
std::uint8_t MipValue(int sum) {
    return static_cast<std::uint8_t>(std::clamp(sum, 0, 127));
}

} // namespace

std::vector<std::uint8_t> SongWriter::BuildMipMessage() const {
    std::vector<std::uint8_t> message = {0xF0, 0x7F, 0x7F, 0x0B, 0x01};
    message.reserve(2 * kChannels + 6);
    VisitMipOrder([&message](int ch, int sum) {
        message.push_back(static_cast<std::uint8_t>(ch));
        message.push_back(MipValue(sum));
    });
    message.push_back(0xF7);
    return message;
}

SongWriter::ChannelFlags SongWriter::ChannelsForVoices(int voices) const {
    // The phone walks the message's list and keeps channels while their cumulative value
    // fits its voices; from the first that does not fit on, it drops them all.
    ChannelFlags flags{};
    bool fits = true;
    VisitMipOrder([&](int ch, int sum) {
        fits = fits && MipValue(sum) <= voices;
        flags[ch] = fits;
    });
    return flags;
}

bool SongWriter::IsMipMessage(const EventRef& event) {
    if (event.IsMeta() || event.IsEscape() || event.GetLength() < 6)
        return false;
    const std::uint8_t* d = event.GetData();
    // The device id (byte 2) is not compared.
    return (d[0] & 0xF0) == 0xF0 && d[1] == 0x7F && d[3] == 0x0B && d[4] == 0x01;
}

std::optional<EventRef> SongWriter::FindMipMessage() const {
    // A MIP message is too long to be kept in an event's record: a track whose long events
    // hold none is not walked.
    for (const Track& track : tracks)
        if (track.events.AnyLongEvent(IsMipMessage))
            for (const EventRef event : track.events)
                if (IsMipMessage(event))
                    return event;
    return std::nullopt;
}

SongEvent SongWriter::CreateMipEvent() const {
    const std::vector<std::uint8_t> bytes = BuildMipMessage();
    return SongEvent(0, bytes.data(), static_cast<std::uint32_t>(bytes.size()), false);
}

void SongWriter::UpdateMipMessage() {
    const std::vector<std::uint8_t> bytes = BuildMipMessage();
    // Every MIP message in the song goes, and one new message stands at the start: one left
    // after the first notes leaves them unmasked, a second one replaces the table in mid-song.
    for (Track& track : tracks)
        if (track.events.AnyLongEvent(IsMipMessage))
            track.events.EraseIf(IsMipMessage);
    // With no channel to list (every channel muted, say) the song holds no message at all: an
    // engine that honours the message mutes every channel it does not list, so an empty one
    // would silence the song.
    if (bytes.size() <= 6)
        return;
    EventList& events = GetTrack(0).events;
    // At time 0 of the first track, after any GM System On there: a GM System On resets the
    // engine, the MIP table with it.
    std::size_t at = 0;
    for (std::size_t i = 0; i < events.size() && events.TimeAt(i) == 0; ++i)
        if (IsGmSystemOn(events[i]))
            at = i + 1;
    events.Insert(at, CreateMipEvent());
}

bool SongWriter::IsGmSystemOn(const EventRef& event) {
    if (event.IsMeta() || event.IsEscape() || event.GetLength() != 6)
        return false;
    // F0 7E <device> 09 01 F7 (GM1) and F0 7E <device> 09 03 F7 (GM2).
    const std::uint8_t* d = event.GetData();
    return d[0] == 0xF0 && d[1] == 0x7E && d[3] == 0x09 && (d[4] == 0x01 || d[4] == 0x03);
}
