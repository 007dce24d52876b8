// Standard MIDI File reading: numbers, chunks, times, running status, meta events, SysEx,
// escapes, truncated and oversized data.
#include "tests/core/CoreSupport.h"

#include <algorithm>

using namespace core;

namespace {

const Bytes kNote = On(0, 0x3C);

std::vector<std::uint32_t> ChannelTimes(const Bytes& file) {
    std::vector<std::uint32_t> times;
    for (const Delivered& d : ReadAll(file).Channel())
        times.push_back(d.time);
    return times;
}

// The writer's encoding is checked wherever written bytes are compared.
TEST(VarLen, Reads) {
    const struct {
        const char* in;
        int count;
        std::uint32_t value;
    } cases[] = {{"F7 FF FF 7F", 4, 0x0EFFFFFF},
                 {"FF FF FF 7F", 4, 0xFFFFFFFF},
                 {"90 80 80 80 00", 5, 0}, // bits past 32 are lost
                 {"", 0, 0},
                 {"81 80", -1, 0}};
    for (const auto& c : cases) {
        const Bytes bytes = Hex(c.in);
        MemorySource in(bytes);
        std::uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(SongReader::ReadVarLen(in, value), c.count) << c.in;
        EXPECT_EQ(value, c.count > 0 ? c.value : 0xDEADBEEF) << "no value when the data ends";
    }
}

Bytes Head(const char* hex) {
    return Cat({{'M', 'T', 'h', 'd'}, Hex(hex)});
}

const Bytes kPadded = testfiles::TrackChunk(Cat({kNote, Hex("00 FF 2F 00 00 00")}), false);

TEST(ChunkHeaders, AcceptOrRefuse) {
    const Bytes track = testfiles::TrackChunk(kNote);
    const Bytes other = Cat({{'X', 'Y', 'Z', 'W'}, Hex("00 00 00 03 90 3C 40")}); // unknown
    const struct {
        Bytes file;
        int header, division; // ReadHeader's result, the stored division when accepted
        std::size_t notes;    // channel events read
    } cases[] = {
        // header length 8: the two bytes after the division are skipped
        {Cat({Head("00 00 00 08 00 00 00 01 00 60 AA BB"), track}), 1, 96, 1},
        {Cat({Head("00 00 00 06 00 02 00 01 00 60"), track}), 1, 96, 1},
        {Cat({Head("00 00 00 06 00 03 00 01 00 60"), track}), 0, 0, 0}, // format 3
        {Cat({Head("00 00 00 06 00 00 00 01 00 00"), track}), 0, 0, 0}, // division 0
        {Cat({Head("00 00 00 06 00 00 00 01 E7 00"), track}), 0, 0, 0}, // 0 ticks per frame
        {Cat({Hex("4D 54 68 78 00 00 00 06 00 00 00 01 00 60"), track}), 0, 0, 0},
        {Head("00 00 00 06 00 00 00 01 00 60"), 0, 0, 0}, // no track
        // chunks of unknown types are skipped by their length, also between tracks
        {Cat({Head("00 00 00 06 00 01 00 02 00 60"), track, other, track}), 1, 96, 2},
        // a track chunk padded after its End of Track: its length finds the next chunk
        {Cat({Head("00 00 00 06 00 01 00 02 00 60"), kPadded, track}), 1, 96, 2},
        // a track chunk that claims too much: the next "MTrk" right after End of Track wins
        {Cat({Head("00 00 00 06 00 01 00 02 00 60"), Hex("4D 54 72 6B 00 00 10 00"), kNote,
              Hex("00 FF 2F 00"), track}),
         1, 96, 2}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Reading r = ReadAll(cases[i].file);
        EXPECT_EQ(r.header, cases[i].header) << i;
        EXPECT_EQ(r.division, r.header == 1 ? cases[i].division : r.division) << i;
        EXPECT_EQ(r.Channel().size(), cases[i].notes) << i;
    }
}

TEST(ChunkHeaders, PaddedTrackReadFromAFile) {
    // The same from a file, whose reader holds only part of it at a time.
    testfiles::TempDir dir;
    WriteFile(dir / "padded.mid",
              Cat({Head("00 00 00 06 00 01 00 02 00 60"), kPadded, testfiles::TrackChunk(kNote)}));
    SongFile song;
    EXPECT_EQ(song.LoadSongFile((dir / "padded.mid").string()), LoadResult::Loaded);
    EXPECT_EQ(song.GetTrackCount(), 2u);
    EXPECT_EQ(song.noteCount[0], 2u);
}

TEST(ByteSources, PeekAcrossTheFileWindowKeepsThePosition) {
    testfiles::TempDir dir;
    Bytes bytes(20);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i);
    WriteFile(dir / "bytes", bytes);
    std::FILE* file = std::fopen((dir / "bytes").c_str(), "rb");
    ASSERT_TRUE(file);
    FileSource in(file, 8);
    std::uint8_t buf[20];
    ASSERT_EQ(in.Read(buf, 6), 6u);
    ASSERT_TRUE(in.Peek(buf, 4)); // bytes 6 to 9 lie across two windows
    EXPECT_EQ(Bytes(buf, buf + 4), Hex("06 07 08 09"));
    EXPECT_EQ(in.Position(), 6u);
    EXPECT_EQ(in.Read(buf, 20), 14u);
    EXPECT_EQ(buf[0], 6);
    EXPECT_EQ(in.Position(), 20u);
    EXPECT_FALSE(in.Peek(buf, 1));
    std::fclose(file);
}

TEST(ByteSources, SkipsFromAFileAsFromMemory) {
    // A source over part of a file skips what it does not read; it must end up where a
    // source over the same bytes in memory does, data ending first included.
    testfiles::TempDir dir;
    Bytes bytes(200000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    WriteFile(dir / "bytes", bytes);
    std::FILE* file = std::fopen((dir / "bytes").c_str(), "rb");
    ASSERT_TRUE(file);
    FileSource whole(file);
    const MemorySource memory(bytes);
    const struct {
        std::uint64_t from, first, second;
    } cases[] = {
        {10, 5, 100000},    // within the window, then far past it
        {10, 70000, 1},     // just past the window
        {0, 199999, 1},     // to the last byte, then to the end
        {0, 150000, 60000}, // past the end
        {3, 1, 400000},     // far past the end
    };
    for (const auto& c : cases) {
        const std::unique_ptr<ByteSource> fromFile = whole.OpenAt(c.from);
        const std::unique_ptr<ByteSource> fromMemory = memory.OpenAt(c.from);
        ASSERT_TRUE(fromFile && fromMemory);
        for (const std::uint64_t n : {c.first, c.second}) {
            EXPECT_EQ(fromFile->Skip(n), fromMemory->Skip(n)) << c.from << " + " << n;
            EXPECT_EQ(fromFile->Position(), fromMemory->Position()) << c.from << " + " << n;
            std::uint8_t a = 0, b = 0;
            EXPECT_EQ(fromFile->Peek(&a, 1), fromMemory->Peek(&b, 1));
            EXPECT_EQ(a, b);
        }
    }
    std::fclose(file);
}

TEST(TimeConversion, TempoRoundingSmpteAndSaturation) {
    // division 480: a tick is 500000 / 480000 ms
    EXPECT_EQ(ChannelTimes(Song(0, 480,
                                {Cat({kNote,                 // 0 ms
                                      Ev(1, {0x3E, 0x40}),   // +1 tick: 1.04 ms -> 1
                                      Ev(479, {0x40, 0x40}), // 480 ticks: 500 ms
                                      Ev(0, {0xFF, 0x51, 0x03, 0x03, 0x0D, 0x40}), // faster
                                      Ev(480, {0x41, 0x40})})})),                  // 1000 ms
              (std::vector<std::uint32_t>{0, 1, 500, 1000}));
    // SMPTE 25 x 40: 1000 ticks per 500 ms
    EXPECT_EQ(ChannelTimes(Cat({Head("00 00 00 06 00 00 00 01 E7 28"),
                                testfiles::TrackChunk(On(0, 60, 64, 1000))})),
              std::vector<std::uint32_t>{500});
    // division 1: 500 ms per tick; FF FF FF 7E reads as 0xFFFFFFFE ticks; times beyond 32 bits
    // saturate below the writer's end marker and stay in order
    EXPECT_EQ(ChannelTimes(Song(0, 1,
                                {Cat({kNote, Hex("80 80 80 01 3D 40"), Hex("FF FF FF 7E 3E 40"),
                                      Hex("FF FF FF 7E 3F 40"), Hex("01 40 40")})})),
              (std::vector<std::uint32_t>{0, 500, 0xFFFFFFFE, 0xFFFFFFFE, 0xFFFFFFFE}));
}

// Meta events read min(L, n) bytes and skip the rest; the shared codes and Device Name are
// covered where the writer writes their types back.
TEST(MetaEvents, StoreWhatTheyShouldAndReadOn) {
    const struct {
        const char *event, *stored; // the stored event, empty when nothing is stored
    } cases[] = {{"00 FF 51 03 07 A1 20", "60 07 A1 20"},
                 {"00 FF 51 04 07 A1 20 99", "60 07 A1 20"},
                 {"00 FF 51 02 07 A1", ""},
                 {"00 FF 4B 02 90 3C", ""}}; // unknown type
    for (const auto& c : cases) {
        SongFile song;
        ASSERT_EQ(Load(song, Song(1, 96, {Cat({Hex(c.event), kNote})})), 1) << c.event;
        std::vector<Bytes> expected{Hex("90 3C 40")};
        if (*c.stored)
            expected.insert(expected.begin(), Hex(c.stored));
        EXPECT_EQ(TrackBytes(song.GetTrack(0)), expected) << c.event;
    }
}

TEST_F(CoreTest, RunningStatusSurvivesMetaAndSysExAndIsNoneAtFirst) {
    SongFile song;
    ASSERT_EQ(Load(song, Song(1, 96,
                              {Hex("00 3C "       // a data byte before any status: skipped
                                   "00 90 3C 40 " // note on
                                   "00 3E 40 "    // running status
                                   "00 FF 01 01 41 00 40 40 "  // a text event, then running status
                                   "00 F0 01 F7 00 41 40")})), // a SysEx, then running status
              1);
    EXPECT_EQ(TrackBytes(song.GetTrack(0)),
              (std::vector<Bytes>{Hex("90 3C 40"), Hex("90 3E 40"), Hex("01 41"), Hex("90 40 40"),
                                  Hex("90 41 40")}));
}

TEST(SysExPackets, AreJoinedAndEscapesKeptWhole) {
    // GM System On; an F0 packet without F7 continued by F0, another continued by F7; an
    // escape holding a Note On; an escape beyond 63 bytes
    const Bytes escape100(100, 0x11);
    const Reading r = ReadAll(
        Song(1, 96,
             {Cat({Hex("00 F0 05 7E 7F 09 01 F7 00 F0 02 43 12 0A F0 03 00 01 F7 00 F0 02 43 13 "
                       "05 F7 02 02 F7 00 F7 03 90 3C 40"),
                   SysEx(0xF7, escape100)})}));
    std::vector<std::pair<Bytes, bool>> got;
    for (const Delivered& d : r.events)
        if (!d.meta)
            got.emplace_back(d.bytes, d.escape);
    const std::vector<std::pair<Bytes, bool>> expected = {{Hex("F0 7E 7F 09 01 F7"), false},
                                                          {Hex("F0 43 12 00 01 F7"), false},
                                                          {Hex("F0 43 13 02 F7"), false},
                                                          {Hex("90 3C 40"), true},
                                                          {escape100, true}};
    EXPECT_EQ(got, expected);
}

using Loading = CoreTest;

TEST_F(Loading, UnterminatedSysExIsLeftOutButMissedOnlyWhenSysExIsKept) {
    for (const bool strip : {false, true}) {
        SongFile song;
        song.switches.sysexStripping = strip;
        EXPECT_EQ(Load(song, Song(1, 96, {Cat({Hex("00 F0 02 43 12"), kNote})})), 1);
        EXPECT_EQ(TrackBytes(song.GetTrack(0)), std::vector<Bytes>{Hex("90 3C 40")});
        EXPECT_EQ(song.lastLoad.LeftSomethingOut(), !strip);
    }
}

// Delivers the bytes it holds, then fails as a broken disk would.
class FailingSource : public ByteSource {
public:
    explicit FailingSource(Bytes bytes) : bytes_(std::move(bytes)) {
        start_ = pos_ = bytes_.data();
        end_ = pos_ + bytes_.size();
    }

protected:
    bool Refill() override {
        error_ = true;
        return false;
    }

private:
    Bytes bytes_;
};

TEST_F(Loading, ReadErrorLeavesTheRestOut) {
    const Bytes file = Song(1, 96, {Cat({kNote, kNote})});
    const Bytes cut(file.begin(), file.end() - 8); // after the first note
    SongFile song;
    FailingSource failing(cut);
    song.LoadSong(failing, "");
    EXPECT_TRUE(song.lastLoad.LeftSomethingOut()) << "a read error is not the end of the song";
}

TEST_F(Loading, AFileCutInsideAnEventSaysSo) {
    const Bytes head = Cat({testfiles::Header(0, 1, 96), Hex("4D 54 72 6B 00 00 01 00"), kNote});
    const struct {
        const char* tail; // what follows one whole note before the file ends
        bool cut;
    } cases[] = {
        {"", false},                             // ends after a whole event, no End of Track
        {"00 FF 2F 00", false},                  // ends after its End of Track
        {"81", true},                            // inside a delta time
        {"00", true},                            // a delta time and no status
        {"00 90 3E", true},                      // note-on without its velocity
        {"00 3E", true},                         // running status without its velocity
        {"00 C0", true},                         // program change without its program
        {"00 FF", true},                         // meta event without its type
        {"00 FF 03", true},                      // ... without its length
        {"00 FF 03 05 41 42", true},             // ... inside its text
        {"00 FF 51 03 07", true},                // ... inside a tempo
        {"00 FF 7E 04 00", true},                // ... inside an unknown meta event
        {"00 F0 05 7E 7F", true},                // inside a SysEx body
        {"00 F7 03 90", true},                   // inside an escape
        {"00 F0 03 7E 7F 09 00 F7 02 01", true}, // inside a continuation packet
    };
    for (const auto& c : cases) {
        SongFile song;
        song.switches.sysexStripping = false;
        Load(song, Cat({head, Hex(c.tail)}));
        EXPECT_EQ(song.lastLoad.LeftSomethingOut(), c.cut) << c.tail;
        if (c.cut) {
            const LoadReport::LeftOut& cut = song.lastLoad.leftOut.back();
            EXPECT_EQ(cut.kind, LoadReport::LeftOut::Kind::CutInsideEvent) << c.tail;
            EXPECT_EQ(cut.position, head.size() + Hex(c.tail).size()) << "where the file ends";
            EXPECT_EQ(cut.track, 0);
        }
        EXPECT_EQ(song.noteCount[0], 1u) << "the whole note before the cut stays: " << c.tail;
    }
}

Bytes Data(std::size_t n, std::uint8_t last) {
    Bytes b(n, 0x20);
    b.back() = last;
    return b;
}

TEST_F(Loading, OversizedEventsAreConsumedWholeAndCounted) {
    const struct {
        Bytes event;
        bool strip; // SysEx stripping
        int result;
        bool leftOut;
    } cases[] = {
        // a text of 65533 bytes fits the buffer with its code and terminating zero
        {Meta(0x01, std::string(65533, 'x')), true, 1, false},
        {Meta(0x01, std::string(65534, 'x')), true, 8, true},
        {SysEx(0xF7, Bytes(70000, 0x22)), true, 8, true}, // escape
        {SysEx(0xF0, Data(65534, 0xF7)), false, 8, true}, // F0 and 65534 bytes fill the buffer
        {Cat({SysEx(0xF0, Data(40000, 0x20)), SysEx(0xF7, Data(40000, 0xF7))}), false, 8, true},
        // not stored, but stripping drops it anyway: not missed
        {SysEx(0xF0, Data(70000, 0xF7)), true, 8, false}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SongFile song;
        song.switches.sysexStripping = cases[i].strip;
        EXPECT_EQ(Load(song, Song(1, 96, {Cat({cases[i].event, kNote}), kNote})), cases[i].result)
            << i;
        EXPECT_EQ(song.lastLoad.LeftSomethingOut(), cases[i].leftOut) << i;
        EXPECT_EQ(song.noteCount[0], 2u) << i << ": loading goes on after it";
    }
}

TEST_F(Loading, EveryCutKeepsTheEventsBeforeIt) {
    // kept SysEx: a packet cut short by the end of the data must not be stored
    const Bytes file =
        Song(1, 96,
             {Cat({Meta(0x03, "T"), kNote, Ev(128, {0xFF, 0x51, 3, 7, 0xA1, 0x20}),
                   Off(0, 0x3C, 16), Hex("00 F0 05 7E 7F 09 01 F7"), Hex("10 3E 40")}),
              On(1, 0x3C)});
    auto stored = [](const Bytes& bytes) {
        SongFile song;
        song.switches.sysexStripping = false;
        Load(song, bytes);
        std::vector<Bytes> all;
        for (const Track& t : song.tracks)
            for (const Bytes& b : TrackBytes(t))
                all.push_back(b);
        return all;
    };
    const std::vector<Bytes> all = stored(file);
    ASSERT_EQ(all.size(), 7u);
    for (std::size_t cut = 0; cut < file.size(); ++cut) {
        const std::vector<Bytes> got = stored(Bytes(file.begin(), file.begin() + long(cut)));
        ASSERT_LE(got.size(), all.size()) << cut;
        EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin())) << "cut at " << cut;
    }
}

} // namespace
