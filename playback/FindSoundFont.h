#pragma once

#include <optional>
#include <string>

// The General MIDI SoundFont to play with: the file QUELLOR_SOUNDFONT names when it is set,
// else the system's default-GM.sf2, else TimGM6mb.sf2 beside it. Nothing when that file
// does not exist.
std::optional<std::string> FindSoundFont();
