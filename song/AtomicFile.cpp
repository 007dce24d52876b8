#include "song/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string Reason(int err) {
    return std::strerror(err);
}

// The temporary files being written right now, for a signal handler to remove. A slot is
// claimed (1), filled and then published (2); the handler removes published paths only.
constexpr int kSlots = 32;
struct TemporarySlot {
    std::atomic<int> state{0};
    char path[PATH_MAX];
};
TemporarySlot temporarySlots[kSlots];

// Remembers a path until the registration is dropped; a path too long for a slot, or a
// moment when every slot is taken, goes unregistered.
class TemporaryRegistration {
public:
    TemporaryRegistration() = default;
    // Registers `path`, before the file is created: a signal in between finds nothing to
    // remove, while one right after creating it finds the file.
    void Set(const std::string& path) {
        Drop();
        if (path.size() >= PATH_MAX)
            return;
        for (int i = 0; i < kSlots; ++i) {
            int expected = 0;
            if (temporarySlots[i].state.compare_exchange_strong(expected, 1)) {
                std::memcpy(temporarySlots[i].path, path.c_str(), path.size() + 1);
                temporarySlots[i].state.store(2, std::memory_order_release);
                slot_ = i;
                return;
            }
        }
    }
    ~TemporaryRegistration() { Drop(); }
    TemporaryRegistration(const TemporaryRegistration&) = delete;
    TemporaryRegistration& operator=(const TemporaryRegistration&) = delete;
    // The file is gone or renamed: nothing left to remove.
    void Drop() {
        if (slot_ >= 0)
            temporarySlots[slot_].state.store(0, std::memory_order_release);
        slot_ = -1;
    }

private:
    int slot_ = -1;
};

extern "C" void RemoveTemporariesAndEnd(int signal) {
    RemoveTemporaryFilesNow();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
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

// Creates "<folder>/.<name>.XXXXXX", a file that did not exist, for reading and writing: its
// path in `path` (registered in `registration` while it exists), the descriptor as the
// result (-1 with errno set on failure). The name is
// cut so that the whole fits the folder's name limit. Unlike mkstemp's 0600 it is opened with
// `mode`, which the kernel narrows by the umask as for any new file; learning the mask any
// other way means setting it, for every thread of the process at once.
int CreateUniqueFile(const fs::path& folder, const std::string& name, mode_t mode,
                     std::string& path, TemporaryRegistration& registration) {
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    const std::size_t nameMax = limit > 16 ? static_cast<std::size_t>(limit) : NAME_MAX;
    const std::string base = name.substr(0, std::min(name.size(), nameMax - 8));
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = (folder / ("." + base + "." + UniqueSuffix())).string();
        registration.Set(path);
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0)
            return fd;
        const int err = errno;
        registration.Drop(); // not ours: another file of that name, or none at all
        if (err != EEXIST) {
            errno = err;
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

// Follows symbolic links from `path` to the file they end at, which need not exist yet.
bool ResolveLinks(const fs::path& path, fs::path& target, int& err) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0) {
            err = errno;
            return err == ENOENT; // a new file: the folder is checked by creating it
        }
        if (!S_ISLNK(st.st_mode))
            return true;
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), buffer, sizeof buffer);
        if (n < 0) {
            err = errno;
            return false;
        }
        const fs::path link(std::string(buffer, static_cast<std::size_t>(n)));
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    err = ELOOP;
    return false;
}

const char* KindOf(mode_t mode) {
    return S_ISDIR(mode)    ? "a folder"
           : S_ISCHR(mode)  ? "a character device"
           : S_ISBLK(mode)  ? "a block device"
           : S_ISFIFO(mode) ? "a FIFO"
           : S_ISSOCK(mode) ? "a socket"
                            : "not a regular file";
}

// Runs `write` into the open descriptor `fd` and makes sure the data reached the disk; the
// descriptor is closed. False with `err` set when anything failed.
bool WriteAndSync(int fd, const std::function<bool(ByteSink&)>& write, bool keepOpen, int& err) {
    const int own = keepOpen ? ::dup(fd) : fd;
    std::FILE* file = own >= 0 ? ::fdopen(own, "wb") : nullptr;
    if (!file) {
        err = errno;
        if (own >= 0)
            ::close(own);
        return false;
    }
    FileSink sink(file);
    bool ok = false;
    try {
        ok = write(sink);
        sink.Flush(); // the sink's buffer goes to the stream
    } catch (...) {
        std::fclose(file);
        throw;
    }
    err = ok && sink.Ok() ? 0 : (errno ? errno : EIO);
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
    if (!ok && err == 0)
        err = EIO;
    return ok;
}

// Syncs the folder, so that a rename in it survives a crash. Best effort: some file systems
// cannot sync a folder, and the file is in place already either way.
void SyncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string ScratchFolder() {
    std::error_code ec;
    const fs::path folder = fs::temp_directory_path(ec);
    return ec ? std::string("/tmp") : folder.string();
}

fs::path FolderOf(const fs::path& target) {
    fs::path folder = target.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// Copies all of `from` (read from its start) over `to`, which is cut to the same length.
bool CopyOver(int from, int to, int& err) {
    char buffer[1 << 16];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(from, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            err = errno;
            return false;
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w =
                ::pwrite(to, buffer + done, static_cast<std::size_t>(n - done), offset + done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0) {
                err = errno;
                return false;
            }
            done += w;
        }
        offset += n;
    }
    if (::ftruncate(to, offset) != 0 || ::fsync(to) != 0) {
        err = errno;
        return false;
    }
    return true;
}

} // namespace

void RemoveTemporaryFilesNow() {
    for (TemporarySlot& slot : temporarySlots)
        if (slot.state.load(std::memory_order_acquire) == 2)
            ::unlink(slot.path);
}

void RemoveTemporaryFilesOnSignals(std::initializer_list<int> signalNumbers) {
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndEnd;
    sigemptyset(&action.sa_mask);
    for (const int signal : signalNumbers)
        sigaddset(&action.sa_mask, signal);
    for (const int signal : signalNumbers)
        ::sigaction(signal, &action, nullptr);
}

bool WriteFileInPlace(const std::string& path, const std::string& scratchFolder,
                      const std::function<bool(ByteSink&)>& write, std::string& error) {
    const fs::path target(path);
    std::string scratch;
    TemporaryRegistration registration;
    const int scratchFd =
        CreateUniqueFile(scratchFolder, target.filename().string(), 0600, scratch, registration);
    if (scratchFd < 0) {
        error = Reason(errno);
        return false;
    }
    int err = 0;
    bool ok = false;
    try {
        ok = WriteAndSync(scratchFd, write, true, err);
    } catch (...) {
        ::close(scratchFd);
        ::unlink(scratch.c_str());
        throw;
    }
    if (ok) {
        // Not blocking on a FIFO put in the file's place meanwhile; it is refused below.
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd < 0) {
            ok = false;
            err = errno;
        } else if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ok = false;
            err = EINVAL;
        } else {
            ok = CopyOver(scratchFd, fd, err);
        }
        if (fd >= 0)
            ::close(fd);
    }
    ::close(scratchFd);
    ::unlink(scratch.c_str());
    registration.Drop();
    if (!ok)
        error = Reason(err);
    return ok;
}

bool WriteFileAtomically(const std::string& path, const std::function<bool(ByteSink&)>& write,
                         std::string& error) {
    fs::path target;
    int err = 0;
    if (!ResolveLinks(fs::path(path), target, err)) {
        error = Reason(err);
        return false;
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode)) {
            error = std::string("it is ") + KindOf(old.st_mode) + ", not a regular file";
            return false;
        }
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
            error = Reason(errno);
            return false;
        }
        // Root may write anything; a file marked read-only for everyone is still left alone.
        if ((old.st_mode & 0222) == 0) {
            error = "the file is read-only";
            return false;
        }
    }
    const fs::path folder = FolderOf(target);
    std::string temporary;
    TemporaryRegistration registration;
    const int fd =
        CreateUniqueFile(folder, target.filename().string(), 0666, temporary, registration);
    if (fd < 0) {
        err = errno;
        if (exists && (err == EACCES || err == EPERM))
            return WriteFileInPlace(target.string(), ScratchFolder(), write, error);
        error = Reason(err);
        return false;
    }
    if (exists) {
        // Keep the owner and group of the file being replaced (chown first: it clears the
        // set-id bits), then its permissions; a new file has the usual ones already. An owner
        // that cannot be kept means writing in place.
        if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
            ::fchown(fd, old.st_uid, old.st_gid) != 0) {
            ::close(fd);
            ::unlink(temporary.c_str());
            registration.Drop();
            return WriteFileInPlace(target.string(), ScratchFolder(), write, error);
        }
        ::fchmod(fd, old.st_mode & 07777);
    }
    bool ok = false;
    try {
        ok = WriteAndSync(fd, write, false, err);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        error = Reason(err);
        return false;
    }
    registration.Drop();
    SyncFolder(folder);
    return true;
}
