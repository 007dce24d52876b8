#pragma once

#include <cstdint>
#include <string>

// General MIDI program names and the reduced SP-MIDI instrument map into which the 128 GM
// programs fold for phones whose synthesiser implements only a subset.
//
// Map index 0 is the reduced SP-MIDI map, 1 the full GM map.

// The program that sounds for `program` under the map; programs outside 0-127 are returned
// unchanged.
std::uint32_t MapInstrument(std::uint32_t program, std::uint32_t mapIndex);
// The name shown for a channel: "Percussive" for the percussion channel (index 9, and index
// 10 when `channel11Percussion` is set), else the name of the program that sounds under the
// map; "Unknown" for a program of 128 or more.
std::string GetInstrumentName(std::uint32_t program, int channel, bool channel11Percussion,
                              std::uint32_t mapIndex);
// The GM name of a program 0-127, or "Unknown".
const char* GetProgramName(std::uint32_t program);
