#include "song/SongFile.h"
#include "song/AtomicFile.h"

#include <stdexcept>

bool SongFile::LoadFile(const std::string& path) {
    return LoadSongFile(path) == LoadResult::Loaded;
}

namespace {

// Puts the writer's SysEx and meta switches back as they were when a save ends: a save
// writes with its own options and leaves the song's playback rendering alone.
class KeepWriterSwitches {
public:
    explicit KeepWriterSwitches(SongWriter& writer)
        : writer_(writer), keepSysEx_(writer.GetKeepSysEx()), keepMeta_(writer.GetKeepMeta()) {}
    ~KeepWriterSwitches() {
        writer_.SetKeepSysEx(keepSysEx_);
        writer_.SetKeepMeta(keepMeta_);
    }
    KeepWriterSwitches(const KeepWriterSwitches&) = delete;
    KeepWriterSwitches& operator=(const KeepWriterSwitches&) = delete;

private:
    SongWriter& writer_;
    bool keepSysEx_;
    bool keepMeta_;
};

} // namespace

bool SongFile::SaveProcessed(ByteSink& out, const SaveOptions& options) {
    KeepWriterSwitches keep(*this);
    return PrepareForSaving(options) && WriteSongChannel(out, -1) == 1;
}

bool SongFile::SaveProcessed(const std::string& path, const SaveOptions& options) {
    KeepWriterSwitches keep(*this);
    return PrepareForSaving(options) && SaveFile(path);
}

bool SongFile::SaveFile(const std::string& path) {
    lastError.clear();
    return WriteFileAtomically(
        path, [this](ByteSink& sink) { return WriteSongChannel(sink, -1) == 1; }, lastError);
}

bool SongFile::PrepareForSaving(const SaveOptions& options) {
    lastError.clear();
    SetKeepSysEx(options.keepSysEx);
    SetKeepMeta(options.keepMeta);
    if (!options.updateMip)
        return true;
    try {
        UpdateMipMessage();
    } catch (const std::invalid_argument& e) {
        // A song without a track has no place for the message.
        lastError = e.what();
        return false;
    }
    return true;
}
