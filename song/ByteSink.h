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

// An open C stream (not owned), opened for writing in binary mode.
class FileSink : public ByteSink {
public:
    explicit FileSink(std::FILE* file) : file_(file) {}
    void Write(const std::uint8_t* data, std::size_t count) override;
    void Flush() override;
    std::uint64_t GetPosition() const override;
    void Seek(std::uint64_t position) override;

private:
    std::FILE* file_;
};
