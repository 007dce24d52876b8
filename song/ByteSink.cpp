#include "song/ByteSink.h"

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

void FileSink::Write(const std::uint8_t* data, std::size_t count) {
    if (!ok_ || count == 0)
        return;
    if (std::fwrite(data, 1, count, file_) != count)
        ok_ = false;
}

void FileSink::Flush() {
    if (ok_ && std::fflush(file_) != 0)
        ok_ = false;
}

std::uint64_t FileSink::GetPosition() const {
    const long pos = std::ftell(file_);
    return pos < 0 ? 0 : static_cast<std::uint64_t>(pos);
}

void FileSink::Seek(std::uint64_t position) {
    if (!ok_)
        return;
    if (std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0)
        ok_ = false;
}
