#pragma once

#include "song/EventRef.h"
#include "song/HugePages.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

// The events of one track, stored compactly: one 8-byte record per event (its time and, for
// a message of up to three bytes, the bytes themselves), and for every longer or meta or
// escape event a side entry whose bytes live in one byte arena. Nearly every event of a song
// is a channel message of two or three bytes, so a song costs about 8 bytes an event and
// frees in a few steps: nothing in the list needs a destructor.
//
// Copying the list copies everything (the arena too), so a copy is independent of its
// source. Removing events leaves their arena bytes unused until the list is cleared.
class EventList {
public:
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = EventRef;
        using difference_type = std::ptrdiff_t;
        using reference = EventRef;
        using pointer = void;

        Iterator() = default;
        Iterator(const EventList* list, std::size_t index) : list_(list), index_(index) {}
        EventRef operator*() const { return (*list_)[index_]; }
        Iterator& operator++() {
            ++index_;
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            ++index_;
            return old;
        }
        bool operator==(const Iterator& other) const { return index_ == other.index_; }
        std::size_t Index() const { return index_; }

    private:
        const EventList* list_ = nullptr;
        std::size_t index_ = 0;
    };

    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    // Room for `events` records; a large room is backed by huge pages as it fills.
    void reserve(std::size_t events);
    std::size_t capacity() const { return records_.capacity(); }
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, records_.size()); }

    EventRef operator[](std::size_t index) const {
        const Record& r = records_[index];
        if (r.tag < kExternal)
            return EventRef(r.time, r.bytes, r.tag, EventRef::Plain, 0);
        const External& x = externals_[ExternalIndex(r)];
        return EventRef(r.time, arena_.data() + x.offset, x.length,
                        static_cast<EventRef::Kind>(x.kind), x.metaType);
    }
    std::uint32_t TimeAt(std::size_t index) const { return records_[index].time; }
    // The bytes of an event, to change them in place (the length stays).
    std::uint8_t* MutableData(std::size_t index) {
        Record& r = records_[index];
        return r.tag < kExternal ? r.bytes : arena_.data() + externals_[ExternalIndex(r)].offset;
    }

    // Stores a copy of the bytes at the end; a meta event keeps its type byte.
    void PushBack(std::uint32_t time, const std::uint8_t* data, std::uint32_t length,
                  EventRef::Kind kind, std::uint8_t metaType) {
        if (!data)
            length = 0;
        if (kind == EventRef::Plain && length <= kInlineBytes) {
            Record& r = records_.emplace_back();
            r.time = time;
            r.tag = static_cast<std::uint8_t>(length);
            if (length)
                std::memcpy(r.bytes, data, length);
        } else {
            records_.push_back(MakeExternal(time, data, length, kind, metaType));
        }
    }
    // Appends a message of two or three bytes; d2 is 0 for two.
    void PushShort(std::uint32_t time, std::uint8_t status, std::uint8_t d1, std::uint8_t d2,
                   std::uint32_t length) {
        Record& r = records_.emplace_back();
        r.time = time;
        r.bytes[0] = status;
        r.bytes[1] = d1;
        r.bytes[2] = d2;
        r.tag = static_cast<std::uint8_t>(length);
    }
    void PushBack(const EventRef& event) {
        PushBack(event.GetTime(), event.GetData(), event.GetLength(), event.GetKind(),
                 event.GetMetaType());
    }
    // Calls visit(time, bytes, length) for the events from `index` on while they are kept in
    // their records (plain messages of up to three bytes, which visit may change in place)
    // and visit returns true; returns the index of the first event not visited.
    template <class Visit> std::size_t VisitInline(std::size_t index, Visit&& visit) {
        Record* const records = records_.data();
        const std::size_t count = records_.size();
        for (; index < count; ++index) {
            Record& r = records[index];
            if (r.tag >= kExternal || !visit(r.time, r.bytes, std::uint32_t{r.tag}))
                break;
        }
        return index;
    }
    // Inserts a copy of the event before position `index`.
    void Insert(std::size_t index, const EventRef& event);
    // Removes every event for which keep-not `remove(EventRef)` is true, keeping the order
    // of the rest; the number removed.
    template <class Pred> std::size_t EraseIf(Pred&& remove);
    // True when one of the events stored outside the records (SysEx, meta events, escapes,
    // anything longer than three bytes) satisfies `pred`; a fast way to ask whether a list
    // holds such an event at all. Removed events may still be seen.
    template <class Pred> bool AnyLongEvent(Pred&& pred) const;
    // The events kept outside their records, and the bytes they take in the arena (removed
    // ones included): what a writer may have to write besides the records.
    std::size_t LongEventCount() const { return externals_.size(); }
    std::size_t LongEventBytes() const { return arena_.size(); }
    // The first position whose time is at or after `time`.
    std::size_t LowerBound(std::uint32_t time) const;
    void clear();

private:
    static constexpr std::uint32_t kInlineBytes = 3;
    static constexpr std::uint8_t kExternal = 0x80;
    // An event: its time, then up to three bytes with their count in `tag` (0-3), or, with
    // the top bit of `tag` set, the index of its side entry in bytes and tag.
    struct Record {
        std::uint32_t time;
        std::uint8_t bytes[kInlineBytes] = {0, 0, 0};
        std::uint8_t tag = 0;
    };
    struct External {
        std::uint64_t offset;
        std::uint32_t length;
        std::uint8_t kind;
        std::uint8_t metaType;
    };
    static std::size_t ExternalIndex(const Record& r) {
        return r.bytes[0] | (std::size_t{r.bytes[1]} << 8) | (std::size_t{r.bytes[2]} << 16) |
               (std::size_t{r.tag & 0x7Fu} << 24);
    }
    Record MakeExternal(std::uint32_t time, const std::uint8_t* data, std::uint32_t length,
                        EventRef::Kind kind, std::uint8_t metaType);

    std::vector<Record, HugePageAllocator<Record>> records_;
    std::vector<External> externals_;
    std::vector<std::uint8_t> arena_;
};

static_assert(sizeof(EventRef) <= 24);

template <class Pred> std::size_t EventList::EraseIf(Pred&& remove) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < records_.size(); ++i)
        if (!remove((*this)[i]))
            records_[out++] = records_[i];
    const std::size_t removed = records_.size() - out;
    records_.resize(out);
    return removed;
}

template <class Pred> bool EventList::AnyLongEvent(Pred&& pred) const {
    for (const External& x : externals_)
        if (pred(EventRef(0, arena_.data() + x.offset, x.length,
                          static_cast<EventRef::Kind>(x.kind), x.metaType)))
            return true;
    return false;
}
