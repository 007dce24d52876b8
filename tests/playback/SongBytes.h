#pragma once

#include "TestFiles.h"

// Small songs for playback tests. With a division of 500 ticks per quarter note and the
// default tempo of 500000 us per quarter note, one tick lasts one millisecond.
namespace songbytes {

using testfiles::Bytes;

// Delta time as a variable-length quantity.
inline Bytes Delta(std::uint32_t ticks) {
    Bytes out{static_cast<std::uint8_t>(ticks & 0x7F)};
    while (ticks >>= 7)
        out.insert(out.begin(), static_cast<std::uint8_t>(0x80 | (ticks & 0x7F)));
    return out;
}

inline Bytes Tempo(std::uint32_t usPerQuarter) {
    return {0xFF,
            0x51,
            0x03,
            static_cast<std::uint8_t>(usPerQuarter >> 16),
            static_cast<std::uint8_t>(usPerQuarter >> 8),
            static_cast<std::uint8_t>(usPerQuarter)};
}

// Format 0, division 500: Note On C4 at 0 ms, Note Off at `lengthMs`.
inline Bytes OneNote(std::uint32_t lengthMs) {
    using testfiles::Cat;
    return Cat({testfiles::Header(0, 1, 500),
                testfiles::TrackChunk(
                    Cat({{0x00, 0x90, 0x3C, 0x64}, Delta(lengthMs), {0x80, 0x3C, 0x40}}))});
}

} // namespace songbytes
