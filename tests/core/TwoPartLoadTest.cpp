// A large song is read in two parts at once when its tracks allow it; joined or not, the
// song is the one a single reading gives, down to every analysis field and written byte.
#include "tests/core/CoreSupport.h"

#include <algorithm>
#include <sstream>

using namespace core;

namespace {

// The bytes with no size known beforehand: the reader cannot split them.
class UnsizedSource : public ByteSource {
public:
    explicit UnsizedSource(const Bytes& bytes) {
        start_ = pos_ = bytes.data();
        end_ = bytes.data() + bytes.size();
    }

protected:
    bool Refill() override { return false; }
};

// `count` notes on `ch`, one every 2 ticks, with running status.
Bytes Notes(int ch, int count, int firstKey = 40) {
    Bytes out;
    out.reserve(static_cast<std::size_t>(count) * 7 + 8);
    for (int i = 0; i < count; ++i) {
        const auto key = static_cast<std::uint8_t>(firstKey + i % 24);
        const Bytes on = i == 0 ? Bytes{0x00, static_cast<std::uint8_t>(0x90 | ch), key, 0x50}
                                : Bytes{0x01, key, 0x50};
        out.insert(out.end(), on.begin(), on.end());
        out.insert(out.end(), {0x01, key, 0x00});
    }
    return out;
}

// Everything a load leaves in the song that anything reads later.
std::string Describe(SongFile& song) {
    std::ostringstream out;
    const LoadReport& r = song.lastLoad;
    out << "result " << static_cast<int>(r.result) << " status " << static_cast<int>(r.status)
        << " vibraMode " << r.vibraMode.value_or(9) << " title " << song.title << " marker "
        << song.titleFromMarker << " last " << song.lastTime << " tracks " << song.tracks.size()
        << " current " << song.currentTrack << " vibra " << song.vibraChannel << " rhythm11 "
        << song.channel11Percussion << " mip " << song.hasMipMessage << " seq "
        << song.sequencePolyphony << " mode " << song.switches.vibraMode << "\n";
    for (const auto& l : r.leftOut)
        out << "left " << static_cast<int>(l.kind) << " " << l.count << " " << l.bytes << " "
            << l.position << " " << l.track << "\n";
    for (std::size_t ch = 0; ch < 16; ++ch) {
        std::uint64_t keys = 0;
        for (std::uint16_t k : song.soundingKeys[ch])
            keys = keys * 31 + k;
        std::uint64_t timeline = 0;
        for (const auto& e : song.timelines[ch].Entries())
            timeline = timeline * 1000003 + e.time * 131 + e.value;
        out << ch << ": " << song.used[ch] << " " << song.maxPolyphony[ch] << " "
            << song.sounding[ch] << " " << keys << " " << song.programSeen[ch] << " "
            << song.program[ch] << " " << song.noteCount[ch] << " " << song.velocitySum[ch] << " "
            << song.volume[ch] << " " << song.maxVolume[ch] << " " << song.priority[ch] << " "
            << song.polyphony[ch] << " " << song.mip[ch] << " " << timeline << "\n";
    }
    for (const Track& t : song.tracks)
        out << "track " << t.name << " " << t.endTime << " " << t.events.size() << "\n";
    return out.str();
}

struct Loaded {
    std::string state;
    Bytes written;
    bool twoParts = false;
};

Loaded LoadWith(ByteSource& in) {
    SongFile song;
    song.switches.sysexStripping = false;
    song.LoadSong(in, "file");
    Loaded l;
    l.twoParts = song.LoadedInTwoParts();
    l.state = Describe(song);
    l.written = Write(song);
    return l;
}

} // namespace

using TwoPartLoad = CoreTest;

TEST_F(TwoPartLoad, GivesTheSongOneReadingGives) {
    const int n = 60000; // notes per track: six tracks make about 2.2 MB
    const Bytes tempo = kTempo;
    const Bytes mip = SysEx(0xF0, Hex("7F 7F 0B 01 00 04 01 08 F7"));
    const Bytes marker = Meta(0x06, "Second Half");
    // Bank 121/6 and program 124 on channel index 5: the vibra setup.
    const Bytes vibra = Cat({Cc(5, 0, 121), Cc(5, 32, 6), Pc(5, 124)});
    const Bytes rhythm = Cat({Cc(10, 0, 120), Cc(10, 32, 0), Pc(10, 0)});
    const auto song = [&](std::vector<Bytes> tracks) { return Song(1, 96, tracks); };
    const auto plain = [&](int ch) { return Cat({Pc(ch, ch), Cc(ch, 7, 90 + ch), Notes(ch, n)}); };
    const struct {
        const char* what;
        Bytes file;
        bool joined;
    } cases[] = {
        {"a channel per track",
         song({Cat({tempo, mip}), plain(0), plain(1), plain(2), plain(3), plain(4), plain(5)}),
         true},
        {"a channel on both halves",
         song({tempo, plain(0), plain(1), plain(2), plain(3), plain(4), plain(0)}), false},
        {"a vibra setup, a rhythm bank and a marker in the second half",
         song({tempo, plain(0), plain(1), plain(2), Cat({marker, plain(3)}),
               Cat({rhythm, Notes(10, n)}), Cat({vibra, Notes(5, n)})}),
         true},
        {"a Bank Select LSB in the second half before any MSB there",
         song({Cat({Cc(0, 0, 121)}), plain(0), plain(1), plain(2), plain(3),
               Cat({Cc(5, 32, 6), Pc(5, 124), Notes(5, n)}), plain(4)}),
         false},
        {"a MIP message in the second half",
         song({tempo, plain(0), plain(1), plain(2), Cat({mip, plain(3)}), plain(4), plain(5)}),
         false},
        {"the running status carried into the second half",
         song({tempo, Cat({Pc(0, 1), Notes(0, 3 * n), Cc(0, 1, 1)}),
               Cat({Bytes{0x05, 0x01, 0x02}, Pc(1, 2), Notes(1, 3 * n)})}),
         false},
        {"a rhythm bank set up within the second half",
         song({Cc(0, 0, 121), Cat({Pc(0, 1), Notes(0, 3 * n)}),
               Cat({Cc(10, 0, 0), Cc(10, 0, 120), Cc(10, 32, 0), Pc(10, 0), Notes(10, 3 * n)})}),
         true},
        {"a vibra setup whose flag comes from the first half",
         song({Cat({Pc(0, 1), Notes(0, 3 * n), Cc(0, 0, 121)}),
               Cat({Cc(5, 32, 6), Pc(5, 124), Notes(5, 3 * n)})}),
         false},
    };
    for (const auto& c : cases) {
        ASSERT_GE(c.file.size(), SongReader::kTwoPartBytes) << c.what;
        UnsizedSource once(c.file);
        MemorySource sized(c.file);
        const Loaded single = LoadWith(once);
        const Loaded two = LoadWith(sized);
        EXPECT_FALSE(single.twoParts) << c.what;
        EXPECT_EQ(two.twoParts, c.joined) << c.what;
        EXPECT_EQ(two.state, single.state) << c.what;
        EXPECT_TRUE(two.written == single.written) << c.what;
    }
}

TEST_F(TwoPartLoad, DamagedSongsLoadAsOneReadingLoadsThem) {
    const int n = 90000;
    const Bytes whole = Song(1, 96, {kTempo, Notes(0, n), Notes(1, n), Notes(2, n), Notes(3, n)});
    // A first-half track without End of Track runs into the next chunk's bytes; a chunk
    // length claiming more than there is; the file cut inside the last track.
    Bytes noEnd = whole;
    const Bytes end = Hex("00 FF 2F 00");
    const auto firstEnd = std::search(noEnd.begin() + 30, noEnd.end(), end.begin(), end.end());
    ASSERT_NE(firstEnd, noEnd.end());
    std::fill(firstEnd, firstEnd + 4, std::uint8_t{0x01}); // data bytes instead
    Bytes cut(whole.begin(), whole.end() - 1000);
    const std::vector<std::pair<const char*, Bytes>> files = {
        {"a track without End of Track", noEnd}, {"the file cut short", cut}};
    for (const auto& [what, file] : files) {
        UnsizedSource once(file);
        MemorySource sized(file);
        const Loaded single = LoadWith(once);
        const Loaded two = LoadWith(sized);
        EXPECT_EQ(two.state, single.state) << what;
        EXPECT_TRUE(two.written == single.written) << what;
    }
    // More tracks than the reader takes: the limit is counted across the halves.
    std::vector<Bytes> many = {kTempo};
    for (int t = 0; t < 130; ++t)
        many.push_back(Notes(t % 16 == 9 ? 9 : 0, 3000));
    const Bytes limit = Song(1, 96, many);
    UnsizedSource once(limit);
    MemorySource sized(limit);
    EXPECT_EQ(LoadWith(sized).state, LoadWith(once).state);
}

TEST_F(TwoPartLoad, AFileIsReadInTwoPartsThroughItsDescriptor) {
    const int n = 60000;
    const Bytes file = Song(
        1, 96,
        {kTempo, Notes(0, n), Notes(1, n), Notes(2, n), Notes(3, n), Notes(4, n), Notes(5, n)});
    const testfiles::TempDir dir;
    WriteFile(dir / "two-parts.mid", file);
    SongFile song;
    ASSERT_TRUE(song.LoadFile((dir / "two-parts.mid").string()));
    EXPECT_TRUE(song.LoadedInTwoParts());
    UnsizedSource once(file);
    SongFile single;
    single.LoadSong(once, "");
    EXPECT_EQ(Describe(song), Describe(single));
}
