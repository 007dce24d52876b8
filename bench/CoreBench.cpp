// Throughput of the core: reading, loading, writing, channel operations and batch runs.
#include "song/BatchProcessor.h"
#include "song/ByteSource.h"
#include "song/SongFile.h"
#include "song/SpMidiCheck.h"
#include "tests/TestFiles.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

namespace {

using testfiles::Bytes;

// A format 1 song of about `megabytes` MB: 16 tracks of notes and controllers on 16
// channels, with running status, as real songs are written.
Bytes GenerateSong(std::size_t megabytes) {
    std::mt19937 rng(42);
    const std::size_t perTrack = megabytes * 1024 * 1024 / 16;
    Bytes file = testfiles::Header(1, 16, 480);
    for (int ch = 0; ch < 16; ++ch) {
        Bytes events = {0x00, static_cast<std::uint8_t>(0xC0 | ch),
                        static_cast<std::uint8_t>(ch * 7)};
        while (events.size() < perTrack) {
            const auto key = static_cast<std::uint8_t>(36 + rng() % 48);
            events.insert(events.end(), {0x00, static_cast<std::uint8_t>(0x90 | ch), key, 100});
            events.insert(events.end(), {0x3C, key, 0x00}); // running status note-off
            if (rng() % 8 == 0)
                events.insert(events.end(), {0x00, static_cast<std::uint8_t>(0xB0 | ch), 7,
                                             static_cast<std::uint8_t>(rng() % 128)});
        }
        const Bytes chunk = testfiles::TrackChunk(events);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    return file;
}

const Bytes& TenMegabyteSong() {
    static const Bytes song = GenerateSong(10);
    return song;
}

Bytes ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void BM_ReadAndStore(benchmark::State& state) {
    const Bytes& bytes = TenMegabyteSong();
    std::size_t events = 0;
    for (auto _ : state) {
        auto song = std::make_unique<SongFile>();
        MemorySource source(bytes);
        song->LoadSong(source, "bench");
        state.PauseTiming(); // freeing the song is not part of reading it
        events = 0;
        for (const Track& t : song->tracks)
            events += t.events.size();
        benchmark::DoNotOptimize(events);
        song.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["events"] = static_cast<double>(events);
    state.counters["bytes/event"] = static_cast<double>(8.0);
}
BENCHMARK(BM_ReadAndStore)->Unit(benchmark::kMillisecond);

void BM_LoadRealSongs(benchmark::State& state) {
    std::vector<Bytes> songs;
    std::size_t total = 0;
    for (const auto& path : testfiles::RealSongs()) {
        songs.push_back(ReadAll(path));
        total += songs.back().size();
    }
    for (auto _ : state) {
        for (const Bytes& bytes : songs) {
            SongFile song;
            MemorySource source(bytes);
            benchmark::DoNotOptimize(song.LoadSong(source, "bench"));
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * total));
}
BENCHMARK(BM_LoadRealSongs)->Unit(benchmark::kMillisecond);

void BM_SequencePolyphony(benchmark::State& state) {
    // 200,000 timeline entries over 16 channels.
    SongData song;
    std::mt19937 rng(7);
    for (int ch = 0; ch < 16; ++ch)
        for (std::uint32_t i = 0; i < 12500; ++i)
            song.timelines[ch].Set(i * 10 + rng() % 10, rng() % 8);
    song.lastTime = 200000;
    for (auto _ : state) {
        song.ComputeSequencePolyphony();
        benchmark::DoNotOptimize(song.sequencePolyphony);
    }
}
BENCHMARK(BM_SequencePolyphony)->Unit(benchmark::kMicrosecond);

void BM_WriteToMemory(benchmark::State& state) {
    SongFile song;
    MemorySource source(TenMegabyteSong());
    song.LoadSong(source, "bench");
    std::size_t written = 0;
    for (auto _ : state) {
        MemorySink sink(16 << 20);
        song.WriteSongChannel(sink, -1);
        written = sink.Bytes().size();
        benchmark::DoNotOptimize(written);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * written));
}
BENCHMARK(BM_WriteToMemory)->Unit(benchmark::kMillisecond);

void BM_DuplicateAndRemove(benchmark::State& state) {
    SongFile song;
    MemorySource source(TenMegabyteSong());
    song.LoadSong(source, "bench");
    song.RemoveChannel(15);
    for (auto _ : state) {
        song.DuplicateChannel(0, 15);
        song.RemoveChannel(15);
    }
}
BENCHMARK(BM_DuplicateAndRemove)->Unit(benchmark::kMillisecond);

void BM_ProcessRealSong(benchmark::State& state) {
    const auto songs = testfiles::RealSongs();
    if (songs.empty()) {
        state.SkipWithError("no real songs installed");
        return;
    }
    testfiles::TempDir dir;
    for (auto _ : state) {
        benchmark::DoNotOptimize(BatchProcessor::ProcessBatchFile(
            (dir / "out.mid").string(), songs.front().string(), BatchProcessor::Options{}));
    }
}
BENCHMARK(BM_ProcessRealSong)->Unit(benchmark::kMillisecond);

// The check the program runs after every edit: the song as Save writes it, into memory,
// checked byte by byte and by its analysis. On the largest real song and on the generated
// 10 MB one.
void BM_CheckAsSaved(benchmark::State& state) {
    SongFile song;
    if (state.range(0) == 0) {
        const auto songs = testfiles::RealSongs();
        if (songs.empty()) {
            state.SkipWithError("no real songs installed");
            return;
        }
        const auto largest = std::max_element(songs.begin(), songs.end(), [](auto& a, auto& b) {
            return std::filesystem::file_size(a) < std::filesystem::file_size(b);
        });
        song.LoadFile(largest->string());
        state.SetLabel(largest->filename().string());
    } else {
        MemorySource source(TenMegabyteSong());
        song.LoadSong(source, "bench");
        state.SetLabel("10 MB generated");
    }
    const SpMidiCheck check;
    std::size_t findings = 0;
    for (auto _ : state) {
        findings = check.CheckSaved(song, SongFile::SaveOptions{}).size();
        benchmark::DoNotOptimize(findings);
    }
}
BENCHMARK(BM_CheckAsSaved)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BatchFolder(benchmark::State& state) {
    // 500 copies of the real songs in one folder, processed into another.
    const auto songs = testfiles::RealSongs();
    if (songs.empty()) {
        state.SkipWithError("no real songs installed");
        return;
    }
    testfiles::TempDir src, dst;
    for (int i = 0; i < 500; ++i)
        std::filesystem::copy_file(songs[static_cast<std::size_t>(i) % songs.size()],
                                   src / ("song" + std::to_string(i) + ".mid"));
    std::size_t files = 0;
    for (auto _ : state) {
        std::vector<BatchFileEntry> entries;
        std::string error;
        BatchProcessor::FindFiles(src.Path().string(), entries, error);
        files += entries.size();
        BatchProcessor batch;
        batch.Start(std::move(entries), dst.Path().string(), {}, nullptr, nullptr);
        batch.Join();
    }
    state.counters["files/s"] =
        benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BatchFolder)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
