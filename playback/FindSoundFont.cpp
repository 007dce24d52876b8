#include "playback/FindSoundFont.h"

#include <cstdlib>
#include <filesystem>

std::optional<std::string> FindSoundFont() {
    std::error_code ec;
    auto isFile = [&ec](const std::string& path) {
        return std::filesystem::is_regular_file(path, ec);
    };
    if (const char* chosen = std::getenv("QUELLOR_SOUNDFONT"); chosen && *chosen) {
        if (isFile(chosen))
            return std::string(chosen);
        return std::nullopt;
    }
    for (const char* path :
         {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2"}) {
        if (isFile(path))
            return std::string(path);
    }
    return std::nullopt;
}
