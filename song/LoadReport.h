#pragma once

#include <string>
#include <vector>

// What one load found besides the song itself.
struct LoadReport {
    enum class Status {
        Loaded,     // the header was read (the song may still hold no channel data)
        CannotOpen, // the file could not be opened; `error` holds the system's reason
        NotSmf,     // the header was refused: not a Standard MIDI File
    };

    // Load result: 1 loaded, 7 no channel data (a refused header included) or track limit,
    // 8 an event could not be stored.
    int result = 0;
    Status status = Status::Loaded;
    std::string error;
    // What the loader had to leave out, one line each, in words; empty when nothing was.
    std::vector<std::string> leftOut;

    bool IsSmf() const { return status == Status::Loaded; }
    bool LeftSomethingOut() const { return !leftOut.empty(); }
};
