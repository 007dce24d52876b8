#include "playback/WavFile.h"

#include "song/AtomicFile.h"
#include "song/ByteSink.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>

namespace {

void PutLe(std::uint8_t*& at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        *at++ = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutTag(std::uint8_t*& at, const char* tag) {
    at = std::copy(tag, tag + 4, at);
}

} // namespace

bool WavFile::Fits(std::uint64_t frames) const {
    if (channels_ == 0)
        return false;
    // The RIFF size field counts everything after its own 8 bytes.
    const std::uint64_t maxData = std::numeric_limits<std::uint32_t>::max() - (kHeaderSize - 8);
    return frames <= maxData / GetBytesPerFrame();
}

void WavFile::WriteHeader(ByteSink& out, std::uint64_t frames) const {
    const auto dataSize = static_cast<std::uint32_t>(frames * GetBytesPerFrame());
    std::array<std::uint8_t, kHeaderSize> header{};
    std::uint8_t* at = header.data();
    PutTag(at, "RIFF");
    PutLe(at, kHeaderSize - 8 + dataSize, 4);
    PutTag(at, "WAVE");
    PutTag(at, "fmt ");
    PutLe(at, 16, 4);                               // chunk size
    PutLe(at, 1, 2);                                // PCM
    PutLe(at, channels_, 2);                        // channels
    PutLe(at, sampleRate_, 4);                      // frames/s
    PutLe(at, sampleRate_ * GetBytesPerFrame(), 4); // bytes/s
    PutLe(at, GetBytesPerFrame(), 2);               // block align
    PutLe(at, kBytesPerSample * 8, 2);              // bits
    PutTag(at, "data");
    PutLe(at, dataSize, 4);
    out.Write(header.data(), header.size());
}

void WavFile::WriteSamples(ByteSink& out, std::span<const std::int16_t> samples) {
    if constexpr (std::endian::native == std::endian::little) {
        out.Write(reinterpret_cast<const std::uint8_t*>(samples.data()),
                  samples.size() * kBytesPerSample);
    } else {
        constexpr std::size_t kChunk = 4096;
        std::array<std::uint8_t, kChunk * kBytesPerSample> bytes;
        while (!samples.empty() && out.Ok()) {
            const std::size_t n = std::min(samples.size(), kChunk);
            std::uint8_t* at = bytes.data();
            for (std::size_t i = 0; i < n; ++i)
                PutLe(at, static_cast<std::uint16_t>(samples[i]), 2);
            out.Write(bytes.data(), n * kBytesPerSample);
            samples = samples.subspan(n);
        }
    }
}

bool WavFile::Write(const std::string& path, std::span<const std::int16_t> samples,
                    std::string& error) const {
    const std::uint64_t frames = channels_ == 0 ? 0 : samples.size() / channels_;
    if (channels_ == 0 || samples.size() % channels_ != 0 || !Fits(frames)) {
        error = "the sound does not fit a WAV file (over 4 GiB)";
        return false;
    }
    return WriteFileAtomically(
        path,
        [&](ByteSink& sink) {
            WriteHeader(sink, frames);
            WriteSamples(sink, samples);
            sink.Flush();
            return sink.Ok();
        },
        error);
}
