#include "ByteSource.h"

#include <algorithm>
#include <cstring>

std::size_t ByteSource::Read(std::uint8_t* dst, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        if (pos_ == end_ && !Refill())
            break;
        const std::size_t chunk = std::min<std::size_t>(n - done, end_ - pos_);
        std::memcpy(dst + done, pos_, chunk);
        pos_ += chunk;
        done += chunk;
    }
    return done;
}

bool ByteSource::Skip(std::uint64_t n) {
    while (n > 0) {
        if (pos_ == end_ && !Refill())
            return false;
        const std::uint64_t chunk = std::min<std::uint64_t>(n, end_ - pos_);
        pos_ += chunk;
        n -= chunk;
    }
    return true;
}

MemorySource::MemorySource(const std::uint8_t* data, std::size_t size) {
    pos_ = data;
    end_ = data + (data ? size : 0);
}

FileSource::FileSource(std::FILE* file, std::size_t bufferSize)
    : file_(file), buffer_(bufferSize ? bufferSize : 4096) {}

bool FileSource::Refill() {
    if (!file_ || error_)
        return false;
    const std::size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (got == 0) {
        if (std::ferror(file_))
            error_ = true;
        return false;
    }
    pos_ = buffer_.data();
    end_ = pos_ + got;
    return true;
}
