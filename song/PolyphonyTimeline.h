#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The number of notes sounding on one channel just after the note events at each time (ms)
// at which the channel had a note event. A later entry for the same time overwrites the
// earlier one.
//
// Entries arrive almost always in time order (one track after another), so they are kept in
// a vector; an entry that goes back in time marks the vector for one stable sort before the
// next lookup, which keeps the last value written for each time.
class PolyphonyTimeline {
public:
    struct Entry {
        std::uint32_t time;
        std::uint32_t value;
    };

    void Set(std::uint32_t time, std::uint32_t value) {
        if (sorted_ && !entries_.empty()) {
            Entry& last = entries_.back();
            if (last.time == time) {
                last.value = value;
                return;
            }
            if (last.time > time)
                sorted_ = false;
        }
        entries_.push_back({time, value});
    }
    std::optional<std::uint32_t> Find(std::uint32_t time) const;
    bool IsEmpty() const { return entries_.empty(); }
    void Clear();
    // All entries, ascending by time, one per time.
    const std::vector<Entry>& Entries() const;

private:
    void Normalize() const;

    mutable std::vector<Entry> entries_;
    mutable bool sorted_ = true;
};
