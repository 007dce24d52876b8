#include "song/Track.h"

#include <stdexcept>

bool Track::AddEvent(std::uint32_t time, const std::uint8_t* data, std::uint32_t length,
                     bool isMeta, std::uint8_t metaType) {
    return AddEvent(time, data, length, isMeta ? EventRef::Meta : EventRef::Plain, metaType);
}

bool Track::InsertEventSorted(const EventRef& event) {
    const std::size_t at = events.LowerBound(event.GetTime());
    if (at == events.size())
        return false;
    events.Insert(at, event);
    return true;
}

EventRef Track::GetEvent(std::size_t index) const {
    if (index >= events.size())
        throw std::invalid_argument("event index out of range");
    return events[index];
}

void Track::RemoveAllEvents() {
    events.clear();
    endTime = 0;
}
