// The SP-MIDI checker: every rule on a byte-built song that breaks it and on one that
// keeps it, the rule table itself, and the files Quellor writes from the real songs.
#include "tests/core/CoreSupport.h"

#include "song/ChannelCommands.h"
#include "song/SpMidiCheck.h"

#include <map>
#include <regex>
#include <set>
#include <tuple>

using namespace core;

namespace {

// What a save of `song` writes, through the one save path (the program's options).
Bytes Saved(SongFile& song) {
    MemorySink sink;
    EXPECT_TRUE(song.SaveProcessed(sink, SongFile::SaveOptions{}));
    return sink.TakeBytes();
}

using CheckRules = CoreTest;
using CheckedSongs = CoreTest;

// A division of 500 ticks per quarter note at the model's fixed tempo: 1 tick is 1 ms.
Bytes File(const Bytes& events) {
    return Song(0, 500, {events});
}

// A MIP message with (channel, value) pairs.
Bytes Mip(const std::vector<int>& pairs, int device = 0x7F, std::uint32_t delta = 0) {
    Bytes data = {0x7F, static_cast<std::uint8_t>(device), 0x0B, 0x01};
    for (int b : pairs)
        data.push_back(static_cast<std::uint8_t>(b));
    data.push_back(0xF7);
    return Cat({Vlq(delta), {0xF0}, Vlq(data.size()), data});
}

const Bytes kGmOn = SysEx(0xF0, Hex("7E 7F 09 01 F7"));

// A clean song: a two-note chord on channel 1 (0-100 ms), a bass drum on channel 10
// (100-150 ms); `delay` moves it later.
Bytes Body(std::uint32_t delay = 0) {
    return Cat({Pc(0, 0, delay),             // piano
                On(0, 60), On(0, 64),        // chord
                Off(0, 60, 100), Off(0, 64), //
                On(9, 36), Off(9, 36, 50)}); // bass drum
}
const Bytes kBody = Body();
const Bytes kClean = File(Cat({Mip({0, 4, 9, 7}), kBody}));

// Bank Select 121, Bank Select LSB 6 and `program` on `ch`: the vibra setup.
Bytes VibraSetup(int ch, int program = 125, std::uint32_t delta = 0) {
    return Cat({Cc(ch, 0, 121, delta), Cc(ch, 32, 6), Pc(ch, program)});
}

// Channel 4 (index 3) as the vibra channel, set up and playing one note at 200 ms.
Bytes WithVibra(const Bytes& mip, const Bytes& vibra) {
    return File(Cat({mip, kBody, vibra}));
}
const Bytes kVibraNote = Cat({On(3, 40, 64, 50), Off(3, 40, 100)});

std::vector<SpMidiFinding> Check(const Bytes& file,
                                 std::optional<std::uint32_t> vibraMode = std::nullopt) {
    SpMidiCheck check;
    check.vibraMode = vibraMode;
    return check.CheckBytes(file);
}

// The analysis of the song loaded from `file`.
std::vector<SpMidiFinding> Analyse(const Bytes& file) {
    SongFile song;
    EXPECT_EQ(Load(song, file), 1);
    return SpMidiCheck().CheckSong(song);
}

const SpMidiFinding* FindRule(const std::vector<SpMidiFinding>& findings, std::string_view id) {
    for (const SpMidiFinding& f : findings)
        if (f.rule == id)
            return &f;
    return nullptr;
}

std::string Describe(const std::vector<SpMidiFinding>& findings) {
    std::string out;
    for (const SpMidiFinding& f : findings)
        out += "  " + std::string(f.rule) + ": " + f.message + "\n";
    return out;
}

// One rule: a song that breaks it (the finding's channel and time when given) and a song
// that keeps it.
struct Case {
    const char* rule;
    Bytes breaks, keeps;
    std::optional<int> channel = std::nullopt;
    std::optional<std::uint32_t> time = std::nullopt;
    std::optional<std::uint32_t> vibraMode = std::nullopt;
    bool analysis = false; // the loaded song's analysis, not its bytes
};

std::vector<Case> Cases() {
    const Bytes notSmf = Cat({Hex("4D 54 68 64 00 00 00 06 00 03 00 01 01 F4"), // format 3
                              testfiles::TrackChunk(kBody)});
    std::vector<int> sixteen, seventeen;
    for (int ch = 0; ch < 16; ++ch)
        sixteen.insert(sixteen.end(), {ch, 4 + ch});
    seventeen = sixteen;
    seventeen.insert(seventeen.end(), {0, 20});
    const Bytes rpn = Cat({Cc(0, 101, 0), Cc(0, 100, 5), Cc(0, 6, 1)});
    const Bytes rpnBend = Cat({Cc(0, 101, 0), Cc(0, 100, 0), Cc(0, 6, 12)});
    const Bytes nrpn = Cat({Cc(0, 99, 1), Cc(0, 98, 8), Cc(0, 6, 64)});
    const Bytes rhythm11 = Cat({Cc(10, 0, 120), Pc(10, 0)});
    const Bytes drum = Cat({On(10, 38, 64, 10), Off(10, 38, 10)}); // at 160 ms
    const Bytes chord3 =
        Cat({On(0, 60), On(0, 64), On(0, 67), Off(0, 60, 10), Off(0, 64), Off(0, 67)});
    return {
        {"not-smf", notSmf, kClean},
        {"smf-format-2", Song(2, 500, {Cat({Mip({0, 4, 9, 7}), kBody})}),
         Song(1, 500, {Cat({Mip({0, 4, 9, 7}), kBody})})},

        {"mip-missing", File(kBody), kClean},
        {"mip-malformed", File(Cat({Mip({0, 4, 9}), kBody})), kClean, std::nullopt, 0},
        {"mip-malformed", File(Cat({Mip({0, 0x84, 9, 7}), kBody})), kClean},
        {"mip-empty", File(Cat({Mip({}), kBody})), kClean, std::nullopt, 0},
        {"mip-device-id", File(Cat({Mip({0, 4, 9, 7}, 0x10), kBody})), kClean},
        {"mip-too-many-entries", File(Cat({Mip(seventeen), kBody})),
         File(Cat({Mip(sixteen), kBody}))},
        {"mip-channel-range", File(Cat({Mip({0, 4, 16, 7}), kBody})), kClean},
        {"mip-channel-repeated", File(Cat({Mip({0, 4, 9, 7, 0, 8}), kBody})), kClean, 0},
        {"mip-value-falls", File(Cat({Mip({0, 4, 9, 3}), kBody})),
         File(Cat({Mip({0, 4, 9, 4}), kBody})), 9},
        {"mip-value-zero", File(Cat({Mip({9, 0, 0, 4}), kBody})),
         File(Cat({Mip({9, 1, 0, 5}), kBody})), 9},
        // after the chord's first note
        {"mip-after-notes",
         File(Cat({Pc(0, 0), On(0, 60), Mip({0, 4, 9, 7}), On(0, 64), Off(0, 60, 100), Off(0, 64),
                   On(9, 36), Off(9, 36, 50)})),
         kClean, std::nullopt, 0},
        // a Program Change in front of it
        {"mip-not-at-start", File(Cat({Pc(0, 0), Mip({0, 4, 9, 7}), kBody})), kClean, std::nullopt,
         0},
        // at 5 ms, before any note
        {"mip-not-at-start", File(Cat({Mip({0, 4, 9, 7}, 0x7F, 5), kBody})), kClean, std::nullopt,
         5},
        // in the second track, still before the notes of the first
        {"mip-not-at-start", Song(1, 500, {Cat({kTempo, Body(10)}), Mip({0, 4, 9, 7})}),
         Song(1, 500, {Cat({kTempo, Mip({0, 4, 9, 7})}), Body(10)}), std::nullopt, 0},
        {"mip-repeated", File(Cat({Mip({0, 4, 9, 7}), kBody, Mip({9, 2}, 0x7F, 10)})), kClean,
         std::nullopt, 160},
        {"gm-on-after-mip", File(Cat({Mip({0, 4, 9, 7}), kGmOn, kBody})),
         File(Cat({kGmOn, Mip({0, 4, 9, 7}), kBody})), std::nullopt, 0},
        // a reset with no note after it, or one that another MIP message follows
        {"gm-on-after-mip", File(Cat({Mip({0, 4, 9, 7}), kGmOn, kBody})),
         File(Cat({Mip({0, 4, 9, 7}), kBody, kGmOn}))},
        {"gm-on-after-mip", File(Cat({Mip({0, 4, 9, 7}), kGmOn, kBody})),
         File(Cat({Mip({0, 4, 9, 7}), kGmOn, Mip({0, 4, 9, 7}), kBody}))},

        {"channel-not-listed", File(Cat({Mip({0, 4}), kBody})), kClean, 9, 100},
        {"mip-first-above-5", File(Cat({Mip({0, 6, 9, 9}), kBody})),
         File(Cat({Mip({0, 5, 9, 8}), kBody})), 0},
        {"mip-first-above-6", File(Cat({Mip({0, 7, 9, 9}), kBody})),
         File(Cat({Mip({0, 6, 9, 9}), kBody})), 0},
        {"mip-value-above-24", File(Cat({Mip({0, 4, 9, 25}), kBody})),
         File(Cat({Mip({0, 4, 9, 24}), kBody})), 9},
        // the loader trusts the message: channel 1's share is 1, or 2
        {"polyphony-over-share", File(Cat({Mip({0, 1, 9, 2}), kBody})), kClean, 0, 0, std::nullopt,
         true},

        // notes between the bank select and its Program Change
        {"rhythm-bank-no-program",
         File(Cat({Mip({0, 4, 9, 7, 10, 8}), kBody, Cc(10, 0, 120), drum, Pc(10, 0)})),
         File(Cat({Mip({0, 4, 9, 7, 10, 8}), kBody, rhythm11, drum})), 10, 160},
        {"rhythm-channel-11", File(Cat({Mip({0, 4, 9, 7, 10, 8}), kBody, rhythm11, drum})),
         File(Cat({Mip({0, 4, 9, 7, 10, 8}), kBody, Pc(10, 0), drum})), 10, 160},
        {"drum-note-range", File(Cat({Mip({0, 4, 9, 7}), kBody, On(9, 34), Off(9, 34, 10)})),
         File(Cat({Mip({0, 4, 9, 8}), kBody, On(9, 35), On(9, 81), Off(9, 35, 10), Off(9, 81)})), 9,
         150},
        // channel 11 counts once it is switched to the rhythm bank
        {"drum-note-range",
         File(Cat({Mip({0, 4, 9, 7, 10, 8}), kBody, rhythm11, On(10, 90), Off(10, 90, 10)})),
         File(Cat({Mip({0, 4, 9, 7, 10, 8}), kBody, Pc(10, 0), On(10, 90), Off(10, 90, 10)})), 10,
         150},

        {"vibra-setup-late",
         WithVibra(Mip({0, 4, 3, 4, 9, 7}),
                   Cat({On(3, 40), Off(3, 40, 10), VibraSetup(3), kVibraNote})),
         WithVibra(Mip({0, 4, 3, 4, 9, 7}), Cat({VibraSetup(3), kVibraNote})), 3, 150},
        {"vibra-on-percussion", WithVibra(Mip({0, 4, 9, 7}), VibraSetup(9)),
         WithVibra(Mip({0, 4, 3, 4, 9, 7}), Cat({VibraSetup(3), kVibraNote})), 9, 150},
        {"vibra-program-mode",
         WithVibra(Mip({0, 4, 3, 4, 9, 7}), Cat({VibraSetup(3, 125), kVibraNote})),
         WithVibra(Mip({0, 4, 3, 4, 9, 7}), Cat({VibraSetup(3, 124), kVibraNote})), 3, 150, 1},
        {"vibra-program-mode",
         WithVibra(Mip({0, 4, 3, 4, 9, 7}), Cat({VibraSetup(3, 124), kVibraNote})),
         WithVibra(Mip({0, 4, 3, 4, 9, 7}), Cat({VibraSetup(3, 125), kVibraNote})), 3, 150, 0},
        {"vibra-polyphonic",
         WithVibra(Mip({0, 4, 3, 4, 9, 7}), Cat({VibraSetup(3), On(3, 40, 64, 50),
                                                 On(3, 41, 64, 10), Off(3, 40, 10), Off(3, 41)})),
         WithVibra(Mip({0, 4, 3, 4, 9, 7}), Cat({VibraSetup(3), On(3, 40, 64, 50), Off(3, 40, 10),
                                                 On(3, 41), Off(3, 41, 10)})),
         3, 210},
        {"vibra-priority", WithVibra(Mip({0, 6, 3, 6, 9, 9}), Cat({VibraSetup(3), kVibraNote})),
         WithVibra(Mip({0, 5, 3, 5, 9, 8}), Cat({VibraSetup(3), kVibraNote})), 3, 0},
        {"vibra-adds-voices", WithVibra(Mip({0, 4, 3, 5, 9, 8}), Cat({VibraSetup(3), kVibraNote})),
         WithVibra(Mip({0, 4, 3, 4, 9, 7}), Cat({VibraSetup(3), kVibraNote})), 3, 0},

        {"controller-unsupported", File(Cat({Mip({0, 4, 9, 7}), Cc(0, 91, 40, 0), kBody})),
         File(Cat({Mip({0, 4, 9, 7}), Cc(0, 7, 100), Cc(0, 10, 64), Cc(0, 64, 0), kBody})), 0, 0},
        {"rpn-unsupported", File(Cat({Mip({0, 4, 9, 7}), rpn, kBody})),
         File(Cat({Mip({0, 4, 9, 7}), rpnBend, kBody})), 0, 0},
        // Data Entry for a non-registered parameter is no RPN
        {"rpn-unsupported", File(Cat({Mip({0, 4, 9, 7}), rpn, kBody})),
         File(Cat({Mip({0, 4, 9, 7}), nrpn, kBody}))},
        {"sysex-master-volume",
         File(Cat({Mip({0, 4, 9, 7}), SysEx(0xF0, Hex("7F 7F 04 01 00 7F F7")), kBody})), kClean,
         std::nullopt, 0},
        {"sysex-unsupported",
         File(Cat({Mip({0, 4, 9, 7}), SysEx(0xF0, Hex("43 10 4C 00 00 7E 00 F7")), kBody})),
         File(Cat({kGmOn, Mip({0, 4, 9, 7}), kBody})), std::nullopt, 0},
        {"poly-aftertouch", File(Cat({Mip({0, 4, 9, 7}), kBody, Ev(0, {0xA0, 60, 40})})), kClean, 0,
         150},
        {"channel-pressure", File(Cat({Mip({0, 4, 9, 7}), kBody, Ev(0, {0xD0, 40})})), kClean, 0,
         150},
        {"pitch-bend", File(Cat({Mip({0, 4, 9, 7}), kBody, Ev(0, {0xE0, 0, 0x50})})), kClean, 0,
         150},
        {"note-never-ends", File(Cat({Mip({0, 4, 9, 7}), kBody, On(0, 72, 64, 10)})), kClean, 0,
         160},
        // a note-off in another track ends the note: channels are not tracks
        {"note-never-ends", File(Cat({Mip({0, 4, 9, 7}), kBody, On(0, 72, 64, 10)})),
         Song(1, 500, {Cat({Mip({0, 4, 9, 7}), kBody, On(0, 72, 64, 10)}), Off(0, 72, 170)})},
        {"note-overlap",
         File(Cat({Mip({0, 4, 9, 7}), kBody, On(0, 72), On(0, 72, 64, 10), Off(0, 72, 10)})),
         File(Cat(
             {Mip({0, 4, 9, 7}), kBody, On(0, 72), On(0, 74, 64, 10), Off(0, 72, 10), Off(0, 74)})),
         0, 160},
    };
}

TEST_F(CheckRules, EachRuleFiresOnTheSongThatBreaksItOnly) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.rule);
        const auto breaks = c.analysis ? Analyse(c.breaks) : Check(c.breaks, c.vibraMode);
        const auto keeps = c.analysis ? Analyse(c.keeps) : Check(c.keeps, c.vibraMode);
        const SpMidiFinding* f = FindRule(breaks, c.rule);
        ASSERT_NE(f, nullptr) << Describe(breaks);
        EXPECT_EQ(f->severity, SpMidiRules::Find(c.rule)->severity);
        if (c.channel) {
            EXPECT_EQ(f->channel, c.channel);
        }
        if (c.time) {
            EXPECT_EQ(f->timeMs, c.time);
        }
        EXPECT_EQ(FindRule(keeps, c.rule), nullptr) << Describe(keeps);
        for (const auto* list : {&breaks, &keeps})
            for (const SpMidiFinding& g : *list) {
                for (const char* flaw : {"{", " ,", "  "}) {
                    EXPECT_EQ(g.message.find(flaw), std::string::npos) << g.message;
                    EXPECT_EQ(g.fix.find(flaw), std::string::npos) << g.fix;
                }
            }
    }
}

TEST_F(CheckRules, TheCleanSongHasNoFinding) {
    EXPECT_TRUE(Check(kClean).empty()) << Describe(Check(kClean));
    EXPECT_TRUE(Analyse(kClean).empty()) << Describe(Analyse(kClean));
}

TEST_F(CheckRules, EveryRuleHasACaseAndTextsThatNameTheirSource) {
    std::set<std::string_view> tested, ids;
    for (const Case& c : Cases())
        tested.insert(c.rule);
    const std::regex kebab("[a-z0-9]+(-[a-z0-9]+)*");
    const std::regex source("(RP-034|RP-035|TS 23\\.040) .+");
    for (const SpMidiRule& rule : SpMidiRules::All()) {
        SCOPED_TRACE(std::string(rule.id));
        EXPECT_TRUE(ids.insert(rule.id).second) << "ids are unique";
        EXPECT_TRUE(std::regex_match(std::string(rule.id), kebab));
        EXPECT_TRUE(std::regex_match(std::string(rule.source), source)) << rule.source;
        EXPECT_FALSE(rule.description.empty() || rule.message.empty() || rule.fix.empty());
        EXPECT_EQ(SpMidiRules::Find(rule.id), &rule);
        EXPECT_TRUE(tested.count(rule.id)) << "no case for the rule";
    }
    EXPECT_EQ(SpMidiRules::Find("no-such-rule"), nullptr);
}

TEST_F(CheckRules, FindingsSayWhereInPlainWords) {
    const auto f = Check(File(Cat({Mip({0, 4}), kBody})));
    const SpMidiFinding* missing = FindRule(f, "channel-not-listed");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->message,
              "Channel 10 plays notes from 0.100 s but the MIP message does not list it: phones "
              "mute it.");
    EXPECT_EQ(missing->fix, "Give channel 10 a priority, then save again.");

    // the first value picks one of the two rules, not both
    for (int value : {5, 6, 7}) {
        const auto g = Check(File(Cat({Mip({0, value, 9, 9}), kBody})));
        EXPECT_EQ(FindRule(g, "mip-first-above-5") != nullptr, value == 6) << value;
        EXPECT_EQ(FindRule(g, "mip-first-above-6") != nullptr, value == 7) << value;
    }

    // a note-off ends every note of its key: the vibra has two notes at once only once here
    const auto restrike = Check(WithVibra(
        Mip({0, 4, 3, 4, 9, 7}), Cat({VibraSetup(3), On(3, 40), On(3, 40, 64, 10), Off(3, 40, 10),
                                      On(3, 41, 64, 10), Off(3, 41, 10)})));
    EXPECT_EQ(FindRule(restrike, "vibra-polyphonic")->message,
              "The vibra channel 4 sounds two or more notes at once (once), first at 0.160 s.");

    // the first MIP message is the one the channels are checked against
    const auto twice = Check(File(Cat({Mip({0, 4, 9, 7}), kBody, Mip({9, 2}, 0x7F, 10)})));
    EXPECT_NE(FindRule(twice, "mip-repeated"), nullptr);
    EXPECT_EQ(FindRule(twice, "channel-not-listed"), nullptr) << Describe(twice);

    // without a vibra mode either vibra program passes
    for (int program : {124, 125})
        EXPECT_EQ(FindRule(Check(WithVibra(Mip({0, 4, 3, 4, 9, 7}),
                                           Cat({VibraSetup(3, program), kVibraNote}))),
                           "vibra-program-mode"),
                  nullptr)
            << program;

    // one finding per channel, counting every occurrence
    const auto h = Check(File(Cat({Mip({0, 4, 9, 7}), kBody, Ev(0, {0xE0, 0, 0x50}),
                                   Ev(5, {0xE0, 0, 0x40}), Ev(5, {0xE1, 0, 0x40})})));
    ASSERT_EQ(std::count_if(h.begin(), h.end(),
                            [](const SpMidiFinding& x) { return x.rule == "pitch-bend"; }),
              2);
    EXPECT_EQ(FindRule(h, "pitch-bend")->message,
              "Channel 1 bends the pitch (2 messages, first at 0.150 s); some phones do not.");
}

TEST_F(CheckRules, AnalysisCountsEachRiseAboveTheShare) {
    // channel 1 plays a four-note arpeggio from 0 ms (above its share of 2 from 4 ms to
    // 10 ms) and a three-note chord at 100 ms
    const Bytes chords = Cat({On(0, 60), On(0, 64, 64, 2), On(0, 67, 64, 2), On(0, 69, 64, 2),
                              Off(0, 60, 4), Off(0, 64), Off(0, 67), Off(0, 69), //
                              On(0, 60, 64, 90), On(0, 64), On(0, 67),           //
                              Off(0, 60, 10), Off(0, 64), Off(0, 67)});
    const auto f = Analyse(File(Cat({Mip({0, 2}), chords})));
    ASSERT_EQ(f.size(), 1u) << Describe(f);
    EXPECT_EQ(f[0].message, "Channel 1 sounds up to 4 notes at once but its share is 2: notes "
                            "are stolen twice, first at 0.004 s.");

    // the vibra channel sounds no note, and a muted channel is not written
    SongFile song;
    ASSERT_EQ(Load(song, File(Cat({Mip({0, 2, 3, 2}), chords, Cc(3, 0, 121), Cc(3, 32, 6),
                                   Pc(3, 125), On(3, 40), On(3, 41), Off(3, 40, 10), Off(3, 41)}))),
              1);
    ASSERT_EQ(song.vibraChannel, 3);
    song.SetPolyphony(3, 0);
    EXPECT_EQ(FindRule(SpMidiCheck().CheckSong(song), "polyphony-over-share")->channel, 0);
    song.enabled[0] = false;
    EXPECT_TRUE(SpMidiCheck().CheckSong(song).empty());
}

TEST_F(CheckRules, TallyAndErrors) {
    // a reserved value (error), an unlisted controller (warning), a pitch bend (note)
    const auto f =
        Check(File(Cat({Mip({9, 0, 0, 4}), Cc(0, 91, 40), kBody, Ev(0, {0xE0, 0, 0x50})})));
    const SpMidiTally tally = SpMidiCheck::Tally(f);
    EXPECT_EQ(std::tie(tally.errors, tally.warnings, tally.notes), std::tuple(1, 1, 1))
        << Describe(f);
    EXPECT_TRUE(SpMidiCheck::HasError(f));
    EXPECT_EQ(f.front().severity, SpMidiSeverity::Error) << "errors come first";
    EXPECT_EQ(f.back().severity, SpMidiSeverity::Note);
    EXPECT_FALSE(
        SpMidiCheck::HasError(Check(File(Cat({Mip({0, 4, 9, 7}), Cc(0, 91, 40), kBody})))));
}

TEST_F(CheckRules, ALongSongGivesOneFindingPerChannelAndRule) {
    // 16 channels, 4000 notes each, every one struck again before it ends and the last left
    // sounding, with an unlisted controller before each: the findings do not grow with the song
    Bytes events = Mip({0, 4,  1, 8,  2,  12, 3,  16, 4,  20, 5,  24, 6,  28, 7,  32,
                        8, 36, 9, 40, 10, 44, 11, 48, 12, 52, 13, 56, 14, 60, 15, 64});
    for (int i = 0; i < 4000; ++i)
        for (int ch = 0; ch < 16; ++ch)
            for (const Bytes& e : {Cc(ch, 91, i & 0x7F), On(ch, 60, 64, ch == 0 ? 1 : 0)})
                events.insert(events.end(), e.begin(), e.end());
    const auto f = Check(File(events));
    std::map<std::string_view, int> perRule;
    for (const SpMidiFinding& x : f)
        ++perRule[x.rule];
    for (const auto& [rule, n] : perRule)
        EXPECT_LE(n, 16) << rule;
    const SpMidiFinding* overlap = FindRule(f, "note-overlap");
    ASSERT_NE(overlap, nullptr);
    EXPECT_NE(overlap->message.find("3999 times"), std::string::npos) << overlap->message;
    EXPECT_NE(FindRule(f, "note-never-ends")->message.find("4000 notes"), std::string::npos);
}

// --- What Quellor writes ---

// The rules a save keeps whatever the song it starts from: each song once as loaded, the
// findings of what a save writes from it.
// The checker reads each track on its own and merges them; files whose tracks only a
// reading from start to end takes apart must give what that reading gives.
TEST_F(CheckRules, TracksAreTakenApartAsTheReaderDoes) {
    const auto summary = [](const std::vector<SpMidiFinding>& findings) {
        std::vector<std::string> out;
        for (const SpMidiFinding& f : findings)
            out.push_back(std::string(f.rule) + " ch" + std::to_string(f.channel.value_or(-1)) +
                          " t" + std::to_string(f.track.value_or(-1)) + " " +
                          std::to_string(f.timeMs.value_or(0)));
        return out;
    };
    const Bytes end = Hex("00 FF 2F 00");
    const Bytes first = Cat({Pc(0, 1), On(0, 60), Off(0, 60, 96), On(0, 62, 0x40, 10)});
    const Bytes second = Cat({Pc(1, 2), On(1, 64, 0x40, 48), Off(1, 64, 96)});
    const Bytes third = Cat({Pc(2, 3), On(2, 67, 0x40, 20), Off(2, 67, 96)});
    auto chunk = [](const Bytes& data, std::size_t claimed) {
        return Cat(
            {{'M', 'T', 'r', 'k'}, testfiles::Be32(static_cast<std::uint32_t>(claimed)), data});
    };
    auto file = [](std::vector<Bytes> chunks) {
        Bytes out = testfiles::Header(1, static_cast<int>(chunks.size()), 96);
        for (const Bytes& c : chunks)
            out = Cat({out, c});
        return out;
    };
    const Bytes a = Cat({first, end}), b = Cat({second, end}), c = Cat({third, end});
    const auto clean =
        summary(Check(file({chunk(a, a.size()), chunk(b, b.size()), chunk(c, c.size())})));
    ASSERT_FALSE(clean.empty()) << "the note of the first track never ends";
    // Bytes after an End of Track up to the chunk's end are skipped.
    const Bytes padded = Cat({a, Hex("00 90 50 40 00 80")});
    EXPECT_EQ(summary(Check(
                  file({chunk(padded, padded.size()), chunk(b, b.size()), chunk(c, c.size())}))),
              clean);
    // A chunk length that is too short: the track still runs to its End of Track.
    EXPECT_EQ(summary(Check(file({chunk(a, 6), chunk(b, b.size()), chunk(c, c.size())}))), clean);
    // An unknown chunk between the tracks is skipped.
    EXPECT_EQ(summary(Check(file({chunk(a, a.size()), Cat({Hex("58 58 58 58 00 00 00 02 01 02")}),
                                  chunk(b, b.size()), chunk(c, c.size())}))),
              clean);
    // The running status goes on from the track before: "3C 00" ends the note on channel 1
    // that the first track left sounding.
    const Bytes carried = Cat({first, end});
    const Bytes continued = Cat({Vlq(1000), Hex("3E 00"), end});
    const auto withStatus =
        summary(Check(file({chunk(carried, carried.size()), chunk(continued, continued.size())})));
    for (const std::string& f : withStatus)
        EXPECT_EQ(f.find("note-never-ends"), std::string::npos) << f;
}

// A format 1 file checks as the same events merged into one track of a format 0 file: by
// time, at one time the earlier track first. The songs are those whose findings depend on
// how the tracks interleave: drums split over two tracks, a MIP message and notes at one
// time on different tracks, a GM System On after the MIP message with a note on another
// track after it.
TEST_F(CheckRules, TracksCheckAsTheirMergeInOneTrack) {
    using Timed = std::pair<std::uint32_t, Bytes>; // absolute ms, the event without delta
    const auto events = [](const std::vector<Timed>& list) {
        Bytes out;
        std::uint32_t now = 0;
        for (const auto& [t, bytes] : list) {
            const Bytes delta = Vlq(t - now);
            out.insert(out.end(), delta.begin(), delta.end());
            out.insert(out.end(), bytes.begin(), bytes.end());
            now = t;
        }
        return out;
    };
    const auto mip = Hex("F0 09 7F 7F 0B 01 00 04 09 04 F7");
    const auto gmOn = Hex("F0 05 7E 7F 09 01 F7");
    const auto on = [](int ch, int key) {
        return Bytes{static_cast<std::uint8_t>(0x90 | ch), static_cast<std::uint8_t>(key), 0x40};
    };
    const auto off = [](int ch, int key) {
        return Bytes{static_cast<std::uint8_t>(0x80 | ch), static_cast<std::uint8_t>(key), 0x40};
    };
    std::vector<std::vector<std::vector<Timed>>> songs = {
        // drums on two tracks: the second strikes the key the first holds, then ends it
        {{{0, mip}, {0, on(0, 60)}, {300, off(0, 60)}},
         {{0, on(9, 36)}, {100, off(9, 36)}, {200, on(9, 90)}},
         {{50, on(9, 36)}, {60, off(9, 36)}, {70, on(9, 36)}, {250, off(9, 90)}}},
        // the MIP message at 0 on a later track than a note at 0, then a repeated one
        {{{0, on(0, 60)}, {100, off(0, 60)}},
         {{0, mip}, {0, on(9, 36)}, {10, off(9, 36)}, {20, mip}}},
        // a GM System On after the MIP message, a note on another track after it
        {{{0, mip}, {40, gmOn}, {200, Hex("F0 03 43 10 F7")}},
         {{0, on(0, 60)}, {10, off(0, 60)}, {50, on(0, 61)}, {60, off(0, 61)}},
         {{0, on(9, 36)}, {55, off(9, 36)}}},
    };
    // A song large enough to be read on two threads, whose second thread reads the drums'
    // second track and a SysEx: the tracks meet again in the findings.
    std::vector<std::vector<Timed>> large(4);
    large[0].push_back({0, mip});
    for (std::uint32_t i = 0; i < 60000; ++i) {
        const std::uint32_t t = i * 3;
        large[0].push_back({t, on(0, 40 + static_cast<int>(i % 20))});
        large[0].push_back({t + 1, off(0, 40 + static_cast<int>(i % 20))});
        large[1].push_back({t + 1, on(9, 36)});
        large[1].push_back({t + 2, off(9, 36)});
        large[2].push_back({t + 2, on(9, i % 1000 == 0 ? 90 : 38)});
        large[2].push_back({t + 2, off(9, i % 1000 == 0 ? 90 : 38)});
        large[3].push_back({t, on(1, 50)});
        if (i % 500 == 0)
            large[3].push_back({t, on(1, 50)}); // struck again while it sounds
        large[3].push_back({t + 1, off(1, 50)});
    }
    large[3].push_back({180000, Hex("F0 03 43 10 F7")});
    songs.push_back(large);
    const auto summary = [](const std::vector<SpMidiFinding>& findings) {
        std::vector<std::string> out;
        for (const SpMidiFinding& f : findings)
            out.push_back(std::string(f.rule) + " ch" + std::to_string(f.channel.value_or(-1)) +
                          " " + std::to_string(f.timeMs.value_or(0)) +
                          (f.track ? "" : " " + f.message));
        return out;
    };
    ASSERT_GE(Song(1, 500, {events(large[1]), events(large[2])}).size() * 2,
              SpMidiCheck::kSharedCheckBytes);
    for (std::size_t n = 0; n < songs.size(); ++n) {
        std::vector<Bytes> chunks;
        std::vector<std::tuple<std::uint32_t, std::size_t, std::size_t>> order;
        for (std::size_t t = 0; t < songs[n].size(); ++t) {
            chunks.push_back(events(songs[n][t]));
            for (std::size_t i = 0; i < songs[n][t].size(); ++i)
                order.emplace_back(songs[n][t][i].first, t, i);
        }
        std::sort(order.begin(), order.end());
        std::vector<Timed> merged;
        for (const auto& [time, t, i] : order)
            merged.push_back(songs[n][t][i]);
        const auto apart = summary(Check(Song(1, 500, chunks)));
        EXPECT_FALSE(apart.empty()) << "song " << n;
        EXPECT_EQ(apart, summary(Check(Song(0, 500, {events(merged)})))) << "song " << n;
    }
}

TEST_F(CheckedSongs, SavesKeepTheMipRules) {
    const Bytes lateMip = Cat({Pc(0, 0), On(0, 60), Off(0, 60, 100), Mip({0, 1}, 0x7F, 10),
                               On(0, 62, 64, 10), Off(0, 62, 10), Mip({0, 1}, 0x7F, 10)});
    const struct {
        const char* what;
        Bytes file;
        bool byChannel = false;
        int vibra = -1; // made the vibra channel after loading
    } cases[] = {
        // the by-channel proposal gives the channel without notes priority 1, polyphony 0
        {"controllers only on channel 1", File(Cat({Cc(0, 7, 100), kBody})), true},
        {"the vibra channel at priority 1",
         File(Cat({Pc(2, 33), On(2, 40), Off(2, 40, 50), Body(10)})), true, 2},
        {"the vibra channel alone", File(Cat({On(2, 40), Off(2, 40, 50)})), true, 2},
        {"a MIP message after notes, another later", File(lateMip)},
        {"a GM System On at the start", File(Cat({kGmOn, kBody}))},
        {"a GM2 System On at the start", File(Cat({SysEx(0xF0, Hex("7E 7F 09 03 F7")), kBody}))},
    };
    for (const auto& c : cases) {
        SongFile song;
        song.switches.sysexStripping = false;
        song.switches.prioOblix = !c.byChannel;
        ASSERT_EQ(Load(song, c.file), 1) << c.what;
        if (c.vibra >= 0) {
            ASSERT_TRUE(ChannelCommands::CanBeVibra(song, c.vibra)) << c.what;
            ChannelCommands::SetVibraTrigger(song, c.vibra, true);
            ChannelCommands::SetPriority(song, c.vibra, 1);
        }
        const auto f = SpMidiCheck().CheckBytes(Saved(song));
        EXPECT_FALSE(SpMidiCheck::HasError(f)) << c.what << "\n" << Describe(f);
        for (const char* rule : {"mip-value-zero", "mip-not-at-start", "mip-repeated"})
            EXPECT_EQ(FindRule(f, rule), nullptr) << c.what << ": " << rule;
    }
}

// A large song is checked while it is being written, on a second thread; the findings are
// those of checking the written bytes afterwards. The songs take each way of the walk: one
// channel per track, drums split over two tracks (walked again merged), and a GM System On
// after the MIP message (walked in merged order).
TEST_F(CheckedSongs, ALargeSongChecksAsItsWrittenBytes) {
    const auto notes = [](int ch, int count, int step) {
        Bytes out;
        for (int i = 0; i < count; ++i) {
            const int key = 30 + i % 60;
            // every 97th note is struck again while it sounds; every 89th never ends
            out =
                Cat({out, On(ch, key, 0x40, static_cast<std::uint32_t>(step)),
                     i % 97 == 0 ? On(ch, key) : Bytes{}, i % 89 == 0 ? Bytes{} : Off(ch, key, 2)});
        }
        return out;
    };
    const Bytes gsReset = SysEx(0xF0, Hex("41 10 42 12 40 00 7F 00 41 F7"));
    const Bytes lead = Cat({Mip({0, 4, 9, 7}), Pc(0, 1), notes(0, 12000, 3)});
    const struct {
        const char* what;
        std::vector<Bytes> tracks;
    } songs[] = {
        {"a channel per track",
         {lead, Cat({Cc(1, 91, 40), notes(1, 12000, 4)}), Cat({gsReset, notes(9, 12000, 5)})}},
        {"drums on two tracks", {lead, notes(9, 12000, 4), notes(9, 12000, 7)}},
        {"a GM System On after the MIP message",
         {Cat({lead, kGmOn}), Cat({Cc(2, 1, 3), notes(2, 12000, 4)}), notes(9, 12000, 6)}},
    };
    const auto summary = [](const std::vector<SpMidiFinding>& findings) {
        std::vector<std::string> out;
        for (const SpMidiFinding& f : findings)
            out.push_back(std::string(f.rule) + " ch" + std::to_string(f.channel.value_or(-1)) +
                          " t" + std::to_string(f.track.value_or(-1)) + " " +
                          std::to_string(f.timeMs.value_or(0)) + " " + f.message + " / " + f.fix);
        return out;
    };
    for (const auto& song : songs) {
        const Bytes file = Song(1, 96, song.tracks);
        SongFile piped, after;
        for (SongFile* s : {&piped, &after}) {
            s->switches.sysexStripping = false;
            ASSERT_EQ(Load(*s, file), 1) << song.what;
        }
        std::size_t events = 0;
        for (const Track& track : piped.tracks)
            events += track.events.size();
        ASSERT_GE(events, SpMidiCheck::kPipedEvents) << song.what;
        SpMidiCheck check;
        check.vibraMode = 1;
        const auto whileWriting = check.CheckSaved(piped, SongFile::SaveOptions{});
        EXPECT_GE(whileWriting.size(), 3u) << song.what;
        const Bytes written = Saved(after);
        EXPECT_LE(written.size(), SpMidiCheck::SavedSizeBound(after)) << song.what;
        EXPECT_EQ(summary(whileWriting),
                  summary(SpMidiCheck::Combine(check.CheckBytes(written), check.CheckSong(after))))
            << song.what;
        EXPECT_EQ(Saved(piped), written) << song.what;
    }
}

class WrittenSongTest : public CoreTest,
                        public testing::WithParamInterface<std::filesystem::path> {};

// Each real song as the program, process and the batch may save it: as loaded, with a
// vibra channel made from its bass, with its SysEx kept, and both.
TEST_P(WrittenSongTest, HasNoError) {
    for (const bool keepSysEx : {false, true})
        for (const bool addVibra : {false, true}) {
            SCOPED_TRACE(std::string(keepSysEx ? "SysEx kept" : "SysEx stripped") +
                         (addVibra ? ", vibra added" : ""));
            SongFile song;
            song.switches.sysexStripping = !keepSysEx;
            ASSERT_TRUE(song.LoadFile(GetParam().string()));
            if (addVibra)
                ChannelCommands::AddVibraFromBass(song, true);
            const Bytes written = Saved(song);
            EXPECT_EQ(written, Write(song)) << "what the checker sees is what a save writes";
            const auto fromBytes = SpMidiCheck().CheckBytes(written);
            EXPECT_FALSE(SpMidiCheck::HasError(fromBytes)) << Describe(fromBytes);
            const auto fromAnalysis = SpMidiCheck().CheckSong(song);
            EXPECT_FALSE(SpMidiCheck::HasError(fromAnalysis)) << Describe(fromAnalysis);
        }
}

INSTANTIATE_TEST_SUITE_P(OpenMsx, WrittenSongTest, testing::ValuesIn(testfiles::RealSongs()),
                         [](const auto& info) { return testfiles::TestName(info.param); });

} // namespace
