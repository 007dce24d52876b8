// Loading and channel analysis, the priority proposal and instrument names.
#include "CoreSupport.h"

#include "ChannelCommands.h"
#include "InstrumentMap.h"

#include <set>

using namespace core;

namespace {

using NoteCounting = CoreTest;
using SysExStripping = CoreTest;
using Titles = CoreTest;
using LoadResults = CoreTest;
using WeightingSystem = CoreTest;
using InstrumentNames = CoreTest;

// `n` notes one after another on `ch`, each 10 ticks long.
Bytes Seq(int ch, int n, int velocity) {
    Bytes out;
    for (int i = 0; i < n; ++i)
        out = Cat({out, On(ch, 0x3C, velocity), Off(ch, 0x3C, 10)});
    return out;
}

// ---------------------------------------------------------------- note counting

TEST_F(NoteCounting, ChordIsCountedAtOnce) {
    SongFile song;
    ASSERT_EQ(Load(song, Song(0, 480,
                              {Hex("00 90 3C 40 "    // C
                                   "00 40 40 "       // E (running status)
                                   "00 43 41 "       // G
                                   "83 60 80 3C 40 " // 500 ms: released
                                   "00 40 40 "       //
                                   "00 43 40 "       //
                                   "00 43 40")})),   // one release too many: stays 0
              1);
    EXPECT_EQ(song.maxPolyphony[0], 3);
    EXPECT_EQ(song.timelines[0].Find(0), 3u);
    EXPECT_EQ(song.timelines[0].Find(500), 0u);
    EXPECT_EQ(song.noteCount[0], 3u);
    EXPECT_EQ(song.velocitySum[0], 0x40u + 0x40 + 0x41);
    EXPECT_EQ(song.lastTime, 500u);
}

TEST_F(NoteCounting, TrackAfterTrack) {
    const Bytes chord = Hex("00 90 3C 40 00 90 40 40 "     // two notes at 0 ms
                            "83 60 90 3C 00 00 90 40 00"); // released at 500 ms by velocity 0
    SongFile balanced;
    ASSERT_EQ(Load(balanced, Song(1, 480, {chord, chord})), 1);
    EXPECT_EQ(balanced.maxPolyphony[0], 2) << "not 4: the tracks are counted one after another";
    EXPECT_EQ(balanced.timelines[0].Find(0), 2u);
    EXPECT_EQ(balanced.timelines[0].Find(500), 0u);
    EXPECT_EQ(balanced.noteCount[0], 4u) << "velocity 0 adds nothing";
    EXPECT_EQ(balanced.velocitySum[0], 4u * 0x40);
    // a track that leaves a note sounding: the next track counts on top of it
    SongFile open;
    ASSERT_EQ(Load(open, Song(1, 480, {On(0, 0x30), chord})), 1);
    EXPECT_EQ(open.maxPolyphony[0], 3);
    EXPECT_EQ(open.timelines[0].Find(0), 3u) << "the later entry at the same time wins";
    EXPECT_EQ(open.timelines[0].Find(500), 1u);
}

// ---------------------------------------------------------------- MIP messages

struct MipCase {
    const char* name;
    Bytes messages;               // SysEx events in front of the notes
    std::array<int, 3> priority;  // channels 0, 9, 5
    std::array<int, 3> polyphony; // channels 0, 9, 5
    const char* source;
};

class MipLoadTest : public CoreTest, public testing::WithParamInterface<MipCase> {};

TEST_P(MipLoadTest, TrustsOnlySoundMessages) {
    const MipCase& c = GetParam();
    SongSwitches::SetPrioOblix(false);
    SongFile song;
    // counted: channel 0 plays 2 notes at once, channel 9 one, channel 5 three
    const Bytes notes =
        Cat({On(0, 60), On(0, 62), On(9, 36), On(5, 60), On(5, 62), On(5, 64), Off(0, 60, 96)});
    ASSERT_EQ(Load(song, Song(0, 96, {Cat({c.messages, notes})})), 1);
    std::array<int, 3> priority{}, polyphony{};
    for (int i = 0; i < 3; ++i) {
        priority[i] = song.priority[std::array{0, 9, 5}[i]];
        polyphony[i] = song.polyphony[std::array{0, 9, 5}[i]];
    }
    EXPECT_EQ(priority, c.priority);
    EXPECT_EQ(polyphony, c.polyphony);
    EXPECT_EQ(ChannelCommands::SourceMipText(song), c.source);
    std::size_t sysex = 0;
    for (const SongEvent& e : song.GetTrack(0).events)
        sysex += e.GetCode() == 0xF0 || e.IsEscape() ? 1 : 0;
    EXPECT_EQ(sysex, 1u) << "one message kept";
}

const Bytes kMip = Hex("00 F0 09 7F 7F 0B 01 00 04 09 06 F7");

INSTANTIATE_TEST_SUITE_P(
    Messages, MipLoadTest,
    testing::Values(
        // channel 5 is not listed: no priority, its counted polyphony
        MipCase{"sound", kMip, {1, 2, 0}, {4, 2, 3}, "yes"},
        MipCase{"secondDropped",
                Cat({kMip, Hex("00 F0 07 7F 7F 0B 01 05 01 F7")}),
                {1, 2, 0},
                {4, 2, 3},
                "yes"},
        MipCase{
            "deviceId10", Hex("00 F0 09 7F 10 0B 01 00 04 09 06 F7"), {1, 2, 0}, {4, 2, 3}, "yes"},
        MipCase{"value127", Hex("00 F0 07 7F 7F 0B 01 00 7F F7"), {1, 0, 0}, {127, 1, 3}, "yes"},
        // a falling value: counted polyphony and the proposal (by channel here)
        MipCase{"falling",
                Hex("00 F0 09 7F 7F 0B 01 00 06 09 04 F7"),
                {1, 3, 2},
                {2, 1, 3},
                "DEFECTIVE!"},
        MipCase{"channel16", Hex("00 F0 07 7F 7F 0B 01 10 04 F7"), {1, 3, 2}, {2, 1, 3}, "yes"},
        // an escape packet is never a MIP message
        MipCase{
            "escape", Hex("00 F7 0A F0 7F 7F 0B 01 00 04 09 06 F7"), {1, 3, 2}, {2, 1, 3}, "no"}),
    Name<MipCase>);

// ---------------------------------------------------------------- SysEx stripping

TEST_F(SysExStripping, Rules) {
    struct {
        const char* message; // SysEx event
        bool strip, kept;
    } cases[] = {
        {"00 F0 05 7E 7F 09 01 F7", true, false},       // GM System On
        {"00 F0 05 7E 7F 09 01 F7", false, true},       //
        {"00 F0 07 7F 7F 04 01 00 7F F7", true, false}, // Universal Real Time, 8 bytes
        {"00 F0 07 7F 7F 04 01 00 7F F7", false, false},
        {"00 F0 05 7F 7F 04 01 F7", false, true},      // Universal Real Time, 6 bytes
        {"00 F0 05 7F 7F 04 01 F7", true, false},      //
        {"00 F0 07 7F 7F 0B 01 00 01 F7", true, true}, // MIP message
    };
    for (const auto& c : cases) {
        SongSwitches::SetSysexStripping(c.strip);
        SongFile song;
        ASSERT_EQ(Load(song, Song(0, 96, {Cat({Hex(c.message), On(0, 60)})})), 1);
        EXPECT_EQ(song.GetTrack(0).GetEventCount(), c.kept ? 2u : 1u) << c.message << c.strip;
    }
}

// ---------------------------------------------------------------- vibra and percussion banks

struct BankCase {
    const char* name;
    Bytes events;
    unsigned modeBefore;
    int vibra;
    unsigned modeAfter;
    bool channel11Percussion;
};

class BankTest : public CoreTest, public testing::WithParamInterface<BankCase> {};

TEST_P(BankTest, RecognisesTheSequences) {
    const BankCase& c = GetParam();
    SongSwitches::SetVibraMode(c.modeBefore);
    SongFile song;
    ASSERT_EQ(Load(song, Song(0, 96, {Cat({c.events, On(0, 60)})})), 1);
    EXPECT_EQ(song.vibraChannel, c.vibra);
    EXPECT_EQ(SongSwitches::GetVibraMode(), c.modeAfter);
    EXPECT_EQ(song.channel11Percussion, c.channel11Percussion);
}

// Bank Select MSB and LSB.
Bytes Msb(int ch, int v) {
    return Cc(ch, 0, v);
}
Bytes Lsb(int ch, int v) {
    return Cc(ch, 32, v);
}
const Bytes kVibraBank = Cat({Msb(3, 121), Lsb(3, 6)});

INSTANTIATE_TEST_SUITE_P(
    Sequences, BankTest,
    testing::Values(
        BankCase{"vibra124", Cat({kVibraBank, Pc(3, 124)}), 0, 3, 1, false},
        BankCase{"vibra125", Cat({kVibraBank, Pc(3, 125)}), 1, 3, 0, false},
        BankCase{"programAlone", Pc(3, 124), 0, -1, 0, false},
        // the bank select flags belong to the song, not to a channel
        BankCase{"msbOnOtherChannel", Cat({Msb(2, 121), Lsb(3, 6), Pc(3, 124)}), 0, 3, 1, false},
        // MSB 120 sets its own flag and leaves 121's
        BankCase{"msb121Then120", Cat({Msb(3, 121), Msb(3, 120), Lsb(3, 6), Pc(3, 124)}), 0, 3, 1,
                 false},
        BankCase{"otherMsbClears", Cat({Msb(3, 121), Msb(3, 5), Lsb(3, 6), Pc(3, 124)}), 0, -1, 0,
                 false},
        BankCase{"otherLsbResets", Cat({kVibraBank, Lsb(3, 1), Pc(3, 124)}), 0, -1, 0, false},
        BankCase{"otherProgramResets", Cat({kVibraBank, Pc(3, 5), Pc(3, 124)}), 0, -1, 0, false},
        BankCase{"rhythmBank", Cat({Msb(10, 120), Lsb(10, 0)}), 0, -1, 0, true},
        BankCase{"melodicBankAgain", Cat({Msb(10, 120), Lsb(10, 0), Msb(10, 121), Lsb(10, 0)}), 0,
                 -1, 0, false},
        BankCase{"rhythmBankOnFive", Cat({Msb(4, 120), Lsb(4, 0)}), 0, -1, 0, false},
        BankCase{"msb121Then120On11", Cat({Msb(10, 121), Msb(10, 120), Lsb(10, 0)}), 0, -1, 0,
                 true},
        BankCase{"msb120Then121On11", Cat({Msb(10, 120), Msb(10, 121), Lsb(10, 0)}), 0, -1, 0,
                 true},
        BankCase{"flagsClearedByLsb", Cat({Msb(10, 120), Lsb(10, 1), Lsb(10, 0)}), 0, -1, 0,
                 false}),
    Name<BankCase>);

// ---------------------------------------------------------------- titles

TEST_F(Titles, FromNamesMarkersAndFileTitle) {
    struct {
        int format;
        Bytes events;
        const char *fileTitle, *title, *trackName;
    } cases[] = {
        {0, Meta(0x03, "Song"), "", "Song", ""},
        {0, Meta(0x03, "Song"), "file", "file", "Song"},
        {1, Meta(0x03, "Song"), "", "", "Song"},
        {1, Cat({Meta(0x06, "M1"), Meta(0x06, "M2")}), "file", "M1", ""}, // the first Marker
        {0, Cat({Meta(0x03, "Song"), Meta(0x06, "M")}), "", "M", ""},
    };
    for (const auto& c : cases) {
        SongFile song;
        Load(song, Song(c.format, 96, {Cat({c.events, On(0, 60)})}), c.fileTitle);
        EXPECT_EQ(song.GetTitle(), c.title);
        EXPECT_EQ(song.GetTrack(0).name, c.trackName);
    }
    // LoadSongFile gives no file title: a format 0 song's track name names it
    testfiles::TempDir dir;
    WriteFile(dir / "named.mid", Song(0, 96, {Cat({Meta(0x03, "Inside"), On(0, 60)})}));
    SongFile song;
    EXPECT_TRUE(song.LoadFile((dir / "named.mid").string()));
    EXPECT_EQ(song.GetTitle(), "Inside");
}

// ---------------------------------------------------------------- results and the track limit

TEST_F(LoadResults, TrackLimit) {
    for (const int tracks : {119, 120, 121}) {
        SongFile song;
        const int result =
            Load(song, Song(1, 96, std::vector<Bytes>(std::size_t(tracks), On(0, 60))));
        EXPECT_EQ(result, tracks < 120 ? 1 : 7) << tracks;
        EXPECT_EQ(song.GetTrackCount(), std::size_t(std::min(tracks, 120)));
        EXPECT_EQ(song.lastLoad.LeftSomethingOut(), tracks > 120) << tracks;
        EXPECT_EQ(song.noteCount[0], std::uint32_t(std::min(tracks, 120)));
    }
}

TEST_F(LoadResults, NoChannelDataIsNotNotAMidiFile) {
    SongFile tempoOnly;
    EXPECT_EQ(Load(tempoOnly, Song(0, 96, {kTempo})), 7);
    EXPECT_EQ(tempoOnly.lastLoad.status, LoadReport::Status::Loaded);
    EXPECT_EQ(tempoOnly.GetTrack(0).GetEventCount(), 1u);

    SongFile refused;
    EXPECT_EQ(Load(refused, Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0}), 7);
    EXPECT_EQ(refused.lastLoad.status, LoadReport::Status::NotSmf);
    EXPECT_EQ(refused.GetTrackCount(), 1u);
    EXPECT_EQ(refused.GetTrack(0).GetEventCount(), 0u);
    EXPECT_EQ(refused.CountUsedChannels(), 0);

    testfiles::TempDir dir;
    SongFile missing;
    EXPECT_FALSE(missing.LoadFile((dir / "missing.mid").string()));
    EXPECT_EQ(missing.lastLoad.status, LoadReport::Status::CannotOpen);
    EXPECT_NE(missing.lastLoad.error.find("No such file"), std::string::npos);
    SongFile folder;
    EXPECT_FALSE(folder.LoadFile(dir.Path().string()));
    EXPECT_EQ(folder.lastLoad.status, LoadReport::Status::CannotOpen);
}

// ---------------------------------------------------------------- priority proposal

struct ProposalCase {
    const char* name;
    bool oblix;
    Bytes events;
    std::vector<int> channels;
    std::vector<int> priorities;
};

class ProposalTest : public CoreTest, public testing::WithParamInterface<ProposalCase> {};

TEST_P(ProposalTest, Ranks) {
    const ProposalCase& c = GetParam();
    SongSwitches::SetPrioOblix(c.oblix);
    SongFile song;
    Load(song, Song(0, 96, {c.events}));
    std::vector<int> got;
    for (int ch : c.channels)
        got.push_back(song.priority[ch]);
    EXPECT_EQ(got, c.priorities);
}

// Bank 120 on channel index 10: it plays percussion.
const Bytes kRhythm11 = Cat({Msb(10, 120), Lsb(10, 0)});

INSTANTIATE_TEST_SUITE_P(
    Proposals, ProposalTest,
    testing::Values(
        ProposalCase{"byChannel",
                     false,
                     Cat({Seq(2, 1, 64), Seq(9, 1, 64), Seq(5, 1, 64)}),
                     {2, 5, 9},
                     {1, 2, 3}},
        // piano (base 5) against strings (base 1), equal statistics
        ProposalCase{"pianoOverStrings",
                     true,
                     Cat({Pc(1, 48), Pc(0, 0), Seq(1, 4, 80), Seq(0, 4, 80)}),
                     {0, 1},
                     {1, 2}},
        // the percussion channel comes right after the best one
        ProposalCase{"percussionSecond",
                     true,
                     Cat({Pc(0, 48), Pc(1, 0), Seq(0, 4, 80), Seq(1, 4, 80), Seq(9, 4, 80)}),
                     {1, 9, 0},
                     {1, 2, 3}},
        ProposalCase{"percussionAlone", true, Seq(9, 3, 80), {9}, {0}},
        ProposalCase{
            "equalScoresByChannel", true, Cat({Seq(3, 2, 80), Seq(1, 2, 80)}), {1, 3}, {1, 2}},
        // channel 11 as percussion has no instrument base
        ProposalCase{"channel11Percussion",
                     true,
                     Cat({kRhythm11, Pc(0, 48), Pc(10, 48), Seq(0, 4, 80), Seq(10, 4, 80)}),
                     {0, 10},
                     {1, 2}},
        // channel 11 as percussion scoring far above 50 is still ranked
        ProposalCase{"channel11Clamped",
                     true,
                     Cat({kRhythm11, Seq(0, 1, 10), Seq(10, 20, 127), Seq(9, 1, 10)}),
                     {10, 9, 0},
                     {1, 2, 3}},
        // a program of 128 or more (a data byte with its top bit set) weighs 0
        ProposalCase{"programOutOfRange",
                     true,
                     Cat({Hex("00 C0 85"), Pc(1, 24), Seq(0, 2, 80), Seq(1, 2, 80)}),
                     {1, 0},
                     {1, 2}}),
    Name<ProposalCase>);

TEST_F(WeightingSystem, LoudnessTermHasNoOverflow) {
    SongFile song;
    for (int ch : {0, 1}) {
        song.used[ch] = true;
        song.maxPolyphony[ch] = 1;
    }
    // strings scoring 1 + 4 + 8 + 4 against a piano scoring 5 + 0 + 4 + 4; velocitySum x 32
    // of the strings is beyond 32 bits
    song.program[0] = 48;
    song.noteCount[0] = 2000000;
    song.velocitySum[0] = 254000000;
    song.noteCount[1] = 3;
    song.velocitySum[1] = 3 * 64;
    song.ProposePriorities();
    EXPECT_EQ(song.priority[0], 1);
    EXPECT_EQ(song.priority[1], 2);
}

// ---------------------------------------------------------------- instrument names

TEST_F(InstrumentNames, UnderBothMaps) {
    struct {
        std::uint32_t program;
        int channel;
        bool channel11Percussion;
        std::uint32_t map;
        const char* name;
    } cases[] = {
        {40, 9, false, 0, "Percussive"},
        {40, 9, false, 1, "Percussive"},
        {0, 10, true, 1, "Percussive"},
        {0, 10, false, 1, "Acoustic Grand"},
        {1, 0, false, 0, "Acoustic Grand"},
        {1, 0, false, 1, "Bright Acoustic"},
        {79, 0, false, 0, "Electric Bass(finger)"},
        {46, 0, false, 1, "Orchestral Strings"},
        {46, 0, false, 0, "Glockenspiel"},
        {128, 0, false, 0, "Unknown"},
        {255, 3, false, 1, "Unknown"},
        {21, 0, false, 1, "Accoridan"},
        {23, 0, false, 1, "Tango Accordian"},
        {77, 0, false, 1, "Skakuhachi"},
        {24, 0, false, 1, "Acoustic Guitar(nylon)"},
        {87, 0, false, 1, "Lead 8 (bass+lead)"},
        {90, 0, false, 0, "FX 4 (atmosphere)"},
        {127, 15, false, 0, "Gunshot"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetInstrumentName(c.program, c.channel, c.channel11Percussion, c.map), c.name)
            << c.program << " on " << c.channel << " map " << c.map;
    for (std::uint32_t p = 119; p < 128; ++p)
        EXPECT_EQ(GetInstrumentName(p, 0, false, 0), GetInstrumentName(p, 0, false, 1));
}

TEST_F(InstrumentNames, ReducedMapFoldsEveryProgram) {
    // (first, last, target) read off the reduced map; 119-127 stay as they are
    const int ranges[][3] = {
        {0, 8, 0},       {9, 10, 9},      {11, 11, 11},    {12, 13, 12},    {14, 14, 9},
        {15, 15, 11},    {16, 23, 16},    {24, 31, 27},    {32, 39, 33},    {40, 43, 40},
        {44, 44, 48},    {45, 45, 12},    {46, 46, 9},     {47, 47, 114},   {48, 48, 48},
        {49, 51, 49},    {52, 54, 89},    {55, 55, 114},   {56, 63, 56},    {64, 71, 66},
        {72, 73, 73},    {74, 74, 78},    {75, 77, 73},    {78, 78, 78},    {79, 79, 33},
        {80, 87, 81},    {88, 89, 89},    {90, 90, 99},    {91, 97, 89},    {98, 98, 9},
        {99, 100, 99},   {101, 102, 89},  {103, 103, 99},  {104, 107, 27},  {108, 108, 12},
        {109, 109, 16},  {110, 110, 40},  {111, 111, 66},  {112, 112, 114}, {113, 113, 115},
        {114, 114, 114}, {115, 115, 115}, {116, 118, 117}, {119, 127, -1}};
    std::set<std::uint32_t> image;
    int next = 0;
    for (const auto& r : ranges) {
        ASSERT_EQ(r[0], next);
        for (int p = r[0]; p <= r[1]; ++p) {
            const std::uint32_t target = r[2] < 0 ? std::uint32_t(p) : std::uint32_t(r[2]);
            EXPECT_EQ(MapInstrument(std::uint32_t(p), 0), target) << p;
            EXPECT_EQ(MapInstrument(std::uint32_t(p), 1), std::uint32_t(p)) << p;
            image.insert(target);
        }
        next = r[1] + 1;
    }
    EXPECT_EQ(image.size(), 29u);
    for (std::uint32_t p : image)
        EXPECT_EQ(MapInstrument(p, 0), p) << "the image maps to itself";
}

TEST_F(InstrumentNames, FollowTheSongAndTheMap) {
    SongFile song;
    Load(song,
         Song(0, 96, {Cat({kRhythm11, Pc(10, 40), Pc(0, 1), Seq(0, 1, 64), Seq(10, 1, 64)})}));
    EXPECT_EQ(ChannelCommands::InstrumentText(song, 10), "Percussive");
    EXPECT_EQ(ChannelCommands::InstrumentText(song, 0), "Acoustic Grand");
    SongSwitches::SetInstrumentMapIndex(1);
    EXPECT_EQ(ChannelCommands::InstrumentText(song, 0), "Bright Acoustic");
    song.vibraChannel = 0;
    EXPECT_EQ(ChannelCommands::InstrumentText(song, 0), "Vibra (Bright Acoustic)");
}

} // namespace
