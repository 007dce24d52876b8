#include "playback/SegmentState.h"

#include "playback/Segment.h"

#include <algorithm>

namespace {

std::uint64_t ElapsedMs(SegmentState::Clock::time_point from, SegmentState::Clock::time_point to) {
    if (to <= from)
        return 0;
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

} // namespace

SegmentState::SegmentState(std::shared_ptr<const Segment> segment, Clock::time_point start)
    : segment_(std::move(segment)), start_(start) {}

std::uint64_t SegmentState::GetSeek() const {
    if (!playing_.load(std::memory_order_acquire))
        return finalSeekMs_.load(std::memory_order_relaxed);
    return std::min(ElapsedMs(start_, Clock::now()), segment_->GetLengthMs());
}

void SegmentState::Finish(Clock::time_point when) {
    finalSeekMs_.store(std::min(ElapsedMs(start_, when), segment_->GetLengthMs()),
                       std::memory_order_relaxed);
    playing_.store(false, std::memory_order_release);
}
