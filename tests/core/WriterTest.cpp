// The MIP message, Standard MIDI File writing, channel operations and saving.
#include "tests/core/CoreSupport.h"

#include "song/ChannelCommands.h"

#include <cmath>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <utility>

using namespace core;

namespace {

using MipUpdate = CoreTest;
using WriterEvents = CoreTest;
using ChannelOperations = CoreTest;
using Saving = CoreTest;

// A written file taken apart by its chunk lengths.
struct Smf {
    int format = -1, trackCount = -1, division = -1;
    std::vector<Bytes> tracks; // chunk data, End of Track included
};

Smf Parse(const Bytes& file) {
    auto at = [&file](std::size_t i, int n) {
        std::size_t v = 0;
        for (int k = 0; k < n && i + std::size_t(k) < file.size(); ++k)
            v = v << 8 | file[i + std::size_t(k)];
        return v;
    };
    Smf smf{int(at(8, 2)), int(at(10, 2)), int(at(12, 2)), {}};
    EXPECT_EQ(at(0, 8), 0x4D54686400000006u) << "MThd of length 6";
    std::size_t pos = 14;
    for (; pos + 8 <= file.size(); pos += 8 + at(pos + 4, 4)) {
        EXPECT_EQ(at(pos, 4), 0x4D54726Bu) << "MTrk";
        const std::size_t end = std::min(pos + 8 + at(pos + 4, 4), file.size());
        smf.tracks.emplace_back(file.begin() + long(pos + 8), file.begin() + long(end));
    }
    EXPECT_EQ(pos, file.size()) << "chunk lengths add up to the file";
    return smf;
}

const Bytes kEnd = Hex("00 FF 2F 00");

std::size_t CountMip(SongWriter& song) {
    std::size_t n = 0;
    for (const Track& t : song.tracks)
        for (const EventRef e : t.events) {
            const std::uint8_t* d = e.GetData();
            n += e.GetLength() >= 6 && d[0] == 0xF0 && d[1] == 0x7F && d[3] == 0x0B && d[4] == 1;
        }
    return n;
}

struct MipChannel {
    int channel, priority, polyphony;
    bool enabled = true, used = true;
};

// The message, the MIP column, and the channels a phone with some voices keeps by it.
TEST(MipBytes, ListChannelsInPriorityOrder) {
    const struct {
        std::vector<MipChannel> channels;
        int vibra;
        const char* pairs;
        int voices;
        const char* kept; // the channels that phone plays
    } cases[] = {// the vibra adds no voices, but after a channel that did not fit it goes too
                 {{{0, 1, 4}, {9, 2, 3}, {2, 3, 2}}, 2, "00 04 09 07 02 07", 6, "00"},
                 {{{7, 1, 2}, {1, 1, 3}}, -1, "01 03 07 05", 3, "01"},  // same priority
                 {{{0, 1, 4}, {1, 2, 3, false}}, -1, "00 04", 9, "00"}, // muted: left out
                 {{{0, 1, 4}, {1, 2, 3, true, false}, {2, 0, 5}, {3, 17, 5}}, -1, "00 04", 9, "00"},
                 {{{9, 0, 3}}, -1, "", 9, ""},
                 // a channel that needs no voice never heads the list while another follows:
                 // at the head it would carry the value 0, which phones take as "mute"
                 {{{3, 1, 0}, {0, 2, 4}}, 3, "00 04 03 04", 4, "00 03"}, // the vibra
                 {{{5, 1, 0}, {0, 2, 4}, {1, 3, 2}}, -1, "00 04 05 04 01 06", 5, "00 05"},
                 {{{3, 1, 1}}, 3, "03 01", 1, "03"}, // a lone vibra channel still plays
                 {{{5, 1, 0}, {6, 2, 0}}, -1, "05 01 06 01", 1, "05 06"},
                 // above 127 the message says 127, and that is what the phone goes by
                 {{{0, 1, 60}, {1, 2, 60}, {2, 3, 60}}, -1, "00 3C 01 78 02 7F", 127, "00 01 02"}};
    for (const auto& c : cases) {
        SongFile song;
        for (const MipChannel& m : c.channels) {
            song.used[m.channel] = m.used;
            song.enabled[m.channel] = m.enabled;
            song.priority[m.channel] = m.priority;
            song.polyphony[m.channel] = m.polyphony;
        }
        song.vibraChannel = c.vibra;
        const Bytes pairs = Hex(c.pairs);
        const Bytes expected = Cat({Hex("F0 7F 7F 0B 01"), pairs, {0xF7}});
        EXPECT_EQ(song.BuildMipMessage(), expected);
        song.ComputeMipTable(); // the message carries the MIP column; a muted channel has 0
        for (std::size_t i = 0; i + 1 < pairs.size(); i += 2)
            EXPECT_EQ(std::min(song.mip[pairs[i]], 127), pairs[i + 1]);
        for (const MipChannel& m : c.channels)
            EXPECT_TRUE(m.enabled || song.mip[m.channel] == 0);
        SongWriter::ChannelFlags kept{};
        for (std::uint8_t ch : Hex(c.kept))
            kept[ch] = true;
        EXPECT_EQ(song.ChannelsForVoices(c.voices), kept) << c.pairs << " with " << c.voices;
    }
}

const Bytes kTwoChannels = Cat({On(0, 60), On(0, 62), On(1, 60)}); // 2 notes on 0, 1 on 1

TEST_F(MipUpdate, MovesTheMessageToTheStart) {
    SongFile song;
    song.switches.sysexStripping = false;
    // a message with device id 10 after the notes of the second track, and another later
    Load(song, Song(1, 96,
                    {kTempo, Cat({kTwoChannels, Hex("60 F0 09 7F 10 0B 01 00 05 01 06 F7"),
                                  Off(0, 60), Hex("60 F0 07 7F 7F 0B 01 01 01 F7")})}));
    ASSERT_TRUE(song.hasMipMessage);
    song.SetPolyphony(1, 3);
    song.UpdateMipMessage();
    EXPECT_EQ(CountMip(song), 1u) << "the later message goes too";
    ASSERT_EQ(song.GetTrack(0).GetEventCount(), 2u);
    const EventRef mip = song.GetTrack(0).GetEvent(0);
    EXPECT_EQ(mip.GetTime(), 0u);
    EXPECT_EQ(Bytes(mip.GetData(), mip.GetData() + mip.GetLength()),
              Hex("F0 7F 7F 0B 01 00 05 01 08 F7"));
    EXPECT_EQ(song.GetTrack(1).GetEventCount(), 4u) << "three notes and a note-off";
}

TEST_F(MipUpdate, ComesAfterAGmSystemOnAtTheStart) {
    // A GM (or GM2) System On after the MIP message resets the engine's table.
    const Bytes gm1 = Hex("00 F0 05 7E 7F 09 01 F7"), gm2 = Hex("00 F0 05 7E 7F 09 03 F7");
    for (const Bytes& on : {gm1, gm2}) {
        SongFile song;
        song.switches.sysexStripping = false;
        Load(song, Song(0, 96, {Cat({Meta(0x03, "name"), on, Pc(0, 1), kTwoChannels})}));
        song.UpdateMipMessage();
        song.UpdateMipMessage();
        const Track& track = song.GetTrack(0);
        ASSERT_EQ(track.GetEventCount(), 7u);
        EXPECT_EQ(track.GetEvent(1).GetData()[1], 0x7E) << "the GM System On stays second";
        EXPECT_TRUE(SongWriter::IsMipMessage(track.GetEvent(2)));
        EXPECT_TRUE(track.GetEvent(3).IsChannelMessage());
    }
    // Without one the message heads the track, before a name.
    SongFile plain;
    Load(plain, Song(0, 96, {Cat({Meta(0x03, "name"), kTwoChannels})}));
    plain.UpdateMipMessage();
    EXPECT_TRUE(SongWriter::IsMipMessage(plain.GetTrack(0).GetEvent(0)));
}

TEST_F(MipUpdate, InsertsAtTheFrontOnce) {
    SongFile song;
    Load(song, Song(1, 96, {Meta(0x03, "tempo track"), kTwoChannels}));
    song.UpdateMipMessage();
    song.UpdateMipMessage();
    EXPECT_EQ(CountMip(song), 1u);
    EXPECT_EQ(song.GetTrack(0).GetEvent(0).GetCode(), 0xF0);
    EXPECT_EQ(song.GetTrack(0).GetEventCount(), 2u);
    EXPECT_FALSE(song.hasMipMessage) << "still describes the source file";

    SongFile empty; // a first track without events receives it
    Load(empty, Song(1, 96, {{}, kTwoChannels}));
    empty.UpdateMipMessage();
    ASSERT_EQ(empty.GetTrack(0).GetEventCount(), 1u);
    EXPECT_EQ(Parse(Write(empty)).trackCount, 2);
}

TEST_F(MipUpdate, NeverLeavesAnEmptyMessage) {
    // A drum-only song lists its percussion channel.
    SongFile drums;
    Load(drums, Song(0, 96, {Cat({On(9, 36), On(9, 38), Off(9, 36, 96), Off(9, 38)})}));
    drums.UpdateMipMessage();
    const auto mip = drums.FindMipMessage();
    ASSERT_TRUE(mip.has_value());
    EXPECT_EQ(Bytes(mip->GetData(), mip->GetData() + mip->GetLength()),
              Hex("F0 7F 7F 0B 01 09 02 F7"));

    // With every channel muted no channel would be listed: the song's message, and a kept
    // six-byte one, are taken out rather than telling an engine to mute everything.
    SongFile muted;
    muted.switches.sysexStripping = false;
    Load(muted, Song(0, 96,
                     {Cat({Hex("00 F0 05 7F 7F 0B 01 F7"), Hex("00 F0 07 7F 7F 0B 01 00 01 F7"),
                           kTwoChannels})}));
    ASSERT_TRUE(muted.hasMipMessage);
    muted.enabled.fill(false);
    muted.UpdateMipMessage();
    EXPECT_EQ(CountMip(muted), 0u);
    EXPECT_EQ(muted.GetTrack(0).GetEventCount(), 3u) << "the notes stay";
    // Unmuted again, the next save has one message at the front.
    muted.enabled.fill(true);
    muted.UpdateMipMessage();
    muted.UpdateMipMessage();
    EXPECT_EQ(CountMip(muted), 1u);
    EXPECT_EQ(muted.GetTrack(0).GetEvent(0).GetCode(), 0xF0);
}

TEST_F(WriterEvents, HeaderTracksAndDivision) {
    const Bytes n = On(0, 60);
    struct {
        std::vector<Bytes> tracks;
        int format, written;
    } cases[] = {{{n}, 0, 1},
                 {{{}, n, {}}, 0, 1},
                 {{n, {}, n}, 1, 2},
                 // No event at all: still one track, or the file would not load again.
                 {{{}, {}}, 0, 1}};
    for (const auto& c : cases) {
        SongFile song;
        Load(song, Song(1, 96, c.tracks));
        const Bytes written = Write(song);
        SongFile again;
        Load(again, written);
        EXPECT_TRUE(again.lastLoad.IsSmf()) << "the written song loads again";
        const Smf smf = Parse(written);
        EXPECT_EQ(smf.format, c.format);
        EXPECT_EQ(smf.trackCount, c.written);
        EXPECT_EQ(smf.tracks.size(), std::size_t(c.written));
        EXPECT_EQ(smf.division, 96);
    }
    SongFile many; // more than 64 tracks
    Load(many, Song(1, 96, std::vector<Bytes>(100, n)));
    EXPECT_EQ(Parse(Write(many)).tracks.size(), 100u);
    SongFile smpte; // a track of muted events holds only End of Track
    Load(smpte, Cat({testfiles::Header(1, 2, 0xE728), testfiles::TrackChunk(n),
                     testfiles::TrackChunk(On(1, 60))}));
    ChannelCommands::ToggleMute(smpte, 1);
    const Smf smf = Parse(Write(smpte));
    EXPECT_EQ(smf.division, 1000) << "frames x ticks written as ticks per quarter note";
    EXPECT_EQ(smf.tracks, (std::vector<Bytes>{Cat({Hex("00 90 3C 40"), kEnd}), kEnd}));
}

struct BodyCase {
    const char* name;
    Bytes events;        // of a format 0 song, division 96
    const char* written; // the track's bytes before End of Track
    bool keepMeta = false, keepSysEx = true;
    int vibra = -1;
    unsigned vibraMode = 0;
};

TEST_F(WriterEvents, WriteTheTrack) {
    const Bytes gmOn = Hex("00 F0 05 7E 7F 09 01 F7"), escape = Hex("00 F7 03 90 3C 40");
    const BodyCase cases[] = {
        // the second status byte is left out; SysEx (like meta events) breaks running status
        {"runningStatus", Cat({On(0, 0x3C), On(0, 0x3E)}), "00 90 3C 40 00 3E 40"},
        {"sysex", Cat({On(0, 0x3C), gmOn, On(0, 0x3E)}),
         "00 90 3C 40 00 F0 05 7E 7F 09 01 F7 00 90 3E 40"},
        {"textStripped", Cat({On(0, 0x3C), Meta(0x03, "Name"), On(0, 0x3E, 0x40, 96)}),
         "00 90 3C 40 60 3E 40"},
        {"textKept", Cat({Meta(0x03, "Na"), Meta(0x06, "Ma"), On(0, 0x3C)}),
         "00 FF 03 02 4E 61 00 FF 06 02 4D 61 00 90 3C 40", true},
        // Channel Prefix, Sequencer-Specific, Device Name, Program Name, text type 0E
        {"sharedTypes",
         Hex("00 FF 20 01 05 00 FF 7F 02 41 42 00 FF 09 01 44 00 FF 08 01 50 "
             "00 FF 0E 01 51"),
         "00 FF 20 01 05 00 FF 7F 02 41 42 00 FF 09 01 44 00 FF 08 01 50 00 FF 0E 01 51", true},
        {"noteOff", Cat({On(0, 0x3C), Off(0, 0x3C, 96)}), "00 90 3C 40 60 3C 00"},
        // a damaged data byte with its top bit set keeps its status byte in front of it, and
        // one-byte system messages are never written as a bare delta
        {"damagedData", Hex("00 90 3C 40 00 90 F0 64"), "00 90 3C 40 00 90 F0 64"},
        {"systemStatus", Hex("00 F8 00 F8 00 90 3C 40 00 3E 40"),
         "00 F8 00 F8 00 90 3C 40 00 3E 40"},
        {"escape", Cat({escape, On(0, 0x3E)}), "00 F7 03 90 3C 40 00 90 3E 40"},
        {"systemLeftOut", Cat({escape, Hex("00 F0 01 F7 00 F3 01"), On(0, 0x3E)}), "00 90 3E 40",
         false, false},
        // the setup (volume 1, bank 121/6, program 124) replaces the channel's own volume and
        // program; later volume changes are dropped, pan is kept
        {"vibraSetup",
         Cat({Cc(5, 7, 100), Pc(5, 0x21), On(5, 0x30, 0x64), Cc(5, 7, 80, 96), Cc(5, 10, 64),
              Pc(5, 16)}),
         "00 B5 07 01 00 00 79 00 20 06 00 C5 7C 00 95 30 64 60 B5 0A 40", false, true, 5, 1},
        {"vibraSetupMode0", Cat({On(0, 0x3C), On(5, 0x30, 0x64, 96)}),
         "00 90 3C 40 60 B5 07 01 00 00 79 00 20 06 00 C5 7D 00 95 30 64", false, true, 5, 0}};
    for (const BodyCase& c : cases) {
        SongFile song;
        song.switches.sysexStripping = false;
        Load(song, Song(0, 96, {c.events}));
        song.SetKeepMeta(c.keepMeta);
        song.SetKeepSysEx(c.keepSysEx);
        song.vibraChannel = c.vibra;
        song.switches.vibraMode = c.vibraMode;
        const Smf smf = Parse(Write(song));
        ASSERT_EQ(smf.tracks.size(), 1u) << c.name;
        EXPECT_EQ(smf.tracks[0], Cat({Hex(c.written), kEnd})) << c.name;
    }
}

TEST_F(WriterEvents, SysExAndMetaLengths) {
    SongFile song;
    song.switches.sysexStripping = false;
    const Bytes sysex = Cat({Hex("00 F0 81 47"), Bytes(198, 0x11), {0xF7}}); // 200 bytes stored
    const Bytes text = Meta(0x01, std::string(200, 'x'));
    Load(song, Song(0, 96, {Cat({sysex, text})}));
    song.SetKeepMeta(true);
    EXPECT_EQ(Parse(Write(song)).tracks[0],
              Cat({sysex, Hex("00 FF 01 81 48"), Bytes(200, 'x'), kEnd}));
}

// Program mapping and the move of channel 11 percussion to channel 10 happen only in the
// playback render; the mapping stays in the song.
TEST_F(WriterEvents, PlaybackRender) {
    SongFile song;
    Load(song,
         Song(0, 96, {Cat({Cc(10, 0, 120), Cc(10, 32, 0), Pc(0, 1), On(10, 36), On(0, 60)})}));
    ASSERT_TRUE(song.channel11Percussion);
    EXPECT_EQ(Parse(song.RenderForPlayback(-1)).tracks[0],
              Cat({Hex("00 B9 00 78 00 20 00 00 C0 00 00 99 24 40 00 90 3C 40"), kEnd}));
    EXPECT_EQ(Parse(song.RenderForPlayback(10)).tracks[0],
              Cat({Hex("00 B9 00 78 00 20 00 00 99 24 40"), kEnd}));
    song.switches.instrumentMapIndex = 1;
    EXPECT_EQ(Parse(Write(song)).tracks[0],
              Cat({Hex("00 BA 00 78 00 20 00 00 C0 00 00 9A 24 40 00 90 3C 40"), kEnd}));
}

TEST_F(WriterEvents, TicksBeyond32Bits) {
    const std::uint8_t note[3] = {0x90, 0x3C, 0x40};
    SongFile longSong; // 0xFFFFFFFE ms at division 32767

    longSong.division = 32767;
    longSong.GetTrack(0).AddEvent(0xFFFFFFFE, note, 3, false);
    const Bytes body = Parse(Write(longSong)).tracks[0];
    std::uint64_t delta = 0;
    std::size_t i = 0;
    for (; body[i] & 0x80; ++i)
        delta = delta << 7 | (body[i] & 0x7F);
    delta = delta << 7 | body[i];
    EXPECT_EQ(delta, std::uint64_t(std::floor(4294967294.0 / (500000.0 / 32767000.0) + 0.5)));
    EXPECT_GT(delta, 0xFFFFFFFFull);
}

std::vector<Bytes> ChannelBytes(const Track& track) {
    std::vector<Bytes> out;
    for (const EventRef e : track.events)
        if (e.IsChannelMessage())
            out.emplace_back(e.GetData(), e.GetData() + e.GetLength());
    return out;
}

TEST_F(ChannelOperations, DuplicateCopiesInFrontOfEachSource) {
    SongFile song;
    song.switches.sysexStripping = false;
    song.switches.prioOblix = false;
    Load(song, Song(0, 96,
                    {Cat({Pc(2, 0x21), Cc(2, 0, 0), On(2, 0x28, 0x64),
                          Hex("00 F7 03 92 28 64"), // an escape holding a note
                          kTempo, Meta(0x03, "x"), Hex("00 F0 01 F7"), On(0, 60), On(1, 60)})}));
    const std::size_t before = song.GetTrack(0).GetEventCount();
    song.polyphony[2] = 5;
    EXPECT_EQ(song.DuplicateChannel(2, 5), 1);
    EXPECT_EQ(
        ChannelBytes(song.GetTrack(0)),
        (std::vector<Bytes>{Hex("C5 21"), Hex("C2 21"), Hex("B5 00 00"), Hex("B2 00 00"),
                            Hex("95 28 64"), Hex("92 28 64"), Hex("90 3C 40"), Hex("91 3C 40")}));
    EXPECT_EQ(song.GetTrack(0).GetEventCount(), before + 3) << "nothing else is copied";
    EXPECT_EQ(song.polyphony[5], 5);
    EXPECT_EQ(song.maxPolyphony[5], 2) << "the escape's note counts too";
    EXPECT_EQ(song.priority[5], 4) << "the last priority";
}

TEST_F(ChannelOperations, RemoveLeavesSystemEventsAndClearsTheVibraChannel) {
    SongFile song;
    song.switches.sysexStripping = false;
    Load(song, Song(0, 96, {Cat({kTwoChannels, Hex("00 F0 01 F7"), kTempo, Off(0, 60)})}));
    song.UpdateMipMessage();
    song.vibraChannel = 0;
    ASSERT_EQ(song.priority[0], 1);
    ChannelCommands::Remove(song, 0);
    EXPECT_FALSE(song.IsChannelUsed(0));
    EXPECT_EQ(song.vibraChannel, -1);
    EXPECT_EQ(song.priority[0], 0) << "a removed channel holds no place";
    EXPECT_EQ(song.priority[1], 1) << "the channel after it moves up";
    EXPECT_EQ(ChannelBytes(song.GetTrack(0)), std::vector<Bytes>{Hex("91 3C 40")});
    EXPECT_EQ(song.GetTrack(0).GetEventCount(), 4u) << "MIP message, SysEx, tempo, note";
    EXPECT_EQ(song.RemoveChannel(0), 0);
    song.DuplicateChannel(1, 0); // a copy onto the freed channel is no vibra trigger
    const Bytes body = Parse(Write(song)).tracks[0];
    EXPECT_EQ(std::find(body.begin(), body.end(), 0x79), body.end()) << "no Bank Select 121";
}

// A chord of 3 on channel 0, a monophonic bass on 1, single notes on 2.
const Bytes kChordBassAndLead =
    Cat({Pc(1, 0x21), On(0, 60), On(0, 64), On(0, 67), On(1, 40), On(2, 50, 0x40, 48),
         Off(0, 60, 48), Off(0, 64), Off(0, 67), Off(1, 40), Off(2, 50)});

TEST_F(ChannelOperations, DuplicateAndRemoveKeepTheNumbersTrue) {
    SongFile song; // a chord of 3 on channel 0, single notes on 1 and 2
    song.switches.prioOblix = false;
    Load(song, Song(0, 96, {kChordBassAndLead}));
    ASSERT_EQ(song.sequencePolyphony, 5);
    ChannelCommands::Duplicate(song, 0, 4);
    EXPECT_EQ(song.sequencePolyphony, 8) << "the copy's notes count at once";
    EXPECT_EQ(song.priority[4], 4);

    // Removing channel 1 (priority 2) moves the channels after it up: 1..n again.
    ChannelCommands::Remove(song, 1);
    EXPECT_EQ(song.sequencePolyphony, 7);
    EXPECT_EQ((std::array{song.priority[0], song.priority[1], song.priority[2], song.priority[4]}),
              (std::array{1, 0, 2, 3}));
    EXPECT_EQ(song.mip[4], 3 + 1 + 3);
    song.UpdateMipMessage();
    const auto mip = song.FindMipMessage();
    ASSERT_TRUE(mip.has_value());
    EXPECT_EQ(Bytes(mip->GetData(), mip->GetData() + mip->GetLength()),
              Hex("F0 7F 7F 0B 01 00 03 02 04 04 07 F7"));
}

TEST_F(ChannelOperations, RulesFollowTheSong) {
    namespace cc = ChannelCommands;
    SongFile one, three;
    one.switches.prioOblix = three.switches.prioOblix = false;
    Load(one, Song(0, 96, {Cat({On(4, 60), Off(4, 60, 96)})}));
    Load(three, Song(0, 96, {kChordBassAndLead}));
    // Mute, Solo and Remove need a second channel; the Solo mark too.
    EXPECT_FALSE(cc::CanMute(one) || cc::CanSolo(one) || cc::CanRemove(one));
    EXPECT_TRUE(cc::CanMute(three) && cc::CanSolo(three) && cc::CanRemove(three));
    EXPECT_FALSE(cc::SoloChecked(one, 4));
    cc::ToggleSolo(three, 1);
    EXPECT_TRUE(cc::SoloChecked(three, 1) && cc::MuteChecked(three, 0));
    EXPECT_FALSE(cc::SoloChecked(three, 0) || cc::MuteChecked(three, 1));

    // A duplicate goes to a free channel, never to the percussion channel.
    EXPECT_EQ(cc::DuplicateCandidates(three),
              (std::vector<int>{3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15}));
    EXPECT_TRUE(cc::CanDuplicate(three));
    for (int ch = 3; ch < 16; ++ch)
        if (ch != 9)
            cc::Duplicate(three, 1, ch);
    EXPECT_FALSE(cc::CanDuplicate(three)) << "channel 10 is free but takes no copy";

    // The vibra: monophonic channels only; it then declares no polyphony of its own.
    EXPECT_FALSE(cc::CanBeVibra(three, 0));
    EXPECT_FALSE(cc::CanBeVibra(three, 9)) << "a silent channel";
    EXPECT_TRUE(cc::CanBeVibra(three, 1));
    EXPECT_TRUE(cc::CanSetPolyphony(three, 1));
    cc::SetVibraTrigger(three, 1, true);
    EXPECT_FALSE(cc::CanSetPolyphony(three, 1));

    const cc::Range priorities = cc::PriorityRange(three);
    EXPECT_EQ(std::pair(priorities.lo, priorities.hi), std::pair(1, 15));
    const cc::Range voices = cc::PolyphonyRange(three, 0);
    EXPECT_EQ(std::pair(voices.lo, voices.hi), std::pair(0, 3));
}

// Every edit leaves the MIP column and the sequence polyphony as a fresh computation gives
// them: the view, the Polyphony window and the CLI show and report them without asking.
TEST_F(ChannelOperations, EveryEditRecomputesTheSums) {
    namespace cc = ChannelCommands;
    const std::pair<const char*, std::function<void(SongFile&)>> edits[] = {
        {"mute", [](SongFile& s) { cc::ToggleMute(s, 0); }},
        {"solo", [](SongFile& s) { cc::ToggleSolo(s, 1); }},
        {"box", [](SongFile& s) { cc::SetEnabled(s, 2, false); }},
        {"none", [](SongFile& s) { cc::SetAllEnabled(s, false); }},
        {"priority", [](SongFile& s) { cc::SetPriority(s, 2, 1); }},
        {"polyphony", [](SongFile& s) { cc::SetPolyphony(s, 0, 1); }},
        {"vibra", [](SongFile& s) { cc::SetVibraTrigger(s, 1, true); }},
        {"remove", [](SongFile& s) { cc::Remove(s, 1); }},
        {"duplicate", [](SongFile& s) { cc::Duplicate(s, 0, 4); }},
        {"add vibra", [](SongFile& s) { EXPECT_EQ(cc::AddVibraFromBass(s), 3); }}};
    for (const auto& [name, edit] : edits) {
        SongFile song;
        song.switches.prioOblix = false;
        Load(song, Song(0, 96, {kChordBassAndLead}));
        const auto before = std::pair(song.mip, song.sequencePolyphony);
        edit(song);
        const auto after = std::pair(song.mip, song.sequencePolyphony);
        EXPECT_NE(after, before) << name << " changes the sums";
        song.ComputeMipTable();
        song.ComputeSequencePolyphony();
        EXPECT_EQ(after, std::pair(song.mip, song.sequencePolyphony)) << name;
    }
}

// The CLI tests add the vibra to a real bass; these are the refusals and the new order.
TEST_F(ChannelOperations, AddVibraFromBass) {
    for (const int refusal : {0, 1, 2}) { // none, a bass playing chords, no free channel
        Bytes events = Cat({Pc(1, 0x21), On(0, 60), On(1, 60), On(2, 60), On(3, 60)});
        for (int ch = 4; refusal == 2 && ch < 16; ++ch)
            events = Cat({events, On(ch, 60)});
        SongFile song;
        song.switches.prioOblix = false;
        Load(song, Song(0, 96, {Cat({events, refusal == 1 ? On(1, 62) : Bytes{}})}));
        const std::array<int, 16> before = song.priority;
        EXPECT_EQ(song.AddVibraFromBass(), refusal == 0 ? 4 : -1) << refusal;
        if (refusal > 0) {
            EXPECT_EQ(song.priority, before) << "nothing changes";
            continue;
        }
        EXPECT_EQ(song.vibraChannel, 4);
        EXPECT_EQ((std::array{song.priority[0], song.priority[4], song.priority[1]}),
                  (std::array{1, 2, 3}))
            << "the channel that had priority 2 moves down";
    }
}

std::size_t FilesIn(const std::filesystem::path& folder) {
    return std::size_t(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST_F(Saving, ReplacesTheFileAtomically) {
    testfiles::TempDir dir;
    const auto target = dir / "song.mid";
    const Bytes old(1000, 0x55);
    WriteFile(target, old);
    std::filesystem::create_hard_link(target, dir / "link.mid");
    SongFile song;
    Load(song, Song(0, 96, {kTwoChannels}));
    ASSERT_TRUE(song.SaveFile(target.string())) << song.lastError;
    EXPECT_EQ(ReadFile(target), Write(song));
    EXPECT_EQ(ReadFile(dir / "link.mid"), old) << "written beside it and renamed over it";
    EXPECT_EQ(FilesIn(dir.Path()), 2u) << "no temporary file left";
}

TEST_F(Saving, FailureKeepsTheOldFileAndSaysWhy) {
    testfiles::TempDir dir;
    SongFile song;
    Load(song, Song(0, 96, {Cat({Meta(0x01, std::string(5000, 'x')), kTwoChannels})}));
    song.SetKeepMeta(true);
    EXPECT_FALSE(song.SaveFile((dir / "missing" / "song.mid").string()));
    EXPECT_NE(song.lastError.find("No such file"), std::string::npos) << song.lastError;

    // the disk fills up in the middle of the write
    const auto target = dir / "song.mid";
    const Bytes old(100, 0x55);
    WriteFile(target, old);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = song.SaveFile(target.string());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(ok);
    EXPECT_NE(song.lastError.find("too large"), std::string::npos) << song.lastError;
    EXPECT_EQ(ReadFile(target), old);
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

} // namespace
