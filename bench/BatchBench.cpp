// Batch throughput: the 31 real songs copied into one folder 50 times, processed into another
// folder with one job and with one job per processor core. Prints files per second for each.
#include "song/BatchProcessor.h"
#include "tests/TestFiles.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kCopies = 50;

// The folder of copies, made once for every run of the benchmark.
const testfiles::TempDir& SongFolder() {
    static const auto folder = [] {
        auto dir = std::make_unique<testfiles::TempDir>();
        const auto songs = testfiles::RealSongs();
        for (int copy = 0; copy < kCopies; ++copy)
            for (const auto& song : songs)
                std::filesystem::copy_file(
                    song, *dir / (song.stem().string() + "_" + std::to_string(copy) + ".mid"));
        return dir;
    }();
    return *folder;
}

void BM_BatchFiftyCopiesOfTheRealSongs(benchmark::State& state) {
    if (testfiles::RealSongs().empty()) {
        state.SkipWithError("no real songs installed");
        return;
    }
    const testfiles::TempDir& source = SongFolder();
    testfiles::TempDir destination;
    BatchProcessor::Options options;
    options.jobs = static_cast<unsigned>(state.range(0));
    std::size_t files = 0, failed = 0;
    for (auto _ : state) {
        std::vector<BatchFileEntry> entries;
        std::string error;
        BatchProcessor::FindFiles(source.Path().string(), entries, error);
        BatchProcessor batch;
        batch.Start(std::move(entries), destination.Path().string(), options, nullptr, nullptr);
        batch.Join();
        files += batch.Entries().size();
        for (const BatchFileEntry& entry : batch.Entries())
            failed += entry.result != BatchFileEntry::Result::Processed;
    }
    if (failed > 0)
        state.SkipWithError("files failed");
    state.counters["files/s"] =
        benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsRate);
    state.SetLabel(std::to_string(options.jobs) + (options.jobs == 1 ? " job" : " jobs"));
}
BENCHMARK(BM_BatchFiftyCopiesOfTheRealSongs)
    ->ArgName("jobs")
    ->Arg(1)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BatchFiftyCopiesOfTheRealSongs)
    ->ArgName("jobs")
    ->Arg(static_cast<std::int64_t>(BatchProcessor::DefaultJobs()))
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
