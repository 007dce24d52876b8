#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

class ByteSink;

// The one writer of the program's WAV files: 16-bit PCM, interleaved channels, the 44-byte
// canonical header. Both offline renders use it, the synthesizer's (44.1 kHz) and the
// phone's (22.05 kHz).
class WavFile {
public:
    static constexpr std::uint32_t kHeaderSize = 44;
    static constexpr std::uint32_t kBytesPerSample = 2;

    WavFile(std::uint32_t sampleRate, std::uint16_t channels)
        : sampleRate_(sampleRate), channels_(channels) {}

    std::uint32_t GetSampleRate() const { return sampleRate_; }
    std::uint16_t GetChannels() const { return channels_; }
    std::uint32_t GetBytesPerFrame() const { return channels_ * kBytesPerSample; }

    // Whether the header's 32-bit size fields can describe `frames` frames.
    bool Fits(std::uint64_t frames) const;

    // Writes the header of a file that holds `frames` frames; the caller checked Fits.
    void WriteHeader(ByteSink& out, std::uint64_t frames) const;
    // Appends interleaved samples, little-endian whatever the machine.
    static void WriteSamples(ByteSink& out, std::span<const std::int16_t> samples);

    // Writes `samples` (a whole number of frames) as the WAV file `path`, through a
    // temporary file that replaces `path` only once everything reached the disk. False with
    // `error` set when the samples do not fit a WAV file or the file cannot be written; the
    // file at `path` is then left as it was.
    bool Write(const std::string& path, std::span<const std::int16_t> samples,
               std::string& error) const;

private:
    std::uint32_t sampleRate_;
    std::uint16_t channels_;
};
