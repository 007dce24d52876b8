// Loading and channel analysis, the priority proposal and instrument names.
#include "CoreSupport.h"

#include "ChannelCommands.h"
#include "InstrumentMap.h"

using namespace core;

namespace {

using NoteCounting = CoreTest;
using LoadResults = CoreTest;

// `n` notes one after another on `ch`, each 10 ticks long.
Bytes Seq(int ch, int n, int velocity) {
    Bytes out;
    for (int i = 0; i < n; ++i)
        out = Cat({out, On(ch, 0x3C, velocity), Off(ch, 0x3C, 10)});
    return out;
}

TEST_F(NoteCounting, ChordsVelocityZeroAndTrackAfterTrack) {
    SongFile song;
    ASSERT_EQ(Load(song, Song(0, 480,
                              {Hex("00 90 3C 40 00 40 40 00 43 41 "    // C E G (running status)
                                   "83 60 80 3C 40 00 40 40 00 43 40 " // 500 ms: released
                                   "00 43 40")})),                     // one release too many
              1);
    EXPECT_EQ(song.maxPolyphony[0], 3);
    EXPECT_EQ(song.timelines[0].Find(0), 3u);
    EXPECT_EQ(song.timelines[0].Find(500), 0u) << "stays at 0";
    EXPECT_EQ(song.velocitySum[0], 0x40u + 0x40 + 0x41);
    EXPECT_EQ(song.lastTime, 500u);

    const Bytes chord = Hex("00 90 3C 40 00 90 40 40 "     // two notes at 0 ms
                            "83 60 90 3C 00 00 90 40 00"); // released at 500 ms by velocity 0
    SongFile balanced;
    ASSERT_EQ(Load(balanced, Song(1, 480, {chord, chord})), 1);
    EXPECT_EQ(balanced.maxPolyphony[0], 2) << "not 4: the tracks are counted one after another";
    EXPECT_EQ(balanced.noteCount[0], 4u) << "velocity 0 adds nothing";
    EXPECT_EQ(balanced.velocitySum[0], 4u * 0x40);
    // a track that leaves a note sounding: the next track counts on top of it
    SongFile open;
    ASSERT_EQ(Load(open, Song(1, 480, {On(0, 0x30), chord})), 1);
    EXPECT_EQ(open.maxPolyphony[0], 3);
    EXPECT_EQ(open.timelines[0].Find(0), 3u) << "the later entry at the same time wins";
    EXPECT_EQ(open.timelines[0].Find(500), 1u);
}

TEST_F(LoadResults, MipMessagesAreTrustedOnlyWhenSound) {
    // counted: channel 0 plays 2 notes at once, channel 9 one, channel 5 three (never listed:
    // no priority, its counted polyphony); the priorities and polyphonies of channels 0, 9, 5
    const struct {
        const char* messages; // SysEx events in front of the notes
        std::array<int, 6> figures;
        const char* source;
    } cases[] = {
        {"00 F0 09 7F 7F 0B 01 00 04 09 06 F7", {1, 2, 0, 4, 2, 3}, "yes"},
        {"00 F0 09 7F 7F 0B 01 00 04 09 06 F7 00 F0 07 7F 7F 0B 01 05 01 F7", // a second one
         {1, 2, 0, 4, 2, 3},
         "yes"},
        {"00 F0 09 7F 10 0B 01 00 04 09 06 F7", {1, 2, 0, 4, 2, 3}, "yes"}, // device id 10
        {"00 F0 07 7F 7F 0B 01 00 7F F7", {1, 0, 0, 127, 1, 3}, "yes"},
        // a falling value: counted polyphony and the proposal (by channel here)
        {"00 F0 09 7F 7F 0B 01 00 06 09 04 F7", {1, 3, 2, 2, 1, 3}, "DEFECTIVE!"},
        // an escape packet is never a MIP message
        {"00 F7 0A F0 7F 7F 0B 01 00 04 09 06 F7", {1, 3, 2, 2, 1, 3}, "no"}};
    const Bytes notes =
        Cat({On(0, 60), On(0, 62), On(9, 36), On(5, 60), On(5, 62), On(5, 64), Off(0, 60, 96)});
    SongSwitches::SetPrioOblix(false);
    for (const auto& c : cases) {
        SongFile song;
        ASSERT_EQ(Load(song, Song(0, 96, {Cat({Hex(c.messages), notes})})), 1);
        const std::array<int, 6> got = {song.priority[0],  song.priority[9],  song.priority[5],
                                        song.polyphony[0], song.polyphony[9], song.polyphony[5]};
        EXPECT_EQ(got, c.figures) << c.messages;
        EXPECT_EQ(ChannelCommands::SourceMipText(song), c.source) << c.messages;
        std::size_t sysex = 0;
        for (const SongEvent& e : song.GetTrack(0).events)
            sysex += e.GetCode() == 0xF0 || e.IsEscape() ? 1 : 0;
        EXPECT_EQ(sysex, 1u) << "one message kept";
    }
}

TEST_F(LoadResults, SysExStrippingRules) {
    const struct {
        const char* message; // SysEx event
        bool strip, kept;
    } cases[] = {
        {"00 F0 05 7E 7F 09 01 F7", true, false},        // GM System On
        {"00 F0 05 7E 7F 09 01 F7", false, true},        //
        {"00 F0 07 7F 7F 04 01 00 7F F7", false, false}, // Universal Real Time, 8 bytes
        {"00 F0 05 7F 7F 04 01 F7", false, true},        // Universal Real Time, 6 bytes
        {"00 F0 07 7F 7F 0B 01 00 01 F7", true, true},   // MIP message
    };
    for (const auto& c : cases) {
        SongSwitches::SetSysexStripping(c.strip);
        SongFile song;
        ASSERT_EQ(Load(song, Song(0, 96, {Cat({Hex(c.message), On(0, 60)})})), 1);
        EXPECT_EQ(song.GetTrack(0).GetEventCount(), c.kept ? 2u : 1u) << c.message << c.strip;
    }
}

// Bank Select MSB and LSB on a channel.
Bytes Bank(int ch, int msb, int lsb) {
    return Cat({Cc(ch, 0, msb), Cc(ch, 32, lsb)});
}
const Bytes kVibraBank = Bank(3, 121, 6);
const Bytes kRhythm11 = Bank(10, 120, 0); // channel index 10 plays percussion

TEST(BankSequences, VibraAndPercussion) {
    const struct {
        Bytes events;
        unsigned modeBefore;
        int vibra;
        unsigned modeAfter;
        bool channel11Percussion;
    } cases[] = {{Cat({kVibraBank, Pc(3, 124)}), 0, 3, 1, false},
                 {Cat({kVibraBank, Pc(3, 125)}), 1, 3, 0, false},
                 {Pc(3, 124), 0, -1, 0, false},
                 // the bank select flags belong to the song, not to a channel
                 {Cat({Cc(2, 0, 121), Cc(3, 32, 6), Pc(3, 124)}), 0, 3, 1, false},
                 {Cat({Cc(3, 0, 121), Bank(3, 5, 6), Pc(3, 124)}), 0, -1, 0, false},
                 {Cat({kVibraBank, Pc(3, 5), Pc(3, 124)}), 0, -1, 0, false},
                 {kRhythm11, 0, -1, 0, true},
                 {Cat({kRhythm11, Bank(10, 121, 0)}), 0, -1, 0, false},
                 {Bank(4, 120, 0), 0, -1, 0, false}, // on channel 5
                 {Cat({Bank(10, 120, 1), Cc(10, 32, 0)}), 0, -1, 0, false}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        FirstStart();
        SongSwitches::SetVibraMode(cases[i].modeBefore);
        SongFile song;
        ASSERT_EQ(Load(song, Song(0, 96, {Cat({cases[i].events, On(0, 60)})})), 1);
        EXPECT_EQ(song.vibraChannel, cases[i].vibra) << i;
        EXPECT_EQ(SongSwitches::GetVibraMode(), cases[i].modeAfter) << i;
        EXPECT_EQ(song.channel11Percussion, cases[i].channel11Percussion) << i;
    }
    FirstStart();
}

TEST_F(LoadResults, TitlesFromNamesMarkersAndFileTitle) {
    const struct {
        int format;
        Bytes events;
        const char *fileTitle, *title, *trackName;
    } cases[] = {
        {0, Meta(0x03, "Song"), "", "Song", ""},
        {0, Meta(0x03, "Song"), "file", "file", "Song"},
        {1, Meta(0x03, "Song"), "", "", "Song"},
        {1, Cat({Meta(0x06, "M1"), Meta(0x06, "M2")}), "file", "M1", ""}, // the first Marker
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

TEST_F(LoadResults, TrackLimit) {
    for (const int tracks : {120, 121}) {
        SongFile song;
        EXPECT_EQ(Load(song, Song(1, 96, std::vector<Bytes>(std::size_t(tracks), On(0, 60)))), 7);
        EXPECT_EQ(song.GetTrackCount(), 120u);
        EXPECT_EQ(song.lastLoad.LeftSomethingOut(), tracks > 120) << tracks;
        EXPECT_EQ(song.noteCount[0], 120u);
    }
}

TEST_F(LoadResults, NoChannelDataIsNotNotAMidiFileNorCannotOpen) {
    SongFile tempoOnly;
    EXPECT_EQ(Load(tempoOnly, Song(0, 96, {kTempo})), 7);
    EXPECT_EQ(tempoOnly.lastLoad.status, LoadReport::Status::Loaded);
    EXPECT_EQ(tempoOnly.GetTrack(0).GetEventCount(), 1u);

    SongFile refused;
    EXPECT_EQ(Load(refused, Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0}), 7);
    EXPECT_EQ(refused.lastLoad.status, LoadReport::Status::NotSmf);
    EXPECT_EQ(refused.GetTrackCount(), 1u);
    EXPECT_EQ(refused.CountUsedChannels(), 0);

    testfiles::TempDir dir;
    SongFile missing;
    EXPECT_FALSE(missing.LoadFile((dir / "missing.mid").string()));
    EXPECT_EQ(missing.lastLoad.status, LoadReport::Status::CannotOpen);
    EXPECT_NE(missing.lastLoad.error.find("No such file"), std::string::npos);
    EXPECT_FALSE(missing.LoadFile(dir.Path().string())) << "a folder";
    EXPECT_EQ(missing.lastLoad.status, LoadReport::Status::CannotOpen);
}

TEST_F(LoadResults, ProposalsRankTheChannels) {
    const struct {
        bool oblix;
        Bytes events;
        std::vector<int> channels, priorities;
    } cases[] = {
        {false, Cat({Seq(2, 1, 64), Seq(9, 1, 64), Seq(5, 1, 64)}), {2, 5, 9}, {1, 2, 3}},
        // piano (base 5) against strings (base 1), equal statistics
        {true, Cat({Pc(1, 48), Pc(0, 0), Seq(1, 4, 80), Seq(0, 4, 80)}), {0, 1}, {1, 2}},
        // the percussion channel comes right after the best one
        {true,
         Cat({Pc(0, 48), Pc(1, 0), Seq(0, 4, 80), Seq(1, 4, 80), Seq(9, 4, 80)}),
         {1, 9, 0},
         {1, 2, 3}},
        {true, Seq(9, 3, 80), {9}, {0}},
        {true, Cat({Seq(3, 2, 80), Seq(1, 2, 80)}), {1, 3}, {1, 2}}, // equal scores by channel
        // channel 11 as percussion scoring far above 50 is still ranked
        {true,
         Cat({kRhythm11, Seq(0, 1, 10), Seq(10, 20, 127), Seq(9, 1, 10)}),
         {10, 9, 0},
         {1, 2, 3}},
        // a program of 128 or more (a data byte with its top bit set) weighs 0
        {true, Cat({Hex("00 C0 85"), Pc(1, 24), Seq(0, 2, 80), Seq(1, 2, 80)}), {1, 0}, {1, 2}}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SongSwitches::SetPrioOblix(cases[i].oblix);
        SongFile song;
        Load(song, Song(0, 96, {cases[i].events}));
        std::vector<int> got;
        for (int ch : cases[i].channels)
            got.push_back(song.priority[ch]);
        EXPECT_EQ(got, cases[i].priorities) << i;
    }
}

TEST_F(LoadResults, LoudnessTermHasNoOverflow) {
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

TEST(InstrumentNames, UnderBothMaps) {
    const struct {
        std::uint32_t program;
        int channel;
        bool channel11Percussion;
        std::uint32_t map;
        const char* name;
    } cases[] = {
        {40, 9, false, 0, "Percussive"},     {0, 10, true, 1, "Percussive"},
        {0, 10, false, 1, "Acoustic Grand"}, {1, 0, false, 0, "Acoustic Grand"},
        {1, 0, false, 1, "Bright Acoustic"}, {46, 0, false, 0, "Glockenspiel"},
        {128, 0, false, 0, "Unknown"},       {255, 3, false, 1, "Unknown"},
        {21, 0, false, 1, "Accoridan"},      {77, 0, false, 1, "Skakuhachi"},
        {127, 15, false, 0, "Gunshot"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetInstrumentName(c.program, c.channel, c.channel11Percussion, c.map), c.name)
            << c.program << " on " << c.channel << " map " << c.map;
    // a few telling rows of the reduced map (index 0); the full map (index 1) keeps everything
    const std::uint32_t reduced[][2] = {{0, 0},  {8, 0},     {14, 9},    {47, 114},  {79, 33},
                                        {98, 9}, {116, 117}, {118, 117}, {119, 119}, {127, 127}};
    for (const auto& r : reduced) {
        EXPECT_EQ(MapInstrument(r[0], 0), r[1]) << r[0];
        EXPECT_EQ(MapInstrument(r[1], 0), r[1]) << "the image maps to itself";
        EXPECT_EQ(MapInstrument(r[0], 1), r[0]);
    }
}

} // namespace
