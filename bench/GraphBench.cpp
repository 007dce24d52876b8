// Redrawing the Polyphony window's graph: the painter the window's graph control draws its
// picture with, on a ten-minute song with every channel playing dense notes. A redraw has to
// fit in a frame (16 ms) for resizing, zooming and scrolling to feel immediate.
#include "graph/PolyphonyGraphPainter.h"
#include "song/ByteSource.h"
#include "song/SongFile.h"
#include "tests/TestFiles.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <memory>
#include <random>
#include <utility>

namespace {

using testfiles::Bytes;

// The loader reads every file at 120 beats a minute: at division 480 a tick is 1.04 ms.
constexpr int kDivision = 480;
constexpr std::uint64_t kTicksPerMinute = 120 * kDivision;

// A format 1 song of `minutes` with all 16 channels playing dense, overlapping notes and
// chords, each on its own track: a new note every 15 to 60 ms per channel, held for 20 ms to
// half a second.
Bytes DenseSong(int minutes) {
    std::mt19937 rng(7);
    const std::uint64_t end = kTicksPerMinute * static_cast<std::uint64_t>(minutes);
    Bytes file = testfiles::Header(1, 16, kDivision);
    for (int ch = 0; ch < 16; ++ch) {
        // (tick, note-on?, key): note-offs sort before note-ons at the same tick.
        std::vector<std::tuple<std::uint64_t, int, std::uint8_t>> notes;
        for (std::uint64_t tick = rng() % 48; tick < end; tick += 15 + rng() % 45) {
            const int chord = rng() % 6 == 0 ? 3 : 1;
            const std::uint64_t length = 20 + rng() % 460;
            for (int n = 0; n < chord; ++n) {
                const auto key = static_cast<std::uint8_t>(36 + rng() % 60);
                notes.emplace_back(tick, 1, key);
                notes.emplace_back(std::min(tick + length, end), 0, key);
            }
        }
        std::sort(notes.begin(), notes.end());
        Bytes events = {0x00, static_cast<std::uint8_t>(0xC0 | ch),
                        static_cast<std::uint8_t>(ch * 7)};
        std::uint64_t previous = 0;
        for (const auto& [tick, on, key] : notes) {
            const Bytes delta = testfiles::Vlq(tick - previous);
            events.insert(events.end(), delta.begin(), delta.end());
            events.insert(events.end(), {static_cast<std::uint8_t>((on ? 0x90 : 0x80) | ch), key,
                                         static_cast<std::uint8_t>(on ? 100 : 0)});
            previous = tick;
        }
        const Bytes chunk = testfiles::TrackChunk(events);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    return file;
}

const SongFile& TenMinuteSong() {
    static const std::unique_ptr<SongFile> song = [] {
        auto loaded = std::make_unique<SongFile>();
        const Bytes bytes = DenseSong(10);
        MemorySource source(bytes);
        loaded->LoadSong(source, "bench");
        return loaded;
    }();
    return *song;
}

std::size_t PolyphonyChanges(const SongData& song) {
    std::size_t changes = 0;
    song.VisitPolyphonySums([&changes](std::uint32_t, std::uint64_t) { ++changes; });
    return changes;
}

void Report(benchmark::State& state, const SongData& song) {
    state.counters["song_s"] = song.lastTime / 1000.0;
    state.counters["changes"] = static_cast<double>(PolyphonyChanges(song));
    state.SetLabel("target: under 16 ms a redraw");
}

// A repaint after a resize, a zoom or a scroll: the window keeps the song's polyphony changes
// and draws the picture anew. The whole song in the window's smallest graph, a large window
// and a maximised one.
void BM_GraphRedrawWholeSong(benchmark::State& state) {
    const SongFile& song = TenMinuteSong();
    const PolyphonySeries series(song);
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    for (auto _ : state) {
        QImage picture =
            PolyphonyGraphPainter::Render(series, w, h, PolyphonyGraphPainter::WholeSong(song));
        benchmark::DoNotOptimize(picture.constBits());
    }
    Report(state, song);
}
BENCHMARK(BM_GraphRedrawWholeSong)
    ->Args({600, 200})
    ->Args({1200, 600})
    ->Args({1920, 1000})
    ->Unit(benchmark::kMillisecond);

// Zoomed into ten seconds in the middle of the song, as the wheel leaves it, maximised.
void BM_GraphRedrawZoomed(benchmark::State& state) {
    const SongFile& song = TenMinuteSong();
    const PolyphonySeries series(song);
    const PolyphonyGraphPainter::TimeRange range{song.lastTime / 2, 10000};
    for (auto _ : state) {
        QImage picture = PolyphonyGraphPainter::Render(series, 1920, 1000, range);
        benchmark::DoNotOptimize(picture.constBits());
    }
    Report(state, song);
}
BENCHMARK(BM_GraphRedrawZoomed)->Unit(benchmark::kMillisecond);

// The merge of the channels' timelines into the song's polyphony changes, which the window
// makes again after every edit before it draws (the same merge as the sequence polyphony's).
void BM_GraphSeriesAfterEdit(benchmark::State& state) {
    const SongFile& song = TenMinuteSong();
    for (auto _ : state) {
        PolyphonySeries series(song);
        benchmark::DoNotOptimize(series.Points().data());
    }
    Report(state, song);
}
BENCHMARK(BM_GraphSeriesAfterEdit)->Unit(benchmark::kMillisecond);

// After a mute or another edit: the polyphony changes are merged from the channels again,
// then drawn, in the window's smallest graph and maximised.
void BM_GraphRefreshAfterEdit(benchmark::State& state) {
    const SongFile& song = TenMinuteSong();
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    for (auto _ : state) {
        QImage picture = PolyphonyGraphPainter::Render(song, w, h);
        benchmark::DoNotOptimize(picture.constBits());
    }
    Report(state, song);
}
BENCHMARK(BM_GraphRefreshAfterEdit)
    ->Args({600, 200})
    ->Args({1920, 1000})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // Text needs a font database, which needs a GUI application; no display is required.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
