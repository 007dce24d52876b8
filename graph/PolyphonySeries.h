#pragma once

#include "song/SongData.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The notes sounding at once over a song's enabled channels as a list of the times at which
// that sum changes, in ascending time. It is built once from the song (one merge of the
// channels' timelines) and then read for every redraw of the graph, so zooming, scrolling
// and resizing cost only the part shown; the song's enabled flags or notes changing call for
// a new one.
class PolyphonySeries {
public:
    struct Point {
        std::uint32_t time;
        std::uint32_t sum;
    };

    PolyphonySeries() = default;
    explicit PolyphonySeries(const SongData& song);

    // The changes, ascending by time, each with the sum from its time on; before the first
    // the sum is 0. Only times before the song's last time count, as for its sequence
    // polyphony.
    const std::vector<Point>& Points() const { return points_; }
    // The song's last time, the end of the graph's time axis.
    std::uint32_t LastTime() const { return lastTime_; }
    // The largest sum: the song's sequence polyphony.
    std::uint32_t MaxSum() const { return maxSum_; }
    // The index of the first change at or after `time`.
    std::size_t FirstAtOrAfter(std::int64_t time) const;

private:
    std::vector<Point> points_;
    std::uint32_t lastTime_ = 0;
    std::uint32_t maxSum_ = 0;
};
