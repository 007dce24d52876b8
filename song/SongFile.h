#pragma once

#include "song/ByteSink.h"
#include "song/SongReader.h"
#include "song/SongWriter.h"

#include <string>

// A song that is both read from and written to files, over one shared SongData.
class SongFile : public SongReader, public SongWriter {
public:
    // How a song is saved.
    struct SaveOptions {
        bool keepSysEx = true; // system events are written, the MIP message among them
        bool keepMeta = false; // meta events other than Set Tempo are written
        bool updateMip = true; // the MIP message is brought up to date first
    };

    ~SongFile() override = default;

    // Loads `path`; true when the load result is 1. `lastLoad` tells why not.
    virtual bool LoadFile(const std::string& path);

    // The one way a song is saved, by the program, quellor-cli and the batch alike: the
    // writer takes the options' SysEx and meta choices, the MIP message is brought up to
    // date when they say so, and the whole song is written to `out`. False when it was not
    // written: the sink failed (it knows why), or the song could not take a MIP message
    // (`lastError` says so).
    bool SaveProcessed(ByteSink& out, const SaveOptions& options);
    // The same into `path`, replaced as SaveFile replaces it; `lastError` says why not.
    // Both write with the options given and leave the writer's own SysEx and meta switches
    // as they were.
    bool SaveProcessed(const std::string& path, const SaveOptions& options);

    // Writes the whole song as it stands to `path`, replacing the file atomically: a
    // temporary file in the same folder is written and renamed over the target, so a failed
    // save leaves the old file whole. False on failure, with the system's reason in
    // `lastError`.
    virtual bool SaveFile(const std::string& path);

    std::string lastError;

private:
    bool PrepareForSaving(const SaveOptions& options);
};
