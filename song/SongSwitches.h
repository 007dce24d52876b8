#pragma once

#include <cstdint>

// The processing switches a song is loaded and written with. The desktop program keeps the
// user's and hands them to its document; the command-line tool builds them from its options;
// the batch takes a copy when a run starts. Nothing in the core keeps them process-wide.
// The defaults are the program's first-start values.
struct SongSwitches {
    // Drop SysEx events other than the MIP message while loading.
    bool sysexStripping = true;
    // Propose priorities with the weighting system ("Priority OBLIX") instead of by channel.
    bool prioOblix = true;
    // 0: vibra triggers use program change 125; any other value: 124.
    std::uint32_t vibraMode = 0;
    // 0: reduced SP-MIDI instrument map; 1: full GM map.
    std::uint32_t instrumentMapIndex = 0;
};
