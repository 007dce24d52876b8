#pragma once

#include "song/ByteSink.h"
#include "song/ByteSource.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// A memory sink that another thread reads while it is being written, a track chunk at a
// time. Room for every byte is taken at the start, so the bytes never move; untouched room
// costs no memory. The writer hands the bytes written so far over at each TrackWritten and
// at Finish; the reader (a PipeSource) waits for them.
//
// Bytes once handed over must not change. A write before the handed-over end, or one that
// does not fit, makes the sink "broken": nothing more is handed over, Finish ends the
// reader's wait, and AllBytes still gives every byte written.
class PipeSink : public ByteSink {
public:
    explicit PipeSink(std::size_t capacity);
    PipeSink(const PipeSink&) = delete;
    PipeSink& operator=(const PipeSink&) = delete;

    void Write(const std::uint8_t* data, std::size_t count) override;
    std::uint64_t GetPosition() const override {
        return Broken() ? whole_.GetPosition() : position_;
    }
    void Seek(std::uint64_t position) override;
    void TrackWritten() override { HandOver(false); }
    // The writing is over, however it went: the reader gets the rest and stops waiting.
    void Finish() { HandOver(true); }

    // --- the reader's side ---
    const std::uint8_t* Data() const { return bytes_.get(); }
    // Waits until more than `have` bytes are handed over or the writing is over; the number
    // handed over.
    std::size_t WaitBeyond(std::size_t have) const;
    // True once a write broke the hand-over; final after Finish.
    bool Broken() const { return broken_.load(std::memory_order_acquire); }
    // Every byte written, after Finish.
    std::vector<std::uint8_t> AllBytes() const;

private:
    void HandOver(bool finished);
    void Break();

    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t capacity_;
    std::size_t size_ = 0;
    std::size_t position_ = 0;
    std::size_t handed_ = 0; // the writer's copy of the count handed over
    MemorySink whole_;       // every byte, once broken
    std::atomic<bool> broken_{false};

    mutable std::mutex mutex_;
    mutable std::condition_variable handedOver_;
    std::size_t shared_ = 0; // bytes handed over, under mutex_
    bool finished_ = false;  // under mutex_
};

// Reads the bytes of a PipeSink from its start as they are handed over: a read that reaches
// the bytes handed so far waits for more, and the data ends where the written bytes end.
class PipeSource : public ByteSource {
public:
    explicit PipeSource(const PipeSink& sink);

protected:
    bool Refill() override;
    bool Extend(std::size_t n) override;

private:
    const PipeSink& sink_;
};
