// The real General MIDI songs of the openttd-openmsx package, checked against midicsv's
// independent reading: reading, loading, and the round trip through the writer.
#include "tests/core/CoreSupport.h"

#include "song/ChannelCommands.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <tuple>

using namespace core;

namespace {

using RealSongs = CoreTest;

struct TickedEvent {
    std::uint64_t tick;
    Bytes bytes;
    bool operator==(const TickedEvent&) const = default;
};

struct CsvSong {
    bool ok = false;
    int format = -1, trackCount = -1, division = -1;
    std::vector<std::vector<TickedEvent>> tracks; // channel events of every track
};

Bytes NoteOffAsNoteOn(Bytes b) {
    if ((b[0] & 0xF0) == 0x80)
        b = {static_cast<std::uint8_t>(0x90 | (b[0] & 0x0F)), b[1], 0};
    return b;
}

// Reads a file with midicsv. Note Offs are taken as Note Ons with velocity 0, as the writer
// writes them.
CsvSong Midicsv(const std::filesystem::path& path) {
    CsvSong song;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(
        popen(("midicsv " + Quote(path.string()) + " 2>/dev/null").c_str(), "r"), pclose);
    static const std::map<std::string, std::uint8_t> kinds = {
        {"Note_off_c", 0x80},  {"Note_on_c", 0x90}, {"Poly_aftertouch_c", 0xA0},
        {"Control_c", 0xB0},   {"Program_c", 0xC0}, {"Channel_aftertouch_c", 0xD0},
        {"Pitch_bend_c", 0xE0}};
    char line[4096];
    while (pipe && std::fgets(line, sizeof line, pipe.get())) {
        std::vector<std::string> f; // track, tick, kind, values
        std::stringstream ss(line);
        for (std::string field; std::getline(ss, field, ',');)
            f.push_back(field.substr(field.find_first_not_of(' ')));
        const auto kind = kinds.find(f.at(2));
        if (f[2].rfind("Header", 0) == 0)
            song = {true, std::stoi(f[3]), std::stoi(f[4]), std::stoi(f[5]), {}};
        else if (f[2].rfind("Start_track", 0) == 0)
            song.tracks.resize(std::stoul(f[0]));
        if (kind == kinds.end())
            continue;
        std::vector<int> v;
        for (std::size_t i = 3; i < f.size(); ++i)
            v.push_back(std::stoi(f[i]));
        if (kind->second == 0xE0) // one value of 14 bits
            v = {v[0], v[1] & 0x7F, v[1] >> 7};
        Bytes bytes{static_cast<std::uint8_t>(kind->second | v[0])};
        for (std::size_t i = 1; i < v.size(); ++i)
            bytes.push_back(static_cast<std::uint8_t>(v[i]));
        song.tracks.at(std::stoul(f[0]) - 1)
            .push_back({std::stoull(f[1]), NoteOffAsNoteOn(std::move(bytes))});
    }
    return song;
}

class RealSongTest : public CoreTest, public testing::WithParamInterface<std::filesystem::path> {};

TEST_P(RealSongTest, ReadsAndLoadsLikeMidicsv) {
    const Bytes file = ReadFile(GetParam());
    const Reading r = ReadAll(file);
    ASSERT_EQ(r.header, 1);
    const CsvSong csv = Midicsv(GetParam());
    ASSERT_TRUE(csv.ok);
    EXPECT_EQ(r.format, csv.format);
    EXPECT_EQ(r.division, csv.division);

    EXPECT_EQ(std::count_if(r.events.begin(), r.events.end(),
                            [](const Delivered& d) { return d.meta && d.metaType == 0x2F; }),
              static_cast<long>(csv.tracks.size()))
        << "every track is read to its End of Track";

    // the channel events of every track at the times midicsv's ticks give
    const double msPerTick = 500000.0 / (1000.0 * r.division);
    std::vector<std::vector<TickedEvent>> mine(csv.tracks.size()), theirs = csv.tracks;
    for (const Delivered& d : r.Channel())
        mine.at(static_cast<std::size_t>(d.track)).push_back({d.time, NoteOffAsNoteOn(d.bytes)});
    for (auto& track : theirs)
        for (TickedEvent& e : track)
            e.tick = static_cast<std::uint64_t>(static_cast<double>(e.tick) * msPerTick + 0.5);
    EXPECT_TRUE(mine == theirs);

    SongFile song;
    ASSERT_TRUE(song.LoadFile(GetParam().string()));
    EXPECT_FALSE(song.lastLoad.LeftSomethingOut());
    EXPECT_GT(song.GetDuration(), 0u);
    // an independent count over midicsv's events, in file order, track after track: a
    // note-off ends every note of its key
    std::array<int, 16> sounding{}, most{};
    std::array<std::map<int, int>, 16> keys;
    std::array<std::uint64_t, 16> notes{}, velocities{};
    for (const auto& track : csv.tracks)
        for (const TickedEvent& e : track) {
            if ((e.bytes[0] & 0xF0) != 0x90)
                continue;
            const int ch = e.bytes[0] & 0x0F;
            if (e.bytes[2] > 0) {
                ++keys[ch][e.bytes[1]];
                most[ch] = std::max(most[ch], ++sounding[ch]);
                ++notes[ch];
                velocities[ch] += e.bytes[2];
            } else {
                sounding[ch] -= keys[ch][e.bytes[1]];
                keys[ch][e.bytes[1]] = 0;
            }
        }

    std::vector<int> priorities;
    int sum = 0, widest = 0;
    for (int ch = 0; ch < 16; ++ch) {
        EXPECT_EQ(song.maxPolyphony[ch], most[ch]) << "channel " << ch;
        EXPECT_EQ(song.noteCount[ch], notes[ch]) << "channel " << ch;
        EXPECT_EQ(song.velocitySum[ch], velocities[ch]) << "channel " << ch;
        if (!song.IsChannelUsed(ch))
            continue;
        priorities.push_back(song.GetPriority(ch));
        EXPECT_EQ(song.GetPolyphony(ch), song.maxPolyphony[ch]);
        sum += song.GetPolyphony(ch);
        widest = std::max(widest, song.maxPolyphony[ch]);
    }
    std::sort(priorities.begin(), priorities.end());
    for (std::size_t i = 0; i < priorities.size(); ++i)
        EXPECT_EQ(priorities[i], static_cast<int>(i + 1)) << "priorities 1..n";
    const auto order = ChannelCommands::ChannelsInPriorityOrder(song);
    ASSERT_FALSE(order.empty());
    EXPECT_EQ(song.mip[order.back()], sum) << "the last channel needs every voice";
    EXPECT_LE(song.sequencePolyphony, sum);
    EXPECT_GE(song.sequencePolyphony, widest > 0 ? 1 : 0);
}

TEST_P(RealSongTest, RoundTripKeepsChannelsAndEvents) {
    testfiles::TempDir dir;
    const auto written = dir / "written.mid";
    SongFile first;
    first.switches.instrumentMapIndex = 1; // programs written as they are
    ASSERT_TRUE(first.LoadFile(GetParam().string()));
    first.UpdateMipMessage();
    ASSERT_TRUE(first.SaveFile(written.string())) << first.lastError;
    const Bytes bytes = ReadFile(written);
    EXPECT_EQ(Write(first), bytes) << "writing again gives the same bytes";

    SongFile second;
    ASSERT_TRUE(second.LoadFile(written.string()));
    EXPECT_EQ(ChannelCommands::SourceMipText(second), "yes");
    auto stats = [](const SongFile& s) {
        return std::tuple(s.used, s.program, s.maxPolyphony, s.noteCount, s.velocitySum,
                          s.maxVolume, s.priority, s.polyphony, s.mip, s.channel11Percussion,
                          s.vibraChannel);
    };
    EXPECT_TRUE(stats(second) == stats(first)) << "the same per-channel statistics";

    // the same channel events at the same ticks, read by midicsv from both files
    const CsvSong before = Midicsv(GetParam());
    const CsvSong after = Midicsv(written);
    ASSERT_TRUE(after.ok);
    EXPECT_EQ(after.division, before.division);
    EXPECT_EQ(after.trackCount, static_cast<int>(after.tracks.size()));
    auto nonEmpty = [](const CsvSong& s) {
        std::vector<std::vector<TickedEvent>> out;
        for (const auto& t : s.tracks)
            if (!t.empty())
                out.push_back(t);
        return out;
    };
    const auto a = nonEmpty(before), b = nonEmpty(after);
    ASSERT_EQ(a.size(), b.size());
    const auto tolerance = static_cast<std::uint64_t>(std::ceil(before.division / 1000.0));
    for (std::size_t t = 0; t < a.size(); ++t) {
        ASSERT_EQ(a[t].size(), b[t].size()) << "track " << t;
        for (std::size_t i = 0; i < a[t].size(); ++i) {
            EXPECT_EQ(a[t][i].bytes, b[t][i].bytes) << "track " << t << " event " << i;
            ASSERT_LE(std::max(a[t][i].tick, b[t][i].tick) - std::min(a[t][i].tick, b[t][i].tick),
                      tolerance)
                << "track " << t << " event " << i;
        }
    }
}

TEST_F(RealSongs, AreInstalled) {
    EXPECT_GE(testfiles::RealSongs().size(), 20u);
}

INSTANTIATE_TEST_SUITE_P(OpenMsx, RealSongTest, testing::ValuesIn(testfiles::RealSongs()),
                         [](const auto& info) { return testfiles::TestName(info.param); });

} // namespace
