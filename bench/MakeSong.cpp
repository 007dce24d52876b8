// quellor_make_song OUT SIZE: writes a generated song of about SIZE bytes (suffix k, M or G)
// or, with "min" as suffix, of about that many minutes.
#include "bench/GeneratedSong.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quellor_make_song OUT SIZE[k|M|G|min]\n");
        return 2;
    }
    char* end = nullptr;
    const double value = std::strtod(argv[2], &end);
    const std::string unit = end ? end : "";
    std::uint64_t steps = 0;
    if (unit == "min") {
        steps = generatedsong::StepsForMinutes(value);
    } else {
        double scale = 1;
        if (unit == "k")
            scale = 1e3;
        else if (unit == "M")
            scale = 1e6;
        else if (unit == "G")
            scale = 1e9;
        else if (!unit.empty()) {
            std::fprintf(stderr, "unknown size unit: %s\n", unit.c_str());
            return 2;
        }
        steps = generatedsong::StepsForSize(static_cast<std::uint64_t>(value * scale));
    }
    if (!generatedsong::Write(argv[1], steps)) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
