#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class MidiOutput;
class Segment;
class SegmentState;

// The thread of one playback: resets the output's controllers, then sends the segment's events at
// their times from the state's start, waking at least every 100 ms so that a stop is noticed at
// once. At the end of the segment or on a stop it finishes the state and clears the engine's
// playing flag; on a stop it also silences every channel of the output.
class PlayerThread {
public:
    static constexpr std::chrono::milliseconds kMaxWait{100};

    PlayerThread(std::shared_ptr<SegmentState> state, MidiOutput& output,
                 std::atomic<bool>& playing);
    // Stops and joins.
    ~PlayerThread();
    PlayerThread(const PlayerThread&) = delete;
    PlayerThread& operator=(const PlayerThread&) = delete;

    // Asks the thread to stop and waits until it has ended (at once when it ended already).
    void Stop();

private:
    void Run();
    bool WaitUntil(std::uint64_t timeUs);

    std::shared_ptr<SegmentState> state_;
    MidiOutput& output_;
    std::atomic<bool>& playing_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopRequested_ = false;
    std::thread thread_;
};
