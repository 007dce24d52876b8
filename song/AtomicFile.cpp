#include "song/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Reason(int err) {
    return std::strerror(err);
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
    std::string name = ".";
    name.append(target.filename().string());
    name.append(".XXXXXX");
    std::string pattern = (folder / name).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = Reason(errno);
        return false;
    }
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        error = Reason(errno);
        ::close(fd);
        ::unlink(pattern.c_str());
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
    if (ok && std::rename(pattern.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(pattern.c_str());
        error = Reason(err ? err : EIO);
    }
    return ok;
}
