#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// A seekable byte stream the writer writes to. A failed write or seek is remembered, so the
// writer can check the stream once at the end and report the failure.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(const std::uint8_t* data, std::size_t count) = 0;
    virtual void Flush() {}
    // A whole track chunk, its length filled in, has been written: the bytes so far are
    // final.
    virtual void TrackWritten() {}
    virtual std::uint64_t GetPosition() const = 0;
    virtual void Seek(std::uint64_t position) = 0;
    bool Ok() const { return ok_; }

protected:
    bool ok_ = true;
};

// A growable memory buffer; seeking back overwrites, writing past the end grows it.
class MemorySink : public ByteSink {
public:
    explicit MemorySink(std::size_t reserve = 1024) { bytes_.reserve(reserve); }
    void Write(const std::uint8_t* data, std::size_t count) override;
    std::uint64_t GetPosition() const override { return position_; }
    void Seek(std::uint64_t position) override;
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    std::vector<std::uint8_t> TakeBytes() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// An open C stream (not owned), opened for writing in binary mode at its start, written
// through a buffer of its own: the stream sees a few large writes. A seek back into bytes
// still in the buffer (the writer filling in a track's length) changes them there; only a
// seek further back reaches the stream. Flush hands everything to the stream; whoever made
// the sink flushes it before closing the stream.
class FileSink : public ByteSink {
public:
    explicit FileSink(std::FILE* file, std::size_t bufferSize = 1 << 20);
    void Write(const std::uint8_t* data, std::size_t count) override;
    void Flush() override;
    std::uint64_t GetPosition() const override { return base_ + at_; }
    void Seek(std::uint64_t position) override;

private:
    // Writes the buffer to the stream; the buffer then starts at the stream's position.
    void Spill();

    std::FILE* file_;
    std::size_t bufferSize_;
    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;   // bytes in the buffer
    std::size_t at_ = 0;     // where the next write goes, within the buffer
    std::uint64_t base_ = 0; // the stream position of the buffer's first byte
};
