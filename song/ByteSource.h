#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// A forward-only cursor over bytes that says when the data ended: never a silent 0 at the
// end. The fast path reads from a window; subclasses refill it.
class ByteSource {
public:
    virtual ~ByteSource() = default;

    // False at the end of the data (b is left alone).
    bool GetByte(std::uint8_t& b) {
        if (pos_ == end_ && !Refill())
            return false;
        b = *pos_++;
        return true;
    }
    // Copies up to n bytes; returns how many arrived before the end of the data.
    std::size_t Read(std::uint8_t* dst, std::size_t n);
    // Skips up to n bytes; returns false when the data ended first.
    bool Skip(std::uint64_t n);
    // The most bytes that can still come (unknown: as many as 64 bits count); a reader
    // sizes its reservations by it, never trusts it for the data itself.
    std::uint64_t MostRemaining() const {
        return size_ == kUnknownSize ? kUnknownSize : size_ - std::min(size_, Position());
    }
    // A read failure other than the end of the data (I/O error).
    bool HasError() const { return error_; }
    // The number of bytes consumed so far.
    std::uint64_t Position() const { return base_ + static_cast<std::uint64_t>(pos_ - start_); }
    // Copies the next n bytes without consuming them; false when fewer remain.
    bool Peek(std::uint8_t* dst, std::size_t n);
    // The bytes at hand without a refill, for readers that parse straight from memory:
    // Available() of them start at Next(); Consume(n) moves past n of those.
    const std::uint8_t* Next() const { return pos_; }
    std::size_t Available() const { return static_cast<std::size_t>(end_ - pos_); }
    void Consume(std::size_t n) { pos_ += n; }
    // A second source over the same data, reading on its own from `position` (in this
    // source's positions, which it keeps); nullptr when the data cannot be read twice.
    virtual std::unique_ptr<ByteSource> OpenAt(std::uint64_t position) const {
        (void)position;
        return nullptr;
    }

protected:
    // Makes [pos_, end_) the next window; false at the end of the data or on an error.
    virtual bool Refill() = 0;
    // Keeps the unread bytes of the window and adds more behind them until at least n are
    // there; false when the data ends first.
    virtual bool Extend(std::size_t n) { return static_cast<std::size_t>(end_ - pos_) >= n; }
    // Skip past the window, which is used up: `n` (above 0) more bytes. This way reads
    // through them.
    virtual bool SkipUnread(std::uint64_t n);
    // Moves the unread bytes of the window to the front of `buffer`, which becomes the
    // window; how many there are.
    std::size_t KeepUnread(std::vector<std::uint8_t>& buffer);

    const std::uint8_t* start_ = nullptr; // the window's first byte, at position base_
    const std::uint8_t* pos_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    std::uint64_t base_ = 0;
    bool error_ = false;
    static constexpr std::uint64_t kUnknownSize = ~std::uint64_t{0};
    std::uint64_t size_ = kUnknownSize; // the whole data's size, where known
};

// Bytes already in memory (not copied: they must outlive the source).
class MemorySource : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size);
    explicit MemorySource(const std::vector<std::uint8_t>& bytes)
        : MemorySource(bytes.data(), bytes.size()) {}
    std::unique_ptr<ByteSource> OpenAt(std::uint64_t position) const override;

protected:
    bool Refill() override { return false; }
};

// Closes a C stream when its owner goes.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A buffered reader over an open C stream (not owned).
class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* file, std::size_t bufferSize = 64 * 1024);
    // Reads the same regular file through its descriptor at its own offsets (pread), so
    // that neither source moves the other.
    std::unique_ptr<ByteSource> OpenAt(std::uint64_t position) const override;

protected:
    bool Refill() override;
    bool Extend(std::size_t n) override;

private:
    std::FILE* file_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t origin_ = -1; // the file offset of position 0, when known
};

// A regular file read by offset from an open descriptor (not owned), for FileSource::OpenAt.
class FileRangeSource : public ByteSource {
public:
    // Positions count from file offset `origin`; reading starts at `position`, and the data
    // is `size` bytes (ByteSource's unknown size when not known).
    FileRangeSource(int fd, std::int64_t origin, std::uint64_t position, std::uint64_t size);

protected:
    bool Refill() override;
    bool Extend(std::size_t n) override;
    // Reads only the last byte skipped, and what follows it: the bytes in between are not
    // needed.
    bool SkipUnread(std::uint64_t n) override;

private:
    int fd_;
    std::int64_t origin_;
    std::uint64_t next_; // the position of the next byte to read from the file
    std::vector<std::uint8_t> buffer_;
};
