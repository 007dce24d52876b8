#pragma once

#include "song/EventList.h"
#include "song/SongEvent.h"

#include <cstddef>
#include <cstdint>
#include <string>

// One track of a song: its name and its events in non-decreasing time order.
class Track {
public:
    // Events of this length or more are refused by AddEvent (they do not fit the reader's
    // 65535-byte event buffer together with their code).
    static constexpr std::uint32_t kMaxEventLength = 65535;

    // Stores a copy of the bytes. Appends when the time is at or after endTime, otherwise
    // inserts in time order. False when the event is too large (nothing stored).
    bool AddEvent(std::uint32_t time, const std::uint8_t* data, std::uint32_t length, bool isMeta,
                  std::uint8_t metaType = 0);
    // The same for an event of the given kind.
    bool AddEvent(std::uint32_t time, const std::uint8_t* data, std::uint32_t length,
                  EventRef::Kind kind, std::uint8_t metaType) {
        if (length >= kMaxEventLength)
            return false;
        if (endTime > time)
            return InsertEventSorted(EventRef(time, data, length, kind, metaType));
        endTime = time;
        events.PushBack(time, data, length, kind, metaType);
        return true;
    }
    // Inserts a copy before the first event whose time is greater than or equal to the new
    // one's. Returns false (nothing inserted) when there is no such event.
    bool InsertEventSorted(const EventRef& event);

    std::size_t GetEventCount() const { return events.size(); }
    // Throws std::invalid_argument for an index outside the event list.
    EventRef GetEvent(std::size_t index) const;
    void RemoveAllEvents();

    std::string name;
    std::uint32_t endTime = 0;
    EventList events;
};
