#include "song/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Reason(int err) {
    return std::strerror(err);
}

// Six letters or digits that differ from call to call and from process to process.
std::string UniqueSuffix() {
    static const std::uint64_t processSeed =
        (std::uint64_t(::getpid()) << 32) ^
        std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    static std::atomic<std::uint64_t> serial{0};
    // splitmix64's finaliser spreads consecutive serials over the whole range.
    std::uint64_t v =
        processSeed + serial.fetch_add(1, std::memory_order_relaxed) * 0x9E3779B97F4A7C15ull;
    v = (v ^ (v >> 30)) * 0xBF58476D1CE4E5B9ull;
    v = (v ^ (v >> 27)) * 0x94D049BB133111EBull;
    v ^= v >> 31;
    static const char kChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string suffix;
    for (int i = 0; i < 6; ++i, v /= 62)
        suffix += kChars[v % 62];
    return suffix;
}

// Creates "<folder>/.<name>.XXXXXX", a file that did not exist, for writing: its path in
// `path`, the descriptor as the result (-1 with errno set on failure). Unlike mkstemp's 0600
// it is opened with mode 0666, which the kernel narrows by the umask as for any new file;
// learning the mask any other way means setting it, for every thread of the process at once.
int CreateUniqueFile(const std::filesystem::path& folder, const std::string& name,
                     std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = (folder / ("." + name + "." + UniqueSuffix())).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

bool WriteFileAtomically(const std::string& path, const std::function<bool(ByteSink&)>& write,
                         std::string& error) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        error = Reason(EISDIR);
        return false;
    }
    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    std::string temporary;
    const int fd = CreateUniqueFile(folder, target.filename().string(), temporary);
    if (fd < 0) {
        error = Reason(errno);
        return false;
    }
    // Keep the permissions of the file being replaced; a new file has the usual ones already.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        error = Reason(errno);
        ::close(fd);
        ::unlink(temporary.c_str());
        return false;
    }
    FileSink sink(file);
    bool ok = write(sink);
    int err = ok && sink.Ok() ? 0 : (errno ? errno : EIO);
    ok = ok && sink.Ok();
    if (ok && std::fflush(file) != 0) {
        ok = false;
        err = errno;
    }
    if (ok && ::fsync(fileno(file)) != 0) {
        ok = false;
        err = errno;
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        error = Reason(err ? err : EIO);
    }
    return ok;
}
