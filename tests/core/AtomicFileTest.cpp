// Files written through a temporary file: the permissions they end up with, and writers on
// several threads at once (the batch worker saves while the program may save too).
#include "tests/TestFiles.h"

#include "song/AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

bool WriteText(const fs::path& path, const std::string& text, std::string& error) {
    return WriteFileAtomically(
        path.string(),
        [&](ByteSink& sink) {
            sink.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
            return true;
        },
        error);
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

mode_t ModeOf(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Sets the process's umask for its lifetime.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(previous_); }

private:
    mode_t previous_;
};

TEST(AtomicFile, ANewFileGetsTheUmasksModeAReplacedOneKeepsItsOwn) {
    testfiles::TempDir dir;
    std::string error;
    for (const mode_t mask : {022, 077, 0}) {
        ScopedUmask umask(mask);
        const fs::path target = dir / ("new" + std::to_string(mask));
        ASSERT_TRUE(WriteText(target, "new", error)) << error;
        EXPECT_EQ(ModeOf(target), 0666 & ~mask) << "umask " << mask;
    }

    const fs::path kept = dir / "kept";
    ASSERT_TRUE(WriteText(kept, "old", error)) << error;
    ASSERT_EQ(::chmod(kept.c_str(), 0751), 0);
    ScopedUmask umask(077);
    ASSERT_TRUE(WriteText(kept, "replaced", error)) << error;
    EXPECT_EQ(ReadText(kept), "replaced");
    EXPECT_EQ(ModeOf(kept), 0751u);
}

TEST(AtomicFile, WritersOnManyThreadsEachReplaceTheFileWhole) {
    testfiles::TempDir dir;
    const fs::path shared = dir / "shared.mid";
    constexpr int kThreads = 4, kWrites = 25;
    std::vector<std::string> failures(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread writes its own file and the shared one, with text only it writes.
            const std::string text(4096 + t, static_cast<char>('a' + t));
            for (int i = 0; i < kWrites; ++i) {
                std::string error;
                if (!WriteText(shared, text, error) ||
                    !WriteText(dir / ("own" + std::to_string(t)), text, error))
                    failures[t] = error.empty() ? "failed" : error;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(failures[t], "") << "thread " << t;
        EXPECT_EQ(ReadText(dir / ("own" + std::to_string(t))),
                  std::string(4096 + t, static_cast<char>('a' + t)));
    }
    const std::string last = ReadText(shared);
    ASSERT_GE(last.size(), 4096u);
    EXPECT_EQ(last, std::string(last.size(), static_cast<char>('a' + (last.size() - 4096))))
        << "one writer's text, whole";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), kThreads + 1)
        << "no temporary file left";
}

} // namespace
