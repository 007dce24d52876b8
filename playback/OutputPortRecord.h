#pragma once

#include <cstdint>
#include <string>

// One MIDI output port as the engine found it at start-up. Device index n >= 1 selects the
// record at position n - 1 of the engine's port list.
struct OutputPortRecord {
    // The number under which the system listed the port.
    std::uint32_t enumerationIndex = 0;
    // What identifies the port when it is opened again (its system name).
    std::string portId;
    // The name shown in the "MIDI Output" menu, at most 255 characters.
    std::string name;
    // Groups of 16 channels the port takes.
    std::uint32_t channelGroups = 1;
};
