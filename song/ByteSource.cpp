#include "song/ByteSource.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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
    const std::uint64_t here = std::min<std::uint64_t>(n, static_cast<std::uint64_t>(end_ - pos_));
    pos_ += here;
    return here == n || SkipUnread(n - here);
}

bool ByteSource::SkipUnread(std::uint64_t n) {
    while (n > 0) {
        if (!Refill())
            return false;
        const std::uint64_t chunk =
            std::min<std::uint64_t>(n, static_cast<std::uint64_t>(end_ - pos_));
        pos_ += chunk;
        n -= chunk;
    }
    return true;
}

std::size_t ByteSource::KeepUnread(std::vector<std::uint8_t>& buffer) {
    const auto have = static_cast<std::size_t>(end_ - pos_);
    base_ += static_cast<std::uint64_t>(pos_ - start_);
    if (have > 0)
        std::memmove(buffer.data(), pos_, have);
    start_ = pos_ = buffer.data();
    end_ = pos_ + have;
    return have;
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
    if (at >= 0 && ::fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_size >= at) {
        size_ = static_cast<std::uint64_t>(info.st_size - at); // the data starts here
        origin_ = at;
    }
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
    have = KeepUnread(buffer_); // and more is read behind them
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

std::unique_ptr<ByteSource> MemorySource::OpenAt(std::uint64_t position) const {
    auto source = std::make_unique<MemorySource>(start_, static_cast<std::size_t>(size_));
    source->Skip(position);
    return source;
}

std::unique_ptr<ByteSource> FileSource::OpenAt(std::uint64_t position) const {
    if (!file_ || origin_ < 0)
        return nullptr; // not a regular file read from a known offset
    return std::make_unique<FileRangeSource>(fileno(file_), origin_, position, size_);
}

FileRangeSource::FileRangeSource(int fd, std::int64_t origin, std::uint64_t position,
                                 std::uint64_t size)
    : fd_(fd), origin_(origin), next_(position), buffer_(64 * 1024) {
    base_ = position;
    size_ = size;
}

namespace {

// pread, again when a signal interrupted it.
ssize_t ReadAt(int fd, std::uint8_t* into, std::size_t count, std::int64_t offset) {
    ssize_t got;
    do
        got = ::pread(fd, into, count, static_cast<off_t>(offset));
    while (got < 0 && errno == EINTR);
    return got;
}

} // namespace

bool FileRangeSource::Refill() {
    if (error_)
        return false;
    const ssize_t got =
        ReadAt(fd_, buffer_.data(), buffer_.size(), origin_ + static_cast<std::int64_t>(next_));
    if (got <= 0) {
        error_ = got < 0;
        return false;
    }
    base_ = next_;
    next_ += static_cast<std::uint64_t>(got);
    start_ = pos_ = buffer_.data();
    end_ = pos_ + got;
    return true;
}

bool FileRangeSource::SkipUnread(std::uint64_t n) {
    // The window is refilled from the last byte skipped on, which is then consumed: when
    // it is there, so is every byte before it. When it is not, the bytes are read through
    // after all, to end where the data ends.
    const std::uint64_t room =
        static_cast<std::uint64_t>(INT64_MAX) - static_cast<std::uint64_t>(origin_);
    if (error_ || next_ > room || n - 1 > room - next_)
        return ByteSource::SkipUnread(n);
    const std::uint64_t last = next_ + (n - 1);
    const ssize_t got =
        ReadAt(fd_, buffer_.data(), buffer_.size(), origin_ + static_cast<std::int64_t>(last));
    if (got <= 0)
        return ByteSource::SkipUnread(n);
    base_ = last;
    next_ = last + static_cast<std::uint64_t>(got);
    start_ = pos_ = buffer_.data();
    end_ = pos_ + got;
    ++pos_;
    return true;
}

bool FileRangeSource::Extend(std::size_t n) {
    std::size_t have = static_cast<std::size_t>(end_ - pos_);
    if (have >= n)
        return true;
    if (error_ || n > buffer_.size())
        return false;
    have = KeepUnread(buffer_); // and more is read behind them
    while (have < n) {
        const ssize_t got = ReadAt(fd_, buffer_.data() + have, buffer_.size() - have,
                                   origin_ + static_cast<std::int64_t>(next_));
        if (got <= 0) {
            error_ = got < 0;
            return false;
        }
        have += static_cast<std::size_t>(got);
        next_ += static_cast<std::uint64_t>(got);
        end_ = pos_ + have;
    }
    return true;
}
