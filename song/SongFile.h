#pragma once

#include "song/SongReader.h"
#include "song/SongWriter.h"

#include <string>

// A song that is both read from and written to files, over one shared SongData.
class SongFile : public SongReader, public SongWriter {
public:
    ~SongFile() override = default;

    // Loads `path`; true when the load result is 1. `lastLoad` tells why not.
    virtual bool LoadFile(const std::string& path);
    // Writes the whole song to `path`, replacing the file atomically: a temporary file in
    // the same folder is written and renamed over the target, so a failed save leaves the
    // old file whole. False on failure, with the system's reason in `lastError`.
    virtual bool SaveFile(const std::string& path);

    std::string lastError;
};
