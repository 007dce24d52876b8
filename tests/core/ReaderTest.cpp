// Standard MIDI File reading: numbers, chunks, running status, meta events, SysEx, escapes,
// truncated and oversized data.
#include "CoreSupport.h"

#include <algorithm>

using namespace core;

namespace {

using SysExPackets = CoreTest;
using Truncation = CoreTest;

const Bytes kNote = On(0, 0x3C);

// ---------------------------------------------------------------- variable-length numbers

struct VlqCase {
    const char* name;
    const char* in;
    int count;
    std::uint32_t value;
    bool canonical; // the writer writes the value this way
};

class VarLenTest : public testing::TestWithParam<VlqCase> {};

TEST_P(VarLenTest, ReadsAndWrites) {
    const VlqCase& c = GetParam();
    const Bytes bytes = Hex(c.in);
    MemorySource in(bytes);
    std::uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(SongReader::ReadVarLen(in, value), c.count);
    EXPECT_EQ(value, c.count > 0 ? c.value : 0xDEADBEEF) << "no value when the data ends";
    if (c.canonical) {
        MemorySink sink;
        SongWriter::WriteVarLen(sink, c.value);
        EXPECT_EQ(sink.Bytes(), Hex(c.in));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, VarLenTest,
    testing::Values(VlqCase{"zero", "00", 1, 0, true}, VlqCase{"one", "7F", 1, 0x7F, true},
                    VlqCase{"two", "81 00", 2, 0x80, true},
                    VlqCase{"twoFull", "FF 7F", 2, 0x3FFF, true},
                    VlqCase{"three", "81 80 00", 3, 0x4000, true},
                    VlqCase{"four", "81 80 80 00", 4, 0x200000, true},
                    VlqCase{"fourHigh", "F7 FF FF 7F", 4, 0x0EFFFFFF, true},
                    // all four bits 0x0F000000 set: the top byte becomes FF
                    VlqCase{"largest", "FF FF FF 7F", 4, 0xFFFFFFFF, false},
                    VlqCase{"topBits", "F8 80 80 00", 4, 0xFF000000, false},
                    VlqCase{"threeTopBits", "B8 80 80 00", 4, 0x07000000, true},
                    // bits shifted out of 32 are lost
                    VlqCase{"five", "81 80 80 80 00", 5, 0x10000000, false},
                    VlqCase{"fiveLost", "90 80 80 80 00", 5, 0, false},
                    VlqCase{"empty", "", 0, 0, false}, VlqCase{"cut", "81 80", -1, 0, false}),
    Name<VlqCase>);

// ---------------------------------------------------------------- chunk headers

struct HeaderCase {
    const char* name;
    Bytes file;
    int header;        // ReadHeader's result
    int division;      // stored division when accepted
    std::size_t notes; // channel events read
};

class HeaderTest : public testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderTest, AcceptsOrRefuses) {
    const HeaderCase& c = GetParam();
    const Reading r = ReadAll(c.file);
    EXPECT_EQ(r.header, c.header);
    EXPECT_EQ(r.division, c.header == 1 ? c.division : r.division);
    EXPECT_EQ(r.Channel().size(), c.notes);
}

const Bytes kTrack = testfiles::TrackChunk(kNote);
const Bytes kOther = Cat({{'X', 'Y', 'Z', 'W'}, Hex("00 00 00 03 90 3C 40")}); // unknown chunk

Bytes Head(const char* hex) {
    return Cat({{'M', 'T', 'h', 'd'}, Hex(hex)});
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, HeaderTest,
    testing::Values(
        HeaderCase{"plain", Cat({Head("00 00 00 06 00 00 00 01 00 60"), kTrack}), 1, 96, 1},
        // header length 8: the two bytes after the division are skipped
        HeaderCase{"length8", Cat({Head("00 00 00 08 00 00 00 01 00 60 AA BB"), kTrack}), 1, 96, 1},
        HeaderCase{"format2", Cat({Head("00 00 00 06 00 02 00 01 00 60"), kTrack}), 1, 96, 1},
        HeaderCase{"format3", Cat({Head("00 00 00 06 00 03 00 01 00 60"), kTrack}), 0, 0, 0},
        HeaderCase{"formatNegative", Cat({Head("00 00 00 06 FF FF 00 01 00 60"), kTrack}), 0, 0, 0},
        // E7 28: 25 frames per second, 40 ticks per frame
        HeaderCase{"smpte", Cat({Head("00 00 00 06 00 00 00 01 E7 28"), kTrack}), 1, 1000, 1},
        HeaderCase{"division0", Cat({Head("00 00 00 06 00 00 00 01 00 00"), kTrack}), 0, 0, 0},
        HeaderCase{"smpte0Ticks", Cat({Head("00 00 00 06 00 00 00 01 E7 00"), kTrack}), 0, 0, 0},
        HeaderCase{"wrongId", Cat({Hex("4D 54 68 78 00 00 00 06 00 00 00 01 00 60"), kTrack}), 0, 0,
                   0},
        HeaderCase{"zeroLengthTrack",
                   Cat({Head("00 00 00 06 00 00 00 01 00 60"), {'M', 'T', 'r', 'k', 0, 0, 0, 0}}),
                   0, 0, 0},
        HeaderCase{"noTrack", Head("00 00 00 06 00 00 00 01 00 60"), 0, 0, 0},
        // chunks of unknown types are skipped by their length, before and between tracks
        HeaderCase{"otherFirst", Cat({Head("00 00 00 06 00 01 00 02 00 60"), kOther, kTrack}), 1,
                   96, 1},
        HeaderCase{"otherBetween",
                   Cat({Head("00 00 00 06 00 01 00 02 00 60"), kTrack, kOther, kTrack}), 1, 96, 2}),
    Name<HeaderCase>);

TEST(TimeConversion, FixedTempoAndRounding) {
    // division 480: a tick is 500000 / 480000 ms
    const Reading r = ReadAll(Song(0, 480,
                                   {Cat({On(0, 0x3C),           // 0 ms
                                         Ev(1, {0x3E, 0x40}),   // +1 tick: 1.04 ms -> 1
                                         Ev(479, {0x40, 0x40}), // 480 ticks: 500 ms
                                         Ev(0, {0xFF, 0x51, 0x03, 0x03, 0x0D, 0x40}), // faster
                                         Ev(480, {0x41, 0x40})})})); // still 1000 ms
    std::vector<std::uint32_t> times;
    for (const Delivered& d : r.Channel())
        times.push_back(d.time);
    EXPECT_EQ(times, (std::vector<std::uint32_t>{0, 1, 500, 1000}));
    // SMPTE 25 x 40: 1000 ticks per 500 ms
    const Reading smpte = ReadAll(
        Cat({Head("00 00 00 06 00 00 00 01 E7 28"), testfiles::TrackChunk(On(0, 60, 64, 1000))}));
    ASSERT_EQ(smpte.Channel().size(), 1u);
    EXPECT_EQ(smpte.Channel()[0].time, 500u);
}

TEST(TimeConversion, TimesBeyond32BitsSaturateInOrder) {
    // division 1: 500 ms per tick; FF FF FF 7E reads as 0xFFFFFFFE ticks
    const Reading r = ReadAll(Song(0, 1,
                                   {Cat({kNote,                    // 0 ms
                                         Hex("80 80 80 01 3D 40"), // +1 tick: 500 ms
                                         Hex("FF FF FF 7E 3E 40"), // beyond 32 bits
                                         Hex("FF FF FF 7E 3F 40"), // further still
                                         Hex("01 40 40")})}));     // one tick more
    std::vector<std::uint32_t> times;
    for (const Delivered& d : r.Channel())
        times.push_back(d.time);
    EXPECT_EQ(times, (std::vector<std::uint32_t>{0, 500, 0xFFFFFFFE, 0xFFFFFFFE, 0xFFFFFFFE}))
        << "saturated below the writer's end marker";
}

// ---------------------------------------------------------------- running status

TEST(RunningStatus, ResolvesDataBytesAgainstLastStatus) {
    const Reading r = ReadAll(Song(1, 96,
                                   {Hex("00 3C "          // data byte before any status: skipped
                                        "00 90 3C 40 "    // Note On
                                        "00 3E 40 "       // running status
                                        "00 FF 01 01 61 " // a text event does not clear it
                                        "00 40 40 "       //
                                        "00 F0 01 F7 "    // neither does a SysEx
                                        "00 41 40 "       //
                                        "00 C1 05 "       // Program Change: 2 bytes
                                        "00 06 "          // running status C1
                                        "00 F3 01 "       // Song Select: 2 bytes
                                        "00 F6 "          // Tune Request: 1 byte
                                        "00 E0 00 40"),   // Pitch Bend: 3 bytes
                                    Hex("00 20 10")}));   // the next track keeps E0
    std::vector<Bytes> got;
    for (const Delivered& d : r.events)
        if (!d.meta)
            got.push_back(d.bytes);
    const std::vector<Bytes> expected = {Hex("90 3C 40"), Hex("90 3E 40"), Hex("90 40 40"),
                                         Hex("F0 F7"),    Hex("90 41 40"), Hex("C1 05"),
                                         Hex("C1 06"),    Hex("F3 01"),    Hex("F6"),
                                         Hex("E0 00 40"), Hex("E0 20 10")};
    EXPECT_EQ(got, expected);
}

// ---------------------------------------------------------------- meta events

struct MetaCase {
    const char* name;
    const char* event;  // delta and meta event
    const char* stored; // the stored event, empty when nothing is stored
    std::uint8_t type;  // the type the stored event keeps
};

class MetaTest : public CoreTest, public testing::WithParamInterface<MetaCase> {};

TEST_P(MetaTest, StoresWhatItShouldAndReadsOn) {
    const MetaCase& c = GetParam();
    SongFile song;
    ASSERT_EQ(Load(song, Song(1, 96, {Cat({Hex(c.event), kNote})})), 1);
    std::vector<Bytes> expected;
    if (*c.stored)
        expected.push_back(Hex(c.stored));
    expected.push_back(Hex("90 3C 40"));
    EXPECT_EQ(TrackBytes(song.GetTrack(0)), expected) << "the event after it is read correctly";
    if (*c.stored) {
        EXPECT_TRUE(song.GetTrack(0).GetEvent(0).IsMeta());
        EXPECT_EQ(song.GetTrack(0).GetEvent(0).GetMetaType(), c.type);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Meta, MetaTest,
    testing::Values(MetaCase{"trackName", "00 FF 03 03 61 62 63", "03 61 62 63", 0x03},
                    MetaCase{"emptyText", "00 FF 01 00", "01", 0x01},
                    MetaCase{"tempo", "00 FF 51 03 07 A1 20", "60 07 A1 20", 0x51},
                    MetaCase{"tempoLong", "00 FF 51 04 07 A1 20 99", "60 07 A1 20", 0x51},
                    MetaCase{"tempoShort", "00 FF 51 02 07 A1", "", 0},
                    MetaCase{"tempoEmpty", "00 FF 51 00", "", 0},
                    MetaCase{"sequenceNumberShort", "00 FF 00 00", "", 0},
                    MetaCase{"sequenceNumber", "00 FF 00 02 00 07", "", 0},
                    MetaCase{"timeSignatureShort", "00 FF 58 02 04 02", "", 0},
                    MetaCase{"timeSignature", "00 FF 58 04 04 02 18 08", "", 0},
                    MetaCase{"keySignature", "00 FF 59 02 00 00", "", 0},
                    MetaCase{"smpteOffset", "00 FF 54 05 01 02 03 04 05", "", 0},
                    MetaCase{"port", "00 FF 21 01 00", "", 0},
                    MetaCase{"unknown", "00 FF 4B 02 90 3C", "", 0},
                    // the shared codes keep their own types
                    MetaCase{"channelPrefix", "00 FF 20 01 05", "08 05", 0x20},
                    MetaCase{"programName", "00 FF 08 01 50", "08 50", 0x08},
                    MetaCase{"sequencerSpecific", "00 FF 7F 02 41 42", "0E 41 42", 0x7F},
                    MetaCase{"text0E", "00 FF 0E 01 78", "0E 78", 0x0E},
                    // Device Name shares End of Track's code and ends nothing
                    MetaCase{"deviceName", "00 FF 09 02 44 31", "09 44 31", 0x09}),
    Name<MetaCase>);

TEST(MetaEvents, TextIsFollowedByZeroAndEndOfTrackNumbersTheTrack) {
    const Reading r = ReadAll(Song(1, 96, {{}, {}, Meta(0x03, "abc")}));
    ASSERT_EQ(r.events.size(), 4u);
    EXPECT_EQ(r.events[2].bytes, Hex("03 61 62 63"));
    EXPECT_TRUE(r.events[2].zeroAfter);
    // FF 2F 00 at the end of the third track: code 09, then 00 03
    EXPECT_EQ(r.events[3].bytes, Hex("09 00 03"));
    EXPECT_EQ(r.events[3].track, 2);
}

// ---------------------------------------------------------------- SysEx and escapes

TEST_F(SysExPackets, AreJoinedAndEscapesKeptWhole) {
    const Bytes escape100(100, 0x11);
    const Reading r = ReadAll(Song(1, 96,
                                   {Cat({Hex("00 F0 05 7E 7F 09 01 F7"), // GM System On
                                         Hex("00 F0 02 43 12"),          // unfinished ...
                                         Hex("0A F0 03 00 01 F7"),       // ... continued by F0
                                         Hex("00 F0 02 43 13"),          // unfinished ...
                                         Hex("05 F7 02 02 F7"),          // ... continued by F7
                                         Hex("00 F7 03 90 3C 40"),       // escape: a note-on
                                         SysEx(0xF7, escape100)})}));    // beyond 63 bytes
    std::vector<Delivered> got;
    for (const Delivered& d : r.events)
        if (!d.meta)
            got.push_back(d);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0].bytes, Hex("F0 7E 7F 09 01 F7"));
    EXPECT_EQ(got[1].bytes, Hex("F0 43 12 00 01 F7"));
    EXPECT_EQ(got[2].bytes, Hex("F0 43 13 02 F7"));
    EXPECT_FALSE(got[2].escape);
    EXPECT_EQ(got[3].bytes, Hex("90 3C 40"));
    EXPECT_TRUE(got[3].escape);
    EXPECT_EQ(got[4].bytes, escape100);
    EXPECT_TRUE(got[4].escape);
}

TEST_F(SysExPackets, UnterminatedIsReportedAsLeftOut) {
    SongFile song;
    SongSwitches::SetSysexStripping(false);
    EXPECT_EQ(Load(song, Song(1, 96, {Cat({Hex("00 F0 02 43 12"), kNote})})), 1);
    EXPECT_EQ(TrackBytes(song.GetTrack(0)), std::vector<Bytes>{Hex("90 3C 40")});
    EXPECT_TRUE(song.lastLoad.LeftSomethingOut());
}

struct OversizeCase {
    const char* name;
    Bytes event;
    bool strip; // SysEx stripping
    int result;
};

class OversizeTest : public CoreTest, public testing::WithParamInterface<OversizeCase> {};

TEST_P(OversizeTest, ConsumedWholeAndCounted) {
    const OversizeCase& c = GetParam();
    SongSwitches::SetSysexStripping(c.strip);
    SongFile song;
    EXPECT_EQ(Load(song, Song(1, 96, {Cat({c.event, kNote}), kNote})), c.result);
    EXPECT_EQ(song.lastLoad.LeftSomethingOut(), c.result == 8);
    EXPECT_EQ(song.GetTrackCount(), 2u) << "loading goes on after it";
    EXPECT_EQ(song.noteCount[0], 2u);
}

Bytes Text(std::size_t n) {
    return Meta(0x01, std::string(n, 'x'));
}
Bytes Data(std::size_t n, std::uint8_t last) {
    Bytes b(n, 0x20);
    b.back() = last;
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, OversizeTest,
    testing::Values(
        // a text of 65533 bytes fits the buffer with its code and terminating zero
        OversizeCase{"textFits", Text(65533), true, 1},
        OversizeCase{"textTooLong", Text(65534), true, 8},
        OversizeCase{"textHuge", Text(70000), true, 8},
        OversizeCase{"sequencerHuge", Cat({Hex("00 FF 7F"), Vlq(70000), Bytes(70000, 1)}), true, 8},
        OversizeCase{"escapeHuge", SysEx(0xF7, Bytes(70000, 0x22)), true, 8},
        // F0 and 65534 bytes fill the buffer but cannot be stored
        OversizeCase{"sysexFull", SysEx(0xF0, Data(65534, 0xF7)), false, 8},
        OversizeCase{"sysexHuge", SysEx(0xF0, Data(70000, 0xF7)), false, 8},
        OversizeCase{"sysexJoinedHuge",
                     Cat({SysEx(0xF0, Data(40000, 0x20)), SysEx(0xF7, Data(40000, 0xF7))}), false,
                     8},
        // a SysEx that stripping drops anyway is not missed
        OversizeCase{"sysexHugeStripped", SysEx(0xF0, Data(70000, 0xF7)), true, 1}),
    Name<OversizeCase>);

// ---------------------------------------------------------------- truncation

TEST_F(Truncation, EveryCutKeepsTheEventsBeforeIt) {
    const Bytes file =
        Song(1, 96,
             {Cat({Meta(0x03, "T"), kNote, Ev(128, {0xFF, 0x51, 3, 7, 0xA1, 0x20}),
                   Off(0, 0x3C, 16), Hex("00 F0 05 7E 7F 09 01 F7"), Hex("10 3E 40")}),
              On(1, 0x3C)});
    auto stored = [](const Bytes& bytes) {
        SongFile song;
        Load(song, bytes);
        std::vector<Bytes> all;
        for (const Track& t : song.tracks)
            for (const Bytes& b : TrackBytes(t))
                all.push_back(b);
        return all;
    };
    const std::vector<Bytes> all = stored(file);
    ASSERT_EQ(all.size(), 6u);
    for (std::size_t cut = 0; cut < file.size(); ++cut) {
        const std::vector<Bytes> got = stored(Bytes(file.begin(), file.begin() + long(cut)));
        ASSERT_LE(got.size(), all.size()) << cut;
        EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin())) << "cut at " << cut;
    }
}

TEST_F(Truncation, SysExCutShortIsNotDelivered) {
    const Bytes file = Cat({testfiles::Header(0, 1, 96),
                            {'M', 'T', 'r', 'k', 0, 0, 0, 40},
                            kNote,
                            Hex("00 F0 10 43 12")}); // 16 bytes announced, 2 arrive
    const Reading r = ReadAll(file);
    ASSERT_EQ(r.events.size(), 1u);
    EXPECT_EQ(r.events[0].bytes, Hex("90 3C 40"));
}

} // namespace
