#include "song/PolyphonyTimeline.h"

#include <algorithm>

void PolyphonyTimeline::Normalize() const {
    if (sorted_)
        return;
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.time < b.time; });
    // Keep the last entry written for each time.
    std::size_t out = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (out > 0 && entries_[out - 1].time == entries_[i].time)
            entries_[out - 1] = entries_[i];
        else
            entries_[out++] = entries_[i];
    }
    entries_.resize(out);
    sorted_ = true;
}

std::optional<std::uint32_t> PolyphonyTimeline::Find(std::uint32_t time) const {
    Normalize();
    auto it = std::lower_bound(entries_.begin(), entries_.end(), time,
                               [](const Entry& e, std::uint32_t t) { return e.time < t; });
    if (it == entries_.end() || it->time != time)
        return std::nullopt;
    return it->value;
}

const std::vector<PolyphonyTimeline::Entry>& PolyphonyTimeline::Entries() const {
    Normalize();
    return entries_;
}

void PolyphonyTimeline::Clear() {
    entries_.clear();
    entries_.shrink_to_fit();
    sorted_ = true;
}
