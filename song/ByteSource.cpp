#include "song/ByteSource.h"

#include <sys/stat.h>

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

bool ByteSource::Peek(std::uint8_t* dst, std::size_t n) {
    if (!Extend(n))
        return false;
    std::memcpy(dst, pos_, n);
    return true;
}

MemorySource::MemorySource(const std::uint8_t* data, std::size_t size) {
    start_ = data;
    pos_ = data;
    end_ = data + (data ? size : 0);
    size_ = data ? size : 0;
}

FileSource::FileSource(std::FILE* file, std::size_t bufferSize)
    : file_(file), buffer_(bufferSize ? bufferSize : 4096) {
    struct stat info {};
    const long at = file ? std::ftell(file) : -1;
    if (at >= 0 && ::fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= at)
        size_ = static_cast<std::uint64_t>(info.st_size - at); // the data starts here
}

bool FileSource::Refill() {
    if (!file_ || error_)
        return false;
    const std::size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (got == 0) {
        if (std::ferror(file_))
            error_ = true;
        return false;
    }
    base_ += static_cast<std::uint64_t>(end_ - start_);
    start_ = pos_ = buffer_.data();
    end_ = pos_ + got;
    return true;
}

bool FileSource::Extend(std::size_t n) {
    std::size_t have = static_cast<std::size_t>(end_ - pos_);
    if (have >= n)
        return true;
    if (!file_ || error_ || n > buffer_.size())
        return false;
    // Move the unread bytes to the front of the buffer and read more behind them.
    base_ += static_cast<std::uint64_t>(pos_ - start_);
    if (have > 0)
        std::memmove(buffer_.data(), pos_, have);
    start_ = pos_ = buffer_.data();
    end_ = pos_ + have;
    while (have < n) {
        const std::size_t got = std::fread(buffer_.data() + have, 1, buffer_.size() - have, file_);
        if (got == 0) {
            if (std::ferror(file_))
                error_ = true;
            return false;
        }
        have += got;
        end_ = pos_ + have;
    }
    return true;
}
