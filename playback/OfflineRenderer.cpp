#include "playback/OfflineRenderer.h"

#include "playback/FluidSynthOutput.h"
#include "playback/Segment.h"
#include "playback/Sequencer.h"
#include "song/ByteSink.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <vector>

namespace {

// Frame at which time `us` falls; exact for every time a WAV can hold.
std::uint64_t FrameAt(std::uint64_t us) {
    constexpr std::uint64_t kLimit =
        std::numeric_limits<std::uint64_t>::max() / OfflineRenderer::kSampleRate;
    if (us >= kLimit)
        return std::numeric_limits<std::uint64_t>::max() / 1000000;
    return us * OfflineRenderer::kSampleRate / 1000000;
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::uint8_t> WavHeader(std::uint32_t dataSize) {
    std::vector<std::uint8_t> h;
    h.reserve(OfflineRenderer::kWavHeaderSize);
    auto tag = [&h](const char* s) { h.insert(h.end(), s, s + 4); };
    tag("RIFF");
    PutLe(h, 36 + dataSize, 4);
    tag("WAVE");
    tag("fmt ");
    PutLe(h, 16, 4);                                                             // chunk size
    PutLe(h, 1, 2);                                                              // PCM
    PutLe(h, OfflineRenderer::kChannels, 2);                                     // stereo
    PutLe(h, OfflineRenderer::kSampleRate, 4);                                   // frames/s
    PutLe(h, OfflineRenderer::kSampleRate * OfflineRenderer::kBytesPerFrame, 4); // bytes/s
    PutLe(h, OfflineRenderer::kBytesPerFrame, 2);                                // block align
    PutLe(h, 16, 2);                                                             // bits
    tag("data");
    PutLe(h, dataSize, 4);
    return h;
}

} // namespace

std::uint64_t OfflineRenderer::FrameCount(const Segment& segment) {
    const std::uint64_t tailUs = kTailMs * 1000;
    const std::uint64_t lengthUs = segment.GetLengthUs();
    if (lengthUs > std::numeric_limits<std::uint64_t>::max() - tailUs)
        return std::numeric_limits<std::uint64_t>::max() / 1000000;
    return FrameAt(lengthUs + tailUs);
}

bool OfflineRenderer::FitsWav(std::uint64_t frames) {
    // The RIFF size field counts everything after its own 8 bytes.
    const std::uint64_t maxData = std::numeric_limits<std::uint32_t>::max() - (kWavHeaderSize - 8);
    return frames <= maxData / kBytesPerFrame;
}

bool OfflineRenderer::RenderWav(const Segment& segment, ByteSink& out, std::string& error) {
    const std::uint64_t totalFrames = FrameCount(segment);
    if (!FitsWav(totalFrames)) {
        error = "the song is too long for a WAV file (over 4 GiB)";
        return false;
    }
    std::unique_ptr<FluidSynthOutput> synth = FluidSynthOutput::CreateOffline(soundFont_, error);
    if (!synth)
        return false;

    const std::vector<std::uint8_t> header =
        WavHeader(static_cast<std::uint32_t>(totalFrames * kBytesPerFrame));
    out.Write(header.data(), header.size());

    constexpr int kBlockFrames = 4096;
    std::vector<std::int16_t> block(static_cast<std::size_t>(kBlockFrames) * kChannels);
    std::uint64_t framesDone = 0;
    auto renderTo = [&](std::uint64_t frame) {
        while (framesDone < frame && out.Ok()) {
            const int n =
                static_cast<int>(std::min<std::uint64_t>(frame - framesDone, kBlockFrames));
            synth->Render(block.data(), n);
            if constexpr (std::endian::native == std::endian::big) {
                for (std::int16_t& sample : block) // WAV samples are little-endian
                    sample = static_cast<std::int16_t>((static_cast<std::uint16_t>(sample) >> 8) |
                                                       (static_cast<std::uint16_t>(sample) << 8));
            }
            out.Write(reinterpret_cast<const std::uint8_t*>(block.data()),
                      static_cast<std::size_t>(n) * kBytesPerFrame);
            framesDone += static_cast<std::uint64_t>(n);
        }
        return out.Ok();
    };
    const bool ok =
        Sequencer::Run(segment, *synth,
                       [&](std::uint64_t timeUs) { return renderTo(FrameAt(timeUs)); }) &&
        renderTo(totalFrames);
    out.Flush();
    if (!ok || !out.Ok()) {
        error = "the WAV file could not be written";
        return false;
    }
    return true;
}
