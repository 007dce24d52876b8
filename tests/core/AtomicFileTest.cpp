// Files written through a temporary file: the permissions they end up with, and writers on
// several threads at once (the batch worker saves while the program may save too).
#include "tests/TestFiles.h"

#include "song/AtomicFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
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

std::size_t FileCount(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

ino_t InodeOf(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
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

TEST(AtomicFile, SpecialFilesAndFoldersAreRefusedAndStayWhatTheyAre) {
    testfiles::TempDir dir;
    const fs::path fifo = dir / "fifo", folder = dir / "folder", socketPath = dir / "socket";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const fs::path fifoLink = dir / "fifo-link";
    fs::create_symlink(fifo, fifoLink);
    const std::pair<fs::path, const char*> cases[] = {
        {fifo, "a FIFO"}, {fifoLink, "a FIFO"}, {folder, "a folder"}, {socketPath, "a socket"}};
    for (const auto& [path, kind] : cases) {
        std::string error;
        // A FIFO without a reader would block an opening writer: refusing never opens it.
        EXPECT_FALSE(WriteText(path, "text", error)) << path;
        EXPECT_NE(error.find(kind), std::string::npos) << error;
    }
    ::close(sock);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_symlink(fifoLink));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(fs::is_socket(socketPath));
    EXPECT_EQ(FileCount(dir.Path()), 4u) << "no temporary file left";
}

TEST(AtomicFile, ALinkIsFollowedAndStaysALink) {
    testfiles::TempDir dir;
    fs::create_directory(dir / "real");
    const fs::path target = dir / "real" / "song.mid", link = dir / "link.mid",
                   chain = dir / "chain.mid", dangling = dir / "new-link.mid";
    std::string error;
    ASSERT_TRUE(WriteText(target, "old", error)) << error;
    fs::create_symlink("real/song.mid", link); // relative to the link's folder
    fs::create_symlink(link, chain);
    fs::create_symlink("real/new.mid", dangling);
    ASSERT_TRUE(WriteText(chain, "new", error)) << error;
    ASSERT_TRUE(WriteText(dangling, "created", error)) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_symlink(chain));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(ReadText(target), "new");
    EXPECT_EQ(ReadText(dir / "real" / "new.mid"), "created");
    EXPECT_EQ(FileCount(dir / "real"), 2u) << "no temporary file left";
}

TEST(AtomicFile, AFileNobodyMayWriteIsRefusedNotReplaced) {
    testfiles::TempDir dir;
    const fs::path locked = dir / "locked.mid";
    std::string error;
    ASSERT_TRUE(WriteText(locked, "old", error)) << error;
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    // Refused for root as well: the mark is the only protection a root script has.
    EXPECT_FALSE(WriteText(locked, "new", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadText(locked), "old");
    EXPECT_EQ(ModeOf(locked), 0444u);
    EXPECT_EQ(FileCount(dir.Path()), 1u);
}

TEST(AtomicFile, AWritableFileInAReadOnlyFolderIsWrittenInPlace) {
    testfiles::TempDir dir, scratch;
    fs::create_directory(dir / "sealed");
    const fs::path file = dir / "sealed" / "song.mid";
    std::string error;
    ASSERT_TRUE(WriteText(file, std::string(100000, 'o'), error)) << error;
    const ino_t inode = InodeOf(file);

    // The fallback itself, whoever runs the test: the inode stays, the scratch copy goes.
    ASSERT_TRUE(WriteFileInPlace(
        file.string(), scratch.Path().string(),
        [](ByteSink& sink) {
            sink.Write(reinterpret_cast<const std::uint8_t*>("short"), 5);
            return true;
        },
        error))
        << error;
    EXPECT_EQ(ReadText(file), "short") << "cut to the new length";
    EXPECT_EQ(InodeOf(file), inode);
    EXPECT_EQ(FileCount(scratch.Path()), 0u);
    // A failed write leaves the file as it was.
    EXPECT_FALSE(WriteFileInPlace(
        file.string(), scratch.Path().string(), [](ByteSink&) { return false; }, error));
    EXPECT_EQ(ReadText(file), "short");
    EXPECT_EQ(FileCount(scratch.Path()), 0u);

    // Taken by WriteFileAtomically when the folder refuses new files (root's never does).
    ASSERT_EQ(::chmod((dir / "sealed").c_str(), 0555), 0);
    if (::geteuid() != 0) {
        EXPECT_TRUE(WriteText(file, "in place", error)) << error;
        EXPECT_EQ(ReadText(file), "in place");
        EXPECT_EQ(InodeOf(file), inode);
        EXPECT_FALSE(WriteText(dir / "sealed" / "new.mid", "x", error)) << "no new file";
    }
    ::chmod((dir / "sealed").c_str(), 0755);
    EXPECT_EQ(FileCount(dir / "sealed"), 1u);
}

TEST(AtomicFile, TheLongestNameTheFileSystemTakesIsWritten) {
    testfiles::TempDir dir;
    std::string error;
    for (const std::size_t length : {247u, 248u, 254u, 255u}) {
        const fs::path path = dir / (std::string(length - 4, 'n') + ".mid");
        ASSERT_TRUE(WriteText(path, "first", error)) << length << ": " << error;
        ASSERT_TRUE(WriteText(path, "second", error)) << length << ": " << error;
        EXPECT_EQ(ReadText(path), "second");
    }
    EXPECT_EQ(FileCount(dir.Path()), 4u);
}

TEST(AtomicFile, AThrowingWriterLeavesNoTemporaryFile) {
    testfiles::TempDir dir;
    const fs::path path = dir / "song.mid";
    std::string error;
    ASSERT_TRUE(WriteText(path, "old", error)) << error;
    EXPECT_THROW(WriteFileAtomically(
                     path.string(), [](ByteSink&) -> bool { throw std::bad_alloc(); }, error),
                 std::bad_alloc);
    EXPECT_EQ(ReadText(path), "old");
    EXPECT_EQ(FileCount(dir.Path()), 1u);
}

TEST(AtomicFile, ASignalDuringAWriteRemovesTheTemporaryFile) {
    testfiles::TempDir dir;
    for (const int signal : {SIGINT, SIGTERM}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RemoveTemporaryFilesOnSignals({SIGINT, SIGTERM});
            std::string error;
            WriteFileAtomically((dir / "song.mid").string(),
                                [&](ByteSink& sink) {
                                    const std::string half(1 << 20, 'h');
                                    sink.Write(reinterpret_cast<const std::uint8_t*>(half.data()),
                                               half.size());
                                    ::raise(signal);
                                    return true;
                                },
                                error);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "ends by the signal";
        EXPECT_EQ(FileCount(dir.Path()), 0u) << "signal " << signal;
    }
}

} // namespace
