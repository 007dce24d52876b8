#include "song/ByteSink.h"

#include <algorithm>
#include <cstring>
#include <utility>

void MemorySink::Write(const std::uint8_t* data, std::size_t count) {
    if (count == 0)
        return;
    if (position_ == bytes_.size()) {
        // Most writes are a few bytes of one event: appending them one by one beats a
        // library copy call.
        if (count <= 16) {
            for (std::size_t i = 0; i < count; ++i)
                bytes_.push_back(data[i]);
        } else {
            bytes_.insert(bytes_.end(), data, data + count);
        }
    } else {
        if (position_ + count > bytes_.size())
            bytes_.resize(position_ + count);
        std::memcpy(bytes_.data() + position_, data, count);
    }
    position_ += count;
}

void MemorySink::Seek(std::uint64_t position) {
    if (position > bytes_.size())
        bytes_.resize(position);
    position_ = position;
}

FileSink::FileSink(std::FILE* file, std::size_t bufferSize)
    : file_(file), bufferSize_(std::max<std::size_t>(bufferSize, 16)) {
    const long pos = std::ftell(file_);
    base_ = pos < 0 ? 0 : static_cast<std::uint64_t>(pos);
}

void FileSink::Spill() {
    if (ok_ && used_ > 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_)
        ok_ = false;
    base_ += at_;
    if (at_ != used_ && ok_ &&
        std::fseek(file_, static_cast<long>(base_), SEEK_SET) != 0) // the stream goes back
        ok_ = false;
    used_ = 0;
    at_ = 0;
}

void FileSink::Write(const std::uint8_t* data, std::size_t count) {
    if (!ok_ || count == 0)
        return;
    if (buffer_.empty())
        buffer_.resize(bufferSize_); // with the first write, inside the writer's error handling
    if (count > buffer_.size() - at_) {
        Spill();
        if (count >= buffer_.size()) {
            if (ok_ && std::fwrite(data, 1, count, file_) != count)
                ok_ = false;
            base_ += count;
            return;
        }
    }
    std::uint8_t* to = buffer_.data() + at_;
    // Most writes are one event of a few bytes: a loop beats a library copy call.
    if (count <= 16) {
        for (std::size_t i = 0; i < count; ++i)
            to[i] = data[i];
    } else {
        std::memcpy(to, data, count);
    }
    at_ += count;
    used_ = std::max(used_, at_);
}

void FileSink::Flush() {
    const std::size_t end = used_;
    const std::size_t at = at_;
    // The bytes go out whole; the next write still goes where it was to go.
    at_ = used_;
    Spill();
    if (at != end)
        Seek(base_ - (end - at));
    if (ok_ && std::fflush(file_) != 0)
        ok_ = false;
}

void FileSink::Seek(std::uint64_t position) {
    if (!ok_)
        return;
    if (position >= base_ && position <= base_ + used_) {
        at_ = static_cast<std::size_t>(position - base_);
        return;
    }
    at_ = used_;
    Spill();
    if (ok_ && std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0)
        ok_ = false;
    base_ = position;
}
