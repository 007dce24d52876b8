#include "graph/PolyphonySeries.h"

#include <algorithm>
#include <limits>

PolyphonySeries::PolyphonySeries(const SongData& song) : lastTime_(song.lastTime) {
    song.VisitPolyphonySums([this](std::uint32_t time, std::uint64_t sum) {
        const auto value = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(sum, std::numeric_limits<std::uint32_t>::max()));
        // A time at which a channel's count changes but the sum does not draws nothing.
        if (!points_.empty() && points_.back().sum == value)
            return;
        points_.push_back({time, value});
        maxSum_ = std::max(maxSum_, value);
    });
}

std::size_t PolyphonySeries::FirstAtOrAfter(std::int64_t time) const {
    if (time <= 0)
        return 0;
    const auto at = std::lower_bound(
        points_.begin(), points_.end(), time,
        [](const Point& point, std::int64_t t) { return std::int64_t{point.time} < t; });
    return static_cast<std::size_t>(at - points_.begin());
}
