#pragma once

// Shared pieces of the core tests: songs built byte by byte, loaded and written in memory,
// what the reader delivers, the first-start switches, and running the CLI.

#include "tests/TestFiles.h"

#include "song/ByteSink.h"
#include "song/ByteSource.h"
#include "song/SongFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace core {

using testfiles::Bytes;
using testfiles::Cat;

using testfiles::Hex;
using testfiles::Vlq;

// One event with its delta time.
inline Bytes Ev(std::uint32_t delta, std::initializer_list<int> bytes) {
    Bytes out = Vlq(delta);
    for (int b : bytes)
        out.push_back(static_cast<std::uint8_t>(b));
    return out;
}
inline Bytes On(int ch, int key, int velocity = 0x40, std::uint32_t delta = 0) {
    return Ev(delta, {0x90 | ch, key, velocity});
}
inline Bytes Off(int ch, int key, std::uint32_t delta = 0) {
    return Ev(delta, {0x80 | ch, key, 0x40});
}
inline Bytes Cc(int ch, int controller, int value, std::uint32_t delta = 0) {
    return Ev(delta, {0xB0 | ch, controller, value});
}
inline Bytes Pc(int ch, int program, std::uint32_t delta = 0) {
    return Ev(delta, {0xC0 | ch, program});
}
inline const Bytes kTempo = Ev(0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}); // Set Tempo 500000

// A file of the given format and division with one MTrk chunk per entry of `tracks`.
inline Bytes Song(int format, int division, const std::vector<Bytes>& tracks) {
    Bytes out = testfiles::Header(format, static_cast<int>(tracks.size()), division);
    for (const Bytes& t : tracks)
        out = Cat({out, testfiles::TrackChunk(t)});
    return out;
}

// A packet `lead` L data (delta 0): a SysEx (F0), an escape (F7) or a meta event (FF type).
inline Bytes SysEx(std::uint8_t lead, const Bytes& data) {
    return Cat({{0x00, lead}, Vlq(data.size()), data});
}
inline Bytes Meta(std::uint8_t type, const std::string& text) {
    return Cat({{0x00, 0xFF, type}, Vlq(text.size()), Bytes(text.begin(), text.end())});
}

inline int Load(SongFile& song, const Bytes& file, const std::string& title = "") {
    MemorySource in(file);
    return static_cast<int>(song.LoadSong(in, title));
}

inline Bytes Write(SongFile& song, int channel = -1) {
    MemorySink sink;
    EXPECT_EQ(song.WriteSongChannel(sink, channel), 1);
    return sink.TakeBytes();
}

// One event as the reader delivers it.
struct Delivered {
    int track;
    std::uint32_t time;
    bool meta, escape;
    std::uint8_t metaType;
    Bytes bytes;
};

// Every event the reader delivers, End of Track included, in file order; `header` is the
// result of ReadHeader.
struct Reading {
    int header = 0, format = 0, division = 0;
    std::vector<Delivered> events;

    std::vector<Delivered> Channel() const {
        std::vector<Delivered> out;
        std::copy_if(events.begin(), events.end(), std::back_inserter(out), [](const Delivered& d) {
            return !d.meta && !d.escape && d.bytes[0] >= 0x80 && d.bytes[0] < 0xF0;
        });
        return out;
    }
};

inline Reading ReadAll(const Bytes& file) {
    struct Reader : SongReader {
        Reading All(ByteSource& in) {
            Reading r;
            r.header = ForEachEvent(in, [&] {
                const std::uint8_t* buf = eventBuffer.get();
                if (!eventOversize)
                    r.events.push_back({currentTrack, eventTime, eventIsMeta, eventIsEscape,
                                        eventMetaType, Bytes(buf, buf + eventLength)});
                return true;
            });
            r.format = format;
            r.division = division;
            return r;
        }
    } reader;
    MemorySource in(file);
    return reader.All(in);
}

class CoreTest : public testing::Test {};

// Every stored event of a track as bytes.
inline std::vector<Bytes> TrackBytes(const Track& track) {
    std::vector<Bytes> out;
    for (const EventRef e : track.events)
        out.emplace_back(e.GetData(), e.GetData() + e.GetLength());
    return out;
}

using testfiles::Exec;
using testfiles::Outcome;
using testfiles::Q;
using testfiles::Quote;
using testfiles::ReadFile;
using testfiles::WriteFile;

} // namespace core
