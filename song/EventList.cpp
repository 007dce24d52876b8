#include "song/EventList.h"
#include "song/HugePages.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

EventList::Record EventList::MakeExternal(std::uint32_t time, const std::uint8_t* data,
                                          std::uint32_t length, EventRef::Kind kind,
                                          std::uint8_t metaType) {
    const std::size_t index = externals_.size();
    if (index >= (std::size_t{1} << 31))
        throw std::length_error("too many long events in one track");
    // Short payloads are padded with zeros to eight bytes, so that a reader looking at the
    // first bytes of any event finds zeros, not the next event's bytes.
    // The bytes may lie in this arena already (an event copied within its list): their
    // place is taken before the arena grows.
    const std::uint8_t* base = arena_.data();
    const bool own = length && !std::less<const std::uint8_t*>()(data, base) &&
                     std::less<const std::uint8_t*>()(data, base + arena_.size());
    const std::size_t from = own ? static_cast<std::size_t>(data - base) : 0;
    const std::size_t offset = arena_.size();
    arena_.resize(offset + std::max<std::size_t>(length, 8));
    if (length)
        std::memcpy(arena_.data() + offset, own ? arena_.data() + from : data, length);
    externals_.push_back({offset, length, static_cast<std::uint8_t>(kind),
                          kind == EventRef::Meta ? metaType : std::uint8_t{0}});
    Record r;
    r.time = time;
    r.bytes[0] = static_cast<std::uint8_t>(index);
    r.bytes[1] = static_cast<std::uint8_t>(index >> 8);
    r.bytes[2] = static_cast<std::uint8_t>(index >> 16);
    r.tag = static_cast<std::uint8_t>(kExternal | (index >> 24));
    return r;
}

void EventList::reserve(std::size_t events) {
    records_.reserve(events);
}

void EventList::Insert(std::size_t index, const EventRef& event) {
    PushBack(event);
    const Record r = records_.back();
    records_.pop_back();
    records_.insert(records_.begin() + static_cast<std::ptrdiff_t>(index), r);
}

std::size_t EventList::LowerBound(std::uint32_t time) const {
    const auto at = std::lower_bound(records_.begin(), records_.end(), time,
                                     [](const Record& r, std::uint32_t t) { return r.time < t; });
    return static_cast<std::size_t>(at - records_.begin());
}

void EventList::clear() {
    records_ = {};
    externals_ = {};
    arena_ = {};
}
