#include "song/PipeSink.h"
#include "song/HugePages.h"

#include <algorithm>
#include <cstring>

PipeSink::PipeSink(std::size_t capacity)
    : bytes_(new std::uint8_t[std::max<std::size_t>(capacity, 1)]), capacity_(capacity) {
    AdviseHugePages(bytes_.get(), capacity_);
}

void PipeSink::Break() {
    // From here on the sink is a plain memory sink holding every byte.
    whole_.Write(bytes_.get(), size_);
    whole_.Seek(position_);
    broken_.store(true, std::memory_order_release);
}

void PipeSink::Write(const std::uint8_t* data, std::size_t count) {
    if (count == 0)
        return;
    if (!Broken() && (position_ < handed_ || count > capacity_ - position_))
        Break();
    if (Broken())
        return whole_.Write(data, count);
    std::memcpy(bytes_.get() + position_, data, count);
    position_ += count;
    size_ = std::max(size_, position_);
}

void PipeSink::Seek(std::uint64_t position) {
    if (!Broken() && position > capacity_)
        Break();
    if (Broken())
        return whole_.Seek(position);
    // As in MemorySink, seeking past the end fills the gap with zeros.
    if (position > size_)
        std::memset(bytes_.get() + size_, 0, static_cast<std::size_t>(position) - size_);
    position_ = static_cast<std::size_t>(position);
    size_ = std::max(size_, position_);
}

void PipeSink::HandOver(bool finished) {
    const bool broken = Broken();
    if (!broken)
        handed_ = size_;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!broken)
            shared_ = size_;
        finished_ = finished_ || finished;
    }
    handedOver_.notify_all();
}

std::size_t PipeSink::WaitBeyond(std::size_t have) const {
    std::unique_lock<std::mutex> lock(mutex_);
    handedOver_.wait(lock, [&] { return shared_ > have || finished_; });
    return shared_;
}

std::vector<std::uint8_t> PipeSink::AllBytes() const {
    if (Broken())
        return whole_.Bytes();
    return std::vector<std::uint8_t>(bytes_.get(), bytes_.get() + size_);
}

PipeSource::PipeSource(const PipeSink& sink) : sink_(sink) {
    start_ = pos_ = end_ = sink.Data();
}

bool PipeSource::Refill() {
    const auto have = static_cast<std::size_t>(end_ - start_);
    const std::size_t now = sink_.WaitBeyond(have);
    if (now <= have)
        return false;
    end_ = start_ + now;
    return true;
}

bool PipeSource::Extend(std::size_t n) {
    while (static_cast<std::size_t>(end_ - pos_) < n)
        if (!Refill())
            return false;
    return true;
}
