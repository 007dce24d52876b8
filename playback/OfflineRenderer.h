#pragma once

#include <cstdint>
#include <string>

class ByteSink;
class Segment;

// Renders a segment through the synthesizer as fast as the machine allows into a 44.1 kHz
// stereo 16-bit WAV, with the same sequencing that live playback uses: between events the
// synthesizer's samples are taken up to the next event's time. The same segment and
// SoundFont give the same bytes on every run.
class OfflineRenderer {
public:
    static constexpr std::uint32_t kSampleRate = 44100;
    static constexpr std::uint32_t kChannels = 2;
    static constexpr std::uint32_t kBytesPerFrame = kChannels * 2;
    // Rendered after the segment's end, so that released notes and reverb fade out.
    static constexpr std::uint64_t kTailMs = 1000;

    explicit OfflineRenderer(std::string soundFont) : soundFont_(std::move(soundFont)) {}

    // Frames the WAV of `segment` holds.
    static std::uint64_t FrameCount(const Segment& segment);
    // The WAV's size fields (32 bits) can describe that many frames.
    static bool FitsWav(std::uint64_t frames);

    // Writes the WAV; false with `error` set when the synthesizer cannot be made, the WAV
    // would be too large for its format, or the sink failed.
    bool RenderWav(const Segment& segment, ByteSink& out, std::string& error);

private:
    std::string soundFont_;
};
