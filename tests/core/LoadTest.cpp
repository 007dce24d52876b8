// Loading and channel analysis, the priority proposal and instrument names.
#include "tests/core/CoreSupport.h"

#include "song/ChannelCommands.h"
#include "song/InstrumentMap.h"

using namespace core;

namespace {

using LoadResults = CoreTest;

// `n` notes one after another on `ch`, each 10 ticks long.
Bytes Seq(int ch, int n, int velocity) {
    Bytes out;
    for (int i = 0; i < n; ++i)
        out = Cat({out, On(ch, 0x3C, velocity), Off(ch, 0x3C, 10)});
    return out;
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
        {"00 F0 07 7F 7F 0B 01 00 7F F7", {1, 0, 0, 127, 1, 3}, "yes"},
        // a falling value: counted polyphony and the proposal (by channel here)
        {"00 F0 09 7F 7F 0B 01 00 06 09 04 F7", {1, 3, 2, 2, 1, 3}, "DEFECTIVE!"},
        // an escape packet is never a MIP message
        {"00 F7 0A F0 7F 7F 0B 01 00 04 09 06 F7", {1, 3, 2, 2, 1, 3}, "no"}};
    const Bytes notes =
        Cat({On(0, 60), On(0, 62), On(9, 36), On(5, 60), On(5, 62), On(5, 64), Off(0, 60, 96)});
    for (const auto& c : cases) {
        SongFile song;
        song.switches.prioOblix = false;
        ASSERT_EQ(Load(song, Song(0, 96, {Cat({Hex(c.messages), notes})})), 1);
        const std::array<int, 6> got = {song.priority[0],  song.priority[9],  song.priority[5],
                                        song.polyphony[0], song.polyphony[9], song.polyphony[5]};
        EXPECT_EQ(got, c.figures) << c.messages;
        EXPECT_EQ(ChannelCommands::SourceMipText(song), c.source) << c.messages;
        std::size_t sysex = 0;
        for (const EventRef e : song.GetTrack(0).events)
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
        {"00 F0 07 7F 7F 04 01 00 7F F7", false, false}, // Universal Real Time, 8 bytes
        {"00 F0 05 7F 7F 04 01 F7", false, true},        // Universal Real Time, 6 bytes
        {"00 F0 07 7F 7F 0B 01 00 01 F7", true, true},   // MIP message
    };
    for (const auto& c : cases) {
        SongFile song;
        song.switches.sysexStripping = c.strip;
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

// A vibra setup found in the song sets the vibra mode: program 124 means mode 1.
TEST_F(LoadResults, BankSequencesForVibraAndPercussion) {
    const struct {
        Bytes events;
        int vibra;
        bool channel11Percussion;
    } cases[] = {{Cat({kVibraBank, Pc(3, 124)}), 3, false},
                 {Cat({kVibraBank, Pc(3, 5), Pc(3, 124)}), -1, false},
                 {kRhythm11, -1, true},
                 {Bank(4, 120, 0), -1, false}}; // on channel 5
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SongFile song;
        ASSERT_EQ(Load(song, Song(0, 96, {Cat({cases[i].events, On(0, 60)})})), 1);
        EXPECT_EQ(song.vibraChannel, cases[i].vibra) << i;
        EXPECT_EQ(song.lastLoad.vibraMode, cases[i].vibra >= 0 ? std::optional(1u) : std::nullopt)
            << i;
        EXPECT_EQ(song.switches.vibraMode, cases[i].vibra >= 0 ? 1u : 0u) << "the song follows";
        EXPECT_EQ(song.channel11Percussion, cases[i].channel11Percussion) << i;
    }
}

TEST_F(LoadResults, TitlesFromNamesMarkersAndFileTitle) {
    const struct {
        int format;
        Bytes events;
        const char *fileTitle, *title, *trackName;
    } cases[] = {
        {0, Meta(0x03, "Song"), "", "Song", ""},
        {1, Meta(0x03, "Song"), "", "", "Song"},
        {1, Cat({Meta(0x06, "M1"), Meta(0x06, "M2")}), "file", "M1", ""}, // the first Marker
    };
    for (const auto& c : cases) {
        SongFile song;
        Load(song, Song(c.format, 96, {Cat({c.events, On(0, 60)})}), c.fileTitle);
        EXPECT_EQ(song.GetTitle(), c.title);
        EXPECT_EQ(song.GetTrack(0).name, c.trackName);
    }
}

TEST_F(LoadResults, ANoteOffEndsEveryNoteOfItsKey) {
    // A guitar strum strikes keys again before releasing them: one note-off per key ends
    // both notes, so the count never drifts upwards.
    Bytes strums;
    for (int i = 0; i < 50; ++i)
        strums = Cat({strums, On(0, 60, 0x40, 10), On(0, 64), On(0, 60, 0x40, 5), Off(0, 60, 5),
                      Ev(0, {0x90, 64, 0})}); // a velocity-0 note-on is a note-off
    SongFile song;
    ASSERT_EQ(Load(song, Song(0, 96, {strums})), 1);
    EXPECT_EQ(song.maxPolyphony[0], 3);
    EXPECT_EQ(song.noteCount[0], 150u);
    EXPECT_EQ(song.timelines[0].Entries().back().value, 0u);

    // Two tracks on one channel: the counts go on across tracks, per key. A note-off of a
    // key that does not sound leaves the others alone.
    SongFile tracks;
    Load(tracks, Song(1, 96,
                      {Cat({On(0, 60), On(0, 60), Off(0, 62, 96)}),
                       Cat({On(0, 64), Off(0, 60, 96), Off(0, 64, 96)})}));
    EXPECT_EQ(tracks.maxPolyphony[0], 3);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> timeline;
    for (const auto& e : tracks.timelines[0].Entries())
        timeline.push_back({e.time, e.value});
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> expected = {
        {0, 3}, {500, 1}, {1000, 0}};
    EXPECT_EQ(timeline, expected) << "the later track's entries overwrite at the same time";
}

TEST_F(LoadResults, NoChannelDataIsStillLoaded) {
    SongFile tempoOnly;
    EXPECT_EQ(Load(tempoOnly, Song(0, 96, {kTempo})), 7);
    EXPECT_EQ(tempoOnly.lastLoad.status, LoadReport::Status::Loaded);
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

// The info --json test shows both modes on a song of piano, bass and drums.
TEST_F(LoadResults, ProposalsRankTheChannels) {
    const struct {
        Bytes events;
        std::vector<int> channels, priorities;
    } cases[] = {
        // a drum-only song: the percussion channel is ranked first, not left out
        {Seq(9, 3, 80), {9}, {1}},
        {Cat({Seq(3, 2, 80), Seq(1, 2, 80)}), {1, 3}, {1, 2}}, // equal scores by channel
        // channel 11 as percussion scoring far above 50 is still ranked
        {Cat({kRhythm11, Seq(0, 1, 10), Seq(10, 20, 127), Seq(9, 1, 10)}), {10, 9, 0}, {1, 2, 3}},
        // a program of 128 or more (a data byte with its top bit set) weighs 0
        {Cat({Hex("00 C0 85"), Pc(1, 24), Seq(0, 2, 80), Seq(1, 2, 80)}), {1, 0}, {1, 2}}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
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

// The info --json test shows names under both maps; these are the edge rows.
// The info --json test shows names under both maps; these are the edge rows.
TEST(InstrumentNames, PercussionAndUnknownPrograms) {
    EXPECT_EQ(GetInstrumentName(0, 10, true, 1), "Percussive");
    EXPECT_EQ(GetInstrumentName(0, 10, false, 1), "Acoustic Grand");
    EXPECT_EQ(GetInstrumentName(127, 15, false, 0), "Gunshot");
    EXPECT_EQ(GetInstrumentName(128, 0, false, 0), "Unknown");
}

} // namespace
