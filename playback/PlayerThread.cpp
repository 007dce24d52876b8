#include "playback/PlayerThread.h"

#include "playback/MidiOutput.h"
#include "playback/Segment.h"
#include "playback/SegmentState.h"
#include "playback/Sequencer.h"

#include <algorithm>
#include <chrono>

PlayerThread::PlayerThread(std::shared_ptr<SegmentState> state, MidiOutput& output,
                           std::atomic<bool>& playing)
    : state_(std::move(state)), output_(output), playing_(playing) {
    thread_ = std::thread([this] { Run(); });
}

PlayerThread::~PlayerThread() {
    Stop();
}

void PlayerThread::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopRequested_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool PlayerThread::WaitUntil(std::uint64_t timeUs) {
    using Clock = SegmentState::Clock;
    // A time beyond any clock (an absurd file) is waited for in 100 ms steps until a stop.
    const auto offset = std::chrono::microseconds(
        static_cast<std::int64_t>(std::min<std::uint64_t>(timeUs, 1ull << 50)));
    const Clock::time_point due = state_->GetStart() + offset;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (stopRequested_)
            return false;
        const Clock::time_point now = Clock::now();
        if (now >= due)
            return true;
        wake_.wait_until(lock, std::min(due, now + kMaxWait));
    }
}

void PlayerThread::Run() {
    output_.ResetControllers();
    const bool ended = Sequencer::Run(
        *state_->GetSegment(), output_, [this](std::uint64_t timeUs) { return WaitUntil(timeUs); },
        &state_->AudibleChannels());
    if (!ended)
        output_.SilenceAll();
    state_->Finish(SegmentState::Clock::now());
    playing_.store(false, std::memory_order_release);
}
