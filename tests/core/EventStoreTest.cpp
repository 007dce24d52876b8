// The compact event store of a track: records, long events in the arena, copies and edits.
#include "tests/core/CoreSupport.h"

#include "song/Track.h"

#include <cstdio>
#include <functional>

using namespace core;

namespace {

Bytes DataOf(const EventRef& e) {
    return Bytes(e.GetData(), e.GetData() + e.GetLength());
}

// A SysEx of `length` bytes, F0 ... F7, whose body counts up from `seed`.
Bytes LongSysEx(std::uint32_t length, int seed) {
    Bytes b(length, 0);
    b[0] = 0xF0;
    for (std::uint32_t i = 1; i + 1 < length; ++i)
        b[i] = static_cast<std::uint8_t>((seed + i) & 0x7F);
    b[length - 1] = 0xF7;
    return b;
}

TEST(EventStore, EventsOfEveryLengthAndKindReadBackAsStored) {
    Track track;
    const Bytes note = Hex("90 3C 40"), program = Hex("C1 05"), clock = Hex("F8");
    const Bytes tempo = Hex("60 07 A1 20"), name = Hex("03 41 42 43"), escape = Hex("F3 01");
    const Bytes big = LongSysEx(70000 - 5000, 3);
    ASSERT_TRUE(track.AddEvent(0, note.data(), 3, false));
    ASSERT_TRUE(track.AddEvent(0, program.data(), 2, false));
    ASSERT_TRUE(track.AddEvent(1, clock.data(), 1, false));
    ASSERT_TRUE(track.AddEvent(2, tempo.data(), 4, true, 0x51));
    ASSERT_TRUE(track.AddEvent(3, name.data(), 4, true, 0x03));
    ASSERT_TRUE(track.AddEvent(4, escape.data(), 2, SongEvent::Escape, 0));
    ASSERT_TRUE(track.AddEvent(5, big.data(), static_cast<std::uint32_t>(big.size()), false));
    ASSERT_TRUE(track.AddEvent(6, nullptr, 0, false));
    ASSERT_EQ(track.GetEventCount(), 8u);

    struct Expect {
        std::uint32_t time;
        Bytes data;
        bool meta, escape;
        int metaType;
        bool channel;
    };
    const Expect expect[] = {
        {0, note, false, false, 0, true},    {0, program, false, false, 0, true},
        {1, clock, false, false, 0, false},  {2, tempo, true, false, 0x51, false},
        {3, name, true, false, 0x03, false}, {4, escape, false, true, 0, false},
        {5, big, false, false, 0, false},    {6, {}, false, false, 0, false}};
    std::size_t i = 0;
    for (const EventRef e : track.events) {
        SCOPED_TRACE(i);
        const Expect& x = expect[i++];
        EXPECT_EQ(e.GetTime(), x.time);
        EXPECT_EQ(DataOf(e), x.data);
        EXPECT_EQ(e.IsMeta(), x.meta);
        EXPECT_EQ(e.IsEscape(), x.escape);
        EXPECT_EQ(e.GetMetaType(), x.metaType);
        EXPECT_EQ(e.IsChannelMessage(), x.channel);
        EXPECT_EQ(e.GetCode(), x.data.empty() ? 0 : x.data[0]);
    }
    EXPECT_EQ(i, 8u);
    // Bytes past a short event's end read as zeros, as they always did.
    EXPECT_EQ(track.GetEvent(1).GetData()[2], 0);
    EXPECT_EQ(track.GetEvent(5).GetData()[2], 0);
    EXPECT_THROW(track.GetEvent(8), std::invalid_argument);
}

TEST(EventStore, TheLengthLimitIs65534Bytes) {
    Track track;
    const Bytes most = LongSysEx(65534, 1), tooLong = LongSysEx(65535, 2);
    EXPECT_TRUE(track.AddEvent(0, most.data(), 65534, false));
    EXPECT_FALSE(track.AddEvent(0, tooLong.data(), 65535, false));
    ASSERT_EQ(track.GetEventCount(), 1u);
    EXPECT_EQ(DataOf(track.GetEvent(0)), most);
}

TEST(EventStore, EarlierEventsAreInsertedInTimeOrderAfterNoneOfTheirTime) {
    Track track;
    auto add = [&track](std::uint32_t time, int key, std::uint32_t length = 3) {
        Bytes b = length <= 3 ? Hex("90 00 40") : LongSysEx(length, key);
        b[1] = static_cast<std::uint8_t>(key);
        b.resize(length);
        return track.AddEvent(time, b.data(), length, false);
    };
    ASSERT_TRUE(add(10, 1));
    ASSERT_TRUE(add(20, 2));
    ASSERT_TRUE(add(20, 3));
    ASSERT_TRUE(add(30, 4, 40));
    ASSERT_TRUE(add(20, 5));     // before the first event at 20
    ASSERT_TRUE(add(15, 6, 12)); // a long one, before 20
    ASSERT_TRUE(add(0, 7));
    std::vector<std::pair<std::uint32_t, int>> seen;
    for (const EventRef e : track.events)
        seen.emplace_back(e.GetTime(), e.GetData()[1]);
    const std::vector<std::pair<std::uint32_t, int>> expected = {{0, 7},  {10, 1}, {15, 6}, {20, 5},
                                                                 {20, 2}, {20, 3}, {30, 4}};
    EXPECT_EQ(seen, expected);
    // Nothing at or after the time: nothing inserted.
    EXPECT_FALSE(
        track.InsertEventSorted(EventRef(31, Hex("90 01 02").data(), 3, EventRef::Plain, 0)));
    EXPECT_EQ(track.GetEventCount(), 7u);
}

TEST(EventStore, ACopyIsIndependentOfItsSource) {
    Track source;
    const Bytes note = Hex("90 3C 40"), long1 = LongSysEx(300, 5);
    source.name = "lead";
    source.AddEvent(0, note.data(), 3, false);
    source.AddEvent(1, long1.data(), 300, false);
    Track copy = source;
    copy.events.MutableData(0)[1] = 0x40;
    copy.events.MutableData(1)[1] = 0x00;
    const Bytes other = LongSysEx(500, 9);
    copy.AddEvent(2, other.data(), 500, false);
    EXPECT_EQ(DataOf(source.GetEvent(0)), note);
    EXPECT_EQ(DataOf(source.GetEvent(1)), long1);
    EXPECT_EQ(source.GetEventCount(), 2u);

    Track assigned;
    assigned = copy;
    copy.RemoveAllEvents();
    ASSERT_EQ(assigned.GetEventCount(), 3u);
    EXPECT_EQ(assigned.GetEvent(0).GetData()[1], 0x40);
    EXPECT_EQ(assigned.GetEvent(1).GetData()[1], 0x00);
    EXPECT_EQ(DataOf(assigned.GetEvent(2)), other);
    EXPECT_EQ(copy.GetEventCount(), 0u);
}

TEST(EventStore, RemovingAndCopyingWithinOneListKeepTheRest) {
    EventList list;
    for (int i = 0; i < 20; ++i) {
        const Bytes b = i % 3 == 0 ? LongSysEx(10 + i, i) : Hex("90 00 40");
        Bytes data = b;
        data[1] = static_cast<std::uint8_t>(i);
        list.PushBack(static_cast<std::uint32_t>(i), data.data(),
                      static_cast<std::uint32_t>(data.size()), EventRef::Plain, 0);
    }
    EXPECT_EQ(list.EraseIf([](const EventRef& e) { return e.GetData()[1] % 2 == 1; }), 10u);
    ASSERT_EQ(list.size(), 10u);
    // An event of the list copied into the same list, long ones from its own arena.
    for (std::size_t i = 0; i < 10; ++i)
        list.Insert(list.size(), list[i]);
    ASSERT_EQ(list.size(), 20u);
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(list[i].GetData()[1], 2 * i);
        EXPECT_EQ(DataOf(list[i + 10]), DataOf(list[i]));
    }
    EXPECT_TRUE(list.AnyLongEvent([](const EventRef& e) { return e.GetLength() == 10 + 6; }));
    EXPECT_FALSE(list.AnyLongEvent([](const EventRef& e) { return e.GetLength() == 3; }));
}

TEST_F(CoreTest, ALoadedSongOfLongEventsWritesBackTheSame) {
    // Long SysEx, texts and channel messages in two tracks survive a load and a save.
    const Bytes big = Cat({Hex("F0"), Vlq(3000), Bytes(2999, 0x11), Hex("F7")});
    const Bytes text = Cat({Hex("FF 01"), Vlq(200), Bytes(200, 'a')});
    const Bytes file =
        Song(1, 96,
             {Cat({Ev(0, {}), big, Ev(0, {}), text, On(0, 60), On(0, 60, 0, 10),
                   Ev(0, {0xFF, 0x2F, 0x00})}),
              Cat({Pc(1, 5), On(1, 62), Off(1, 62, 20), Ev(0, {0xFF, 0x2F, 0x00})})});
    SongFile song;
    song.switches.sysexStripping = false;
    MemorySource in(file);
    song.LoadSong(in, "t");
    ASSERT_EQ(song.GetTrackCount(), 2u);
    EXPECT_EQ(song.GetTrack(0).GetEvent(0).GetLength(), 3001u);
    EXPECT_EQ(song.GetTrack(0).GetEvent(1).GetLength(), 201u);
    SongFile copy;
    copy.switches.sysexStripping = false;
    song.SetKeepMeta(true);
    const Bytes written = Write(song);
    MemorySource again(written);
    copy.LoadSong(again, "t");
    ASSERT_EQ(copy.GetTrackCount(), 2u);
    for (std::size_t t = 0; t < 2; ++t) {
        ASSERT_EQ(copy.GetTrack(t).GetEventCount(), song.GetTrack(t).GetEventCount());
        for (std::size_t i = 0; i < song.GetTrack(t).GetEventCount(); ++i)
            EXPECT_EQ(DataOf(copy.GetTrack(t).GetEvent(i)), DataOf(song.GetTrack(t).GetEvent(i)));
    }
}

} // namespace

namespace {

// The bytes a FileSink with a buffer of `bufferSize` bytes leaves in a file for `write`.
Bytes ThroughFile(std::size_t bufferSize, const std::function<void(ByteSink&)>& write) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    FileSink sink(file, bufferSize);
    write(sink);
    sink.Flush();
    EXPECT_TRUE(sink.Ok());
    std::fseek(file, 0, SEEK_END);
    Bytes out(static_cast<std::size_t>(std::ftell(file)));
    std::rewind(file);
    EXPECT_EQ(std::fread(out.data(), 1, out.size(), file), out.size());
    std::fclose(file);
    return out;
}

TEST_F(CoreTest, TrackLengthsOfManyTracksAreFilledInWhateverTheBuffer) {
    // 100 tracks of different lengths; buffers smaller than a track make the writer's
    // seek back reach the file, larger ones fill the length in memory.
    std::vector<Bytes> tracks;
    for (int t = 0; t < 100; ++t) {
        Bytes events;
        for (int i = 0; i <= t % 17; ++i)
            events = Cat({events, On(t % 16, 40 + i, 0x40, 5), Off(t % 16, 40 + i, 7)});
        tracks.push_back(events);
    }
    SongFile song;
    ASSERT_EQ(Load(song, Song(1, 96, tracks)), 1);
    ASSERT_EQ(song.GetTrackCount(), 100u);
    const Bytes expected = Write(song);
    for (std::size_t size : {16u, 100u, 4096u, 1u << 20}) {
        SCOPED_TRACE(size);
        const Bytes written = ThroughFile(
            size, [&song](ByteSink& sink) { EXPECT_EQ(song.WriteSongChannel(sink, -1), 1); });
        EXPECT_EQ(written, expected);
    }
    // Each chunk's length leads to the next chunk.
    std::size_t pos = 14, chunks = 0;
    while (pos + 8 <= expected.size()) {
        ASSERT_EQ(Bytes(expected.begin() + long(pos), expected.begin() + long(pos) + 4),
                  Hex("4D 54 72 6B"));
        pos += 8 + (std::size_t{expected[pos + 4]} << 24 | std::size_t{expected[pos + 5]} << 16 |
                    std::size_t{expected[pos + 6]} << 8 | expected[pos + 7]);
        ++chunks;
    }
    EXPECT_EQ(pos, expected.size());
    EXPECT_EQ(chunks, 100u);
}

TEST(EventStore, AFileSinkWritesOverWhatASeekBackReaches) {
    auto write = [](ByteSink& sink) {
        const Bytes a(40, 0xAA), b = Hex("01 02 03");
        sink.Write(a.data(), a.size());
        sink.Seek(2);
        sink.Write(b.data(), b.size());
        sink.Seek(sink.GetPosition() + 30);
        sink.Write(b.data(), b.size());
        EXPECT_EQ(sink.GetPosition(), 38u);
        sink.Seek(40);
        sink.Write(b.data(), 1);
    };
    MemorySink memory;
    write(memory);
    for (std::size_t size : {16u, 64u})
        EXPECT_EQ(ThroughFile(size, write), memory.Bytes()) << size;
}

} // namespace
