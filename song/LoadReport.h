#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The load result, with the numbers the program has always reported.
enum class LoadResult : int {
    NotLoaded = 0,     // the file could not be opened
    Loaded = 1,        // the song was loaded
    NoChannelData = 7, // no channel message (a refused header included), or the track limit
    NotStored = 8,     // at least one event could not be stored
};

// What one load found besides the song itself.
struct LoadReport {
    enum class Status {
        Loaded,     // the header was read (the song may still hold no channel data)
        CannotOpen, // the file could not be opened; `error` holds the system's reason
        NotSmf,     // the header was refused: not a Standard MIDI File
    };

    LoadResult result = LoadResult::NotLoaded;
    Status status = Status::Loaded;
    std::string error;
    // One kind of data loading had to leave out: facts, which the front ends put into words.
    struct LeftOut {
        enum class Kind {
            TooLargeEvents,    // `count` events of 65,535 bytes or more, the largest `bytes`
            UnterminatedSysEx, // `count` SysEx messages that never reached their closing F7
            ReadError,         // the file could not be read on after byte `position`
            CutInsideEvent,    // the file ends inside an event, after byte `position`
            TracksAfterLimit,  // tracks after the first `count` (the track limit)
            TimesCut, // `count` events lay past 0xFFFFFFFE ms (49.7 days) and were moved there
        };
        Kind kind;
        std::uint64_t count = 0;
        std::uint64_t bytes = 0;
        std::uint64_t position = 0;
        int track = -1; // the track being read (0-based), where one applies
        bool operator==(const LeftOut&) const = default;
    };
    // What the loader had to leave out, in this order; empty when nothing was.
    std::vector<LeftOut> leftOut;

    // The vibra mode a vibra setup in the song asked for (1 for program 124, 0 for 125), when
    // the song had one; the song's own switches follow it, and so should its owner's.
    std::optional<std::uint32_t> vibraMode;

    bool IsSmf() const { return status == Status::Loaded; }
    bool LeftSomethingOut() const { return !leftOut.empty(); }
};
