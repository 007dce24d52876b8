// Offline render speed (the WAV preview and the phone preview) and the time a rendered song
// takes to become a playable event list. The "x_realtime" counter is seconds of audio per
// second of work: the synthesizer's render aims at 40 or more, the phone's (EAS at 22 kHz)
// at several hundred, so that a live phone preview costs next to nothing, and quellor-cli
// render --phone, start to finish, at 300 or more.
#include "playback/FindSoundFont.h"
#include "playback/OfflineRenderer.h"
#include "playback/PhoneEngine.h"
#include "playback/Segment.h"
#include "playback/WavFile.h"
#include "song/ByteSink.h"
#include "song/SongFile.h"
#include "tests/TestFiles.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

// Counts the bytes and throws them away, so that the disk does not take part.
class CountingSink : public ByteSink {
public:
    void Write(const std::uint8_t*, std::size_t count) override { position_ += count; }
    std::uint64_t GetPosition() const override { return position_; }
    void Seek(std::uint64_t position) override { position_ = position; }

private:
    std::uint64_t position_ = 0;
};

// The largest of the real songs; empty when none is installed.
std::filesystem::path LargestRealSong() {
    const auto songs = testfiles::RealSongs();
    if (songs.empty())
        return {};
    return *std::max_element(songs.begin(), songs.end(), [](const auto& a, const auto& b) {
        return std::filesystem::file_size(a) < std::filesystem::file_size(b);
    });
}

// The largest of the real songs, rendered for playback as the program does.
const std::vector<std::uint8_t>* RenderedRealSong() {
    static const std::vector<std::uint8_t> bytes = [] {
        const std::filesystem::path largest = LargestRealSong();
        SongFile song;
        if (largest.empty() || !song.LoadFile(largest.string()))
            return std::vector<std::uint8_t>{};
        return song.RenderForPlayback(-1);
    }();
    return bytes.empty() ? nullptr : &bytes;
}

void BM_OfflineRender(benchmark::State& state) {
    const auto soundFont = FindSoundFont();
    const auto* bytes = RenderedRealSong();
    if (!soundFont || !bytes) {
        state.SkipWithError("needs a General MIDI SoundFont and the openmsx songs");
        return;
    }
    const auto segment = Segment::FromSmf(bytes->data(), bytes->size());
    OfflineRenderer renderer(*soundFont);
    const double audioSeconds =
        static_cast<double>(OfflineRenderer::FrameCount(*segment)) / OfflineRenderer::kSampleRate;
    for (auto _ : state) {
        CountingSink sink;
        std::string error;
        if (!renderer.RenderWav(*segment, sink, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        benchmark::DoNotOptimize(sink.GetPosition());
    }
    state.counters["x_realtime"] = benchmark::Counter(
        audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OfflineRender)->Unit(benchmark::kMillisecond)->UseRealTime();

// The largest real song as saving writes it, with its MIP message.
const std::vector<std::uint8_t>* SavedRealSong() {
    static const std::vector<std::uint8_t> bytes = [] {
        const std::filesystem::path largest = LargestRealSong();
        SongFile song;
        if (largest.empty() || !song.LoadFile(largest.string()))
            return std::vector<std::uint8_t>{};
        song.UpdateMipMessage();
        MemorySink sink;
        song.WriteSongChannel(sink, -1);
        return sink.TakeBytes();
    }();
    return bytes.empty() ? nullptr : &bytes;
}

// The phone preview at a phone's voices (the argument): a whole song through Sonivox EAS.
void BM_PhoneRender(benchmark::State& state) {
    const auto* bytes = SavedRealSong();
    if (!bytes) {
        state.SkipWithError("needs the openmsx songs");
        return;
    }
    const int voices = static_cast<int>(state.range(0));
    double audioSeconds = 0;
    for (auto _ : state) {
        std::vector<std::int16_t> samples;
        const PhoneError error = PhoneEngine::RenderSong(*bytes, voices, samples);
        if (error != PhoneError::None) {
            state.SkipWithError(PhoneErrorText(error));
            return;
        }
        audioSeconds =
            static_cast<double>(samples.size() / PhoneEngine::kChannels) / PhoneEngine::kSampleRate;
        benchmark::DoNotOptimize(samples.data());
    }
    state.counters["x_realtime"] = benchmark::Counter(
        audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PhoneRender)->Arg(8)->Arg(24)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

// quellor-cli render --phone 8 of the largest real song, end to end: the program started,
// the song loaded, processed, played by the phone synthesizer and written as a WAV file.
void BM_PhoneRenderCommand(benchmark::State& state) {
    const auto songs = testfiles::RealSongs();
    if (songs.empty()) {
        state.SkipWithError("needs the openmsx songs");
        return;
    }
    const auto largest =
        *std::max_element(songs.begin(), songs.end(), [](const auto& a, const auto& b) {
            return std::filesystem::file_size(a) < std::filesystem::file_size(b);
        });
    const testfiles::TempDir dir;
    const std::filesystem::path wav = dir.Path() / "phone.wav";
    const std::string command = std::string("'" QUELLOR_CLI "' render '") + largest.string() +
                                "' '" + wav.string() + "' --phone 8 > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("quellor-cli render --phone failed");
            return;
        }
    }
    const double audioSeconds =
        static_cast<double>((std::filesystem::file_size(wav) - WavFile::kHeaderSize) /
                            (WavFile::kBytesPerSample * PhoneEngine::kChannels)) /
        PhoneEngine::kSampleRate;
    state.counters["x_realtime"] = benchmark::Counter(
        audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PhoneRenderCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SegmentFromRenderedSong(benchmark::State& state) {
    const auto* bytes = RenderedRealSong();
    if (!bytes) {
        state.SkipWithError("needs the openmsx songs");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(Segment::FromSmf(bytes->data(), bytes->size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes->size()));
}
BENCHMARK(BM_SegmentFromRenderedSong)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
