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

    // The channels that sound (bit n: channel index n), changed while the segment plays:
    // the player skips the note-ons of the others and silences a channel once it is muted.
    void SetAudibleChannels(std::uint16_t mask) { audible_.store(mask, std::memory_order_release); }
    const std::atomic<std::uint16_t>& AudibleChannels() const { return audible_; }

private:
    std::shared_ptr<const Segment> segment_;
    Clock::time_point start_;
    std::atomic<bool> playing_{true};
    std::atomic<std::uint64_t> finalSeekMs_{0};
    std::atomic<std::uint16_t> audible_{0xFFFF};
};
