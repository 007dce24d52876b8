#include "playback/OfflineRenderer.h"

#include "playback/FluidSynthOutput.h"
#include "playback/Segment.h"
#include "playback/Sequencer.h"
#include "playback/WavFile.h"
#include "song/ByteSink.h"

#include <algorithm>
#include <limits>
#include <span>
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

} // namespace

std::uint64_t OfflineRenderer::FrameCount(const Segment& segment) {
    const std::uint64_t tailUs = kTailMs * 1000;
    const std::uint64_t lengthUs = segment.GetLengthUs();
    if (lengthUs > std::numeric_limits<std::uint64_t>::max() - tailUs)
        return std::numeric_limits<std::uint64_t>::max() / 1000000;
    return FrameAt(lengthUs + tailUs);
}

bool OfflineRenderer::FitsWav(std::uint64_t frames) {
    return WavFile(kSampleRate, kChannels).Fits(frames);
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

    WavFile(kSampleRate, kChannels).WriteHeader(out, totalFrames);

    constexpr int kBlockFrames = 4096;
    std::vector<std::int16_t> block(static_cast<std::size_t>(kBlockFrames) * kChannels);
    std::uint64_t framesDone = 0;
    auto renderTo = [&](std::uint64_t frame) {
        while (framesDone < frame && out.Ok()) {
            const int n =
                static_cast<int>(std::min<std::uint64_t>(frame - framesDone, kBlockFrames));
            synth->Render(block.data(), n);
            WavFile::WriteSamples(out,
                                  std::span(block).first(static_cast<std::size_t>(n) * kChannels));
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
