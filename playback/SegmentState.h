#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

class Segment;

// One playing instance of a segment: its position follows the clock from the moment it
// started until it ends or is stopped, then stays where it stopped.
class SegmentState {
public:
    using Clock = std::chrono::steady_clock;

    SegmentState(std::shared_ptr<const Segment> segment, Clock::time_point start);

    // The position in ms, at most the segment's length.
    std::uint64_t GetSeek() const;
    // True from the start until the end of the segment or a stop.
    bool IsPlaying() const { return playing_.load(std::memory_order_acquire); }
    const std::shared_ptr<const Segment>& GetSegment() const { return segment_; }
    Clock::time_point GetStart() const { return start_; }

    // Called by the player thread when it ends, at the end of the list or on a stop.
    void Finish(Clock::time_point when);

private:
    std::shared_ptr<const Segment> segment_;
    Clock::time_point start_;
    std::atomic<bool> playing_{true};
    std::atomic<std::uint64_t> finalSeekMs_{0};
};
