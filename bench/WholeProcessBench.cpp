// Whole-process speed and peak memory of quellor-cli on generated songs, side by side with
// midicsv (an independent MIDI reader written in C), and the cost of a priority change.
//
// Each command runs as a child process (fork, exec, wait4): its wall time is measured around
// it and its peak resident memory comes from wait4's rusage. The two programs alternate, so a
// busy machine slows both alike; the figures are medians. QUELLOR_BENCH_RUNS sets the runs
// per command (default 7); QUELLOR_BENCH_HUGE=1 adds a 1 GB song; QUELLOR_BENCH_CLI names
// another quellor-cli to measure (an older build, say).
#include "bench/GeneratedSong.h"
#include "song/ChannelCommands.h"
#include "song/SongFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Run {
    double seconds = 0;
    long maxRssKb = 0;
    int status = -1;
};

// Runs `args` with standard output and error going to /dev/null.
Run Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Run run;
    if (pid < 0)
        return run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.maxRssKb = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int Runs() {
    const char* text = std::getenv("QUELLOR_BENCH_RUNS");
    const int n = text ? std::atoi(text) : 7;
    return std::max(n, 1);
}

// Medians of `a` and `b` run alternately.
std::pair<Run, Run> SideBySide(const std::vector<std::string>& a,
                               const std::vector<std::string>& b) {
    std::vector<double> ta, tb;
    Run ra, rb;
    Spawn(a); // warm the page cache and the dynamic loader
    Spawn(b);
    for (int i = 0; i < Runs(); ++i) {
        ra = Spawn(a);
        rb = Spawn(b);
        ta.push_back(ra.seconds);
        tb.push_back(rb.seconds);
    }
    ra.seconds = Median(ta);
    rb.seconds = Median(tb);
    return {ra, rb};
}

void Compare(const char* what, const std::vector<std::string>& quellor,
             const std::vector<std::string>& midicsv) {
    const auto [q, m] = SideBySide(quellor, midicsv);
    std::printf("%-44s %8.1f ms   midicsv %8.1f ms   midicsv/quellor %5.1fx%s\n", what,
                q.seconds * 1e3, m.seconds * 1e3, m.seconds / q.seconds,
                q.status == 0 ? "" : "   (quellor-cli failed)");
}

void Memory(const char* what, const std::vector<std::string>& args, const fs::path& song) {
    const Run r = Spawn(args);
    const double fileMb = static_cast<double>(fs::file_size(song)) / 1e6;
    const double peakMb = static_cast<double>(r.maxRssKb) * 1024 / 1e6;
    std::printf("%-44s %8.1f MB peak for a %.1f MB file: %4.2fx the file, %.2f s%s\n", what, peakMb,
                fileMb, peakMb / fileMb, r.seconds, r.status == 0 ? "" : "   (quellor-cli failed)");
}

// The median time of ChannelCommands::SetPriority (MIP table and sequence polyphony
// recomputed) on a loaded song, moving a channel back and forth.
void PriorityChange(const fs::path& song) {
    SongFile file;
    if (!file.LoadFile(song.string())) {
        std::printf("priority change: the song did not load\n");
        return;
    }
    std::vector<double> times;
    for (int i = 0; i < 200; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ChannelCommands::SetPriority(file, 0, i % 2 == 0 ? 16 : 1);
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("%-44s %8.3f ms (median of 200, %u s song, sequence polyphony %d)\n",
                "priority change with both recomputations", Median(times) * 1e3,
                file.GetDuration() / 1000, file.sequencePolyphony);
}

} // namespace

int main() {
    const char* otherCli = std::getenv("QUELLOR_BENCH_CLI");
    const std::string cli = otherCli ? otherCli : QUELLOR_CLI;
    const std::string midicsv = "/usr/bin/midicsv";
    char pattern[] = "/tmp/quellor-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path dir = pattern;
    const fs::path song20 = dir / "song-20mb.mid", song100 = dir / "song-100mb.mid";
    const fs::path song10min = dir / "song-10min.mid", out = dir / "out.mid";
    if (!generatedsong::Write(song20, generatedsong::StepsForSize(20'000'000)) ||
        !generatedsong::Write(song100, generatedsong::StepsForSize(100'000'000)) ||
        !generatedsong::Write(song10min, generatedsong::StepsForMinutes(10))) {
        std::perror("writing the generated songs");
        return 1;
    }
    const bool haveMidicsv = access(midicsv.c_str(), X_OK) == 0;
    std::printf("quellor-cli on generated songs (%s), %d runs each, medians\n", dir.c_str(),
                Runs());
    if (haveMidicsv) {
        Compare("info --json, 20 MB song", {cli, "info", "--json", song20}, {midicsv, song20});
        Compare("info, 20 MB song", {cli, "info", song20}, {midicsv, song20});
        Compare("process, 20 MB song", {cli, "process", song20, out}, {midicsv, song20});
    } else {
        std::printf("midicsv is not installed: no comparison\n");
    }
    Memory("info --json, 20 MB song", {cli, "info", "--json", song20}, song20);
    Memory("info --json, 100 MB song", {cli, "info", "--json", song100}, song100);
    Memory("info, 100 MB song", {cli, "info", song100}, song100);
    Memory("process, 100 MB song", {cli, "process", song100, out}, song100);
    fs::remove(song100);
    if (const char* huge = std::getenv("QUELLOR_BENCH_HUGE"); huge && std::string(huge) == "1") {
        const fs::path song1g = dir / "song-1gb.mid";
        if (generatedsong::Write(song1g, generatedsong::StepsForSize(1'000'000'000))) {
            Memory("info --json, 1 GB song", {cli, "info", "--json", song1g}, song1g);
            Memory("info, 1 GB song", {cli, "info", song1g}, song1g);
        }
        fs::remove(song1g);
    }
    PriorityChange(song10min);
    fs::remove_all(dir);
    return 0;
}
