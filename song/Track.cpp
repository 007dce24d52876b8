#include "song/Track.h"

#include <algorithm>
#include <stdexcept>

bool Track::AddEvent(std::uint32_t time, const std::uint8_t* data, std::uint32_t length,
                     bool isMeta, std::uint8_t metaType) {
    return AddEvent(time, data, length, isMeta ? SongEvent::Meta : SongEvent::Plain, metaType);
}

bool Track::InsertEventSorted(SongEvent event) {
    auto at =
        std::lower_bound(events.begin(), events.end(), event.GetTime(),
                         [](const SongEvent& e, std::uint32_t time) { return e.GetTime() < time; });
    if (at == events.end())
        return false;
    events.insert(at, std::move(event));
    return true;
}

SongEvent& Track::GetEvent(std::size_t index) {
    if (index >= events.size())
        throw std::invalid_argument("event index out of range");
    return events[index];
}

const SongEvent& Track::GetEvent(std::size_t index) const {
    if (index >= events.size())
        throw std::invalid_argument("event index out of range");
    return events[index];
}

void Track::RemoveAllEvents() {
    events.clear();
    events.shrink_to_fit();
    endTime = 0;
}
