// The engine and the song player over recording outputs: timing, ending, stopping,
// restarting, ports, settings and progress.
#include "playback/Sequencer.h"
#include "playback/SongPlayer.h"
#include "tests/playback/PlaybackSupport.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

using namespace playtest;

namespace {

using EngineTest = EngineFixture;

// Channels 1 and 2 strike a note together every `stepMs`, `count` times (division 500: a
// tick is 1 ms).
Bytes TwoChannelsStriking(std::uint32_t stepMs, int count) {
    Bytes events;
    for (int i = 0; i < count; ++i)
        events = Cat({events, Vlq(i == 0 ? 0 : 1), Bytes{0x90, 0x3C, 0x64, 0x00, 0x91, 0x40, 0x64},
                      Vlq(stepMs - 1), Bytes{0x80, 0x3C, 0x00, 0x00, 0x81, 0x40, 0x00}});
    return Cat({testfiles::Header(0, 1, 500), testfiles::TrackChunk(events)});
}

bool IsNoteOn(const Bytes& m, int channel) {
    return m.size() == 3 && m[0] == (0x90 | channel) && m[2] > 0;
}

// A sequencer over a clock of its own: the audible channels change at a given song time.
TEST(SequencerTest, NoteOnsOfAMutedChannelAreLeftOutAndItIsSilencedAtOnce) {
    const Bytes song = TwoChannelsStriking(100, 10);
    const auto segment = Segment::FromSmf(song.data(), song.size());
    ASSERT_NE(segment, nullptr);
    RecordingOutput output;
    std::atomic<std::uint16_t> audible{0x0003};
    std::vector<std::pair<std::uint64_t, std::size_t>> clock; // (time, messages so far)
    const bool ended = Sequencer::Run(
        *segment, output,
        [&](std::uint64_t timeUs) {
            clock.emplace_back(timeUs, output.Messages().size());
            // Muted between two notes, unmuted again later.
            if (timeUs >= 330000 && timeUs < 650000)
                audible = 0x0001;
            else if (timeUs >= 650000)
                audible = 0x0003;
            return true;
        },
        &audible);
    EXPECT_TRUE(ended);
    for (std::size_t i = 1; i < clock.size(); ++i)
        EXPECT_LE(clock[i].first - clock[i - 1].first, Sequencer::kAudibleCheckUs);
    const auto messages = output.Messages();
    int onsOfChannel2 = 0;
    std::size_t silenced = 0;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        onsOfChannel2 += IsNoteOn(messages[i].bytes, 1);
        if (messages[i].bytes == Bytes{0xB1, 120, 0}) {
            EXPECT_EQ(silenced, 0u) << "silenced once";
            silenced = i;
            ASSERT_LT(i + 1, messages.size());
            EXPECT_EQ(messages[i + 1].bytes, (Bytes{0xB1, 123, 0}));
        }
    }
    ASSERT_GT(silenced, 0u);
    // Notes at 0, 100 ... 900 ms: those at 400, 500 and 600 ms are left out; channel 1 and
    // the note-offs play on.
    EXPECT_EQ(onsOfChannel2, 7);
    int onsOfChannel1 = 0;
    for (const auto& m : messages)
        onsOfChannel1 += IsNoteOn(m.bytes, 0);
    EXPECT_EQ(onsOfChannel1, 10);
    // The silence comes at the step after the change, before the next note.
    const auto stepOfChange =
        std::find_if(clock.begin(), clock.end(), [](const auto& c) { return c.first >= 330000; });
    ASSERT_NE(stepOfChange, clock.end());
    EXPECT_EQ(silenced, stepOfChange->second);
}

TEST_F(EngineTest, MutingWhilePlayingSilencesTheChannelWithoutARestart) {
    ASSERT_TRUE(Start());
    const auto state = Play(TwoChannelsStriking(20, 1000)); // 20 s
    ASSERT_NE(state, nullptr);
    const auto countOns = [&](int channel, std::size_t from) {
        const auto messages = device_->Messages();
        int n = 0;
        for (std::size_t i = from; i < messages.size(); ++i)
            n += IsNoteOn(messages[i].bytes, channel);
        return n;
    };
    ASSERT_TRUE(WaitUntil([&] { return countOns(1, 0) > 0; }));
    state->SetAudibleChannels(0x0001);
    std::size_t silenced = 0;
    ASSERT_TRUE(WaitUntil([&] {
        const auto messages = device_->Messages();
        for (std::size_t i = 0; i < messages.size(); ++i)
            if (messages[i].bytes == Bytes{0xB1, 123, 0})
                silenced = i;
        return silenced > 0;
    }));
    // Channel 1 plays on, channel 2 strikes no note after its silence.
    ASSERT_TRUE(WaitUntil([&] { return countOns(0, silenced) >= 3; }));
    EXPECT_EQ(countOns(1, silenced), 0);
    state->SetAudibleChannels(0x0003);
    const std::size_t unmuted = device_->Messages().size();
    ASSERT_TRUE(WaitUntil([&] { return countOns(1, unmuted) > 0; }));
    EXPECT_TRUE(state->IsPlaying()) << "the same playback, not a new one";
    StopAndWait();
}

TEST_F(EngineTest, EventsArriveInOrderAtTheirTempoScaledTimesAndPlayEndsByItself) {
    ASSERT_TRUE(Start());
    // division 500: a tick lasts 1 ms, and 0.5 ms from tick 100 on (a tempo in another track)
    const auto state =
        Play(Cat({testfiles::Header(1, 2, 500), testfiles::TrackChunk(Hex("64 FF 51 03 03 D0 90")),
                  testfiles::TrackChunk(Hex("00 FF 03 01 53 "               // not sent
                                            "00 F0 05 7E 7F 09 01 F7 "      // sent whole
                                            "00 90 3C 64 64 80 3C 00 "      // 0, 100 ms
                                            "81 48 90 3E 64 64 3E 00"))})); // 200, 250
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(IsEnginePlaying()); // at once, before the thread has run
    ASSERT_TRUE(WaitForEnd()) << "a song ends by itself";
    EXPECT_FALSE(state->IsPlaying());
    const auto messages = device_->Messages();
    const std::vector<std::pair<std::chrono::milliseconds, Bytes>> expected = {
        {0ms, Hex("F0 7E 7F 09 01 F7")},
        {0ms, Hex("90 3C 64")},
        {100ms, Hex("80 3C 00")},
        {200ms, Hex("90 3E 64")},
        {250ms, Hex("90 3E 00")}};
    ASSERT_EQ(messages.size(), expected.size()) << "a song that ends by itself is not silenced";
    // Never early, however loaded the machine: each message waits for its time (a late one
    // may be followed closely by the next, which keeps to the song's own clock).
    for (std::size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(messages[i].bytes, expected[i].second) << "message " << i;
        EXPECT_GE(messages[i].at - state->GetStart(), expected[i].first - 1ms) << i << " early";
    }
}

TEST_F(EngineTest, PlayWhilePlayingRestartsAndStopEndsTheThreadAndSilences) {
    ASSERT_TRUE(Start());
    // Notes far longer than any stall: a stop that is not noticed would take seconds.
    const auto first = Play(OneNote(20000));
    ASSERT_TRUE(WaitUntil([&] { return first->GetSeek() >= 200; }));
    const auto second = Play(OneNote(20000));
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(first->IsPlaying());
    EXPECT_TRUE(IsEnginePlaying());
    EXPECT_LT(second->GetSeek(), 200u) << "from the beginning";
    ASSERT_TRUE(WaitForMessages(1 + 32 + 1)) << "the second Note On";
    const auto before = Clock::now();
    StopAndWait();
    EXPECT_LT(Clock::now() - before, 5s) << "the stop is noticed at once, not at the note's end";
    EXPECT_FALSE(IsEnginePlaying());
    EXPECT_FALSE(second->IsPlaying());
    // Note On, the first playback silenced, the Note On of the second, the second silenced
    const auto messages = device_->Messages();
    ASSERT_EQ(messages.size(), 1u + 32u + 1u + 32u);
    EXPECT_EQ(messages[0].bytes, messages[33].bytes);
    EXPECT_TRUE(EndsWithSilence({messages.begin(), messages.begin() + 33}));
    EXPECT_TRUE(EndsWithSilence(messages));
}

TEST_F(EngineTest, PortChangeStopsPlaybackAndTheNextOneUsesThePort) {
    ASSERT_TRUE(Start({"Synth A", "Synth B", "broken C"}));
    ASSERT_EQ(GetOutputPortCount(), 3u);
    EXPECT_EQ(GetOutputPort(1).name, "Synth B");
    EXPECT_THROW(GetOutputPort(3), std::invalid_argument);
    Play(OneNote(20000));
    ASSERT_TRUE(WaitForMessages(1)) << "the Note On";
    SelectOutputPort(2);
    EXPECT_FALSE(IsEnginePlaying());
    EXPECT_EQ(GetMidiOutputDeviceIndex(), 2u);
    EXPECT_TRUE(EndsWithSilence(device_->Messages()));
    const std::size_t sentToDefault = device_->Messages().size();
    Play(OneNote(30));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(device_->Messages().size(), sentToDefault);
    EXPECT_TRUE(ports_[0]->Messages().empty());
    EXPECT_EQ(ports_[1]->Messages().size(), 2u);
    // a port that will not open, or an index beyond the ports: the default device
    for (const std::uint32_t index : {3u, 4u}) {
        SelectOutputPort(1);
        SelectOutputPort(index);
        EXPECT_EQ(GetMidiOutputDeviceIndex(), 0u) << index;
    }
    SelectOutputPort(2);
    SetInstrumentMapIndex(1);
    ShutdownSoundEngine();
    EXPECT_EQ(store_.values["MIDIOutputDeviceIndex"], 2u) << "the choices of the run are stored";
    EXPECT_EQ(store_.values["InstrumentMapIndex"], 1u);
}

TEST_F(EngineTest, SavedSettingsAreUsedAtStartAndWrittenAtShutdown) {
    const struct {
        std::optional<std::uint32_t> savedDevice, savedMap;
        std::uint32_t device, map; // selected at start and written at shutdown
        const char* firstPort;
    } cases[] = {{std::nullopt, std::nullopt, 0, 0, "Synth A"},
                 {2, 1, 2, 1, "Synth A"},
                 {3, 0, 0, 0, "Synth A"},       // a port unplugged since
                 {1, 1, 0, 1, "broken Synth"}}; // a port that will not open
    for (const auto& c : cases) {
        store_.values.clear();
        if (c.savedDevice)
            store_.values["MIDIOutputDeviceIndex"] = *c.savedDevice;
        if (c.savedMap)
            store_.values["InstrumentMapIndex"] = *c.savedMap;
        SetInstrumentMapIndex(7);
        ASSERT_TRUE(Start({c.firstPort, "Synth B"}));
        EXPECT_EQ(GetMidiOutputDeviceIndex(), c.device) << c.firstPort;
        EXPECT_EQ(GetInstrumentMapIndex(), c.map);
        ShutdownSoundEngine();
        EXPECT_EQ(store_.values["MIDIOutputDeviceIndex"], c.device);
        EXPECT_EQ(store_.values["InstrumentMapIndex"], c.map);
    }
}

TEST_F(EngineTest, ProgressRunsFromZeroTowardsTheLength) {
    ASSERT_TRUE(Start());
    SongPlayer player;
    std::uint64_t length = 1, position = 1, later = 0;
    EXPECT_FALSE(player.GetProgress(length, position)); // nothing played yet
    ASSERT_EQ(player.PlayBuffer(OneNote(1000)), 0);
    ASSERT_TRUE(player.GetProgress(length, position));
    EXPECT_EQ(length, 1000u);
    EXPECT_LT(position, 1000u);
    ASSERT_TRUE(WaitUntil([&] { return player.GetProgress(length, later) && later > position; }));
    EXPECT_LE(later, length);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_FALSE(player.IsPlaying());
    ASSERT_TRUE(player.GetProgress(length, position));
    EXPECT_EQ(position, 0u);
    // a song of length 0 plays and ends at once; the scale never divides by zero or overflows
    ASSERT_EQ(player.PlayBuffer(Cat({testfiles::Header(0, 1, 96), testfiles::TrackChunk({})})), 0);
    ASSERT_TRUE(WaitForEnd());
    ASSERT_TRUE(player.GetProgress(length, position));
    EXPECT_EQ(length, 0u);
    const std::uint64_t scale[][3] = {
        {0, 10, 0}, {1000, 500, 127}, {1000, 5000, 255}, {40000000, 20000000, 127}};
    for (const auto& s : scale)
        EXPECT_EQ(SongPlayer::ScaleProgress(s[0], s[1], 255), s[2]) << s[0] << " " << s[1];
}

TEST_F(EngineTest, ABufferThatIsNotASongFailsAndStopsThePlaybackBeforeIt) {
    ASSERT_TRUE(Start());
    SongPlayer player;
    EXPECT_EQ(player.PlayBuffer({'n', 'o', 't', ' ', 'a', ' ', 's', 'o', 'n', 'g'}), 1);
    std::uint64_t length = 0, position = 0;
    EXPECT_FALSE(player.GetProgress(length, position));
    EXPECT_TRUE(device_->Messages().empty());
    ASSERT_EQ(player.PlayBuffer(OneNote(1000)), 0);
    EXPECT_EQ(player.PlayBuffer({0x00}), 1);
    EXPECT_FALSE(IsEnginePlaying());
    EXPECT_TRUE(EndsWithSilence(device_->Messages()));
}

TEST_F(EngineTest, APlayerStopsWhenAskedAndWhenDestroyedButNotAfterShutdown) {
    ASSERT_TRUE(Start());
    {
        SongPlayer player;
        ASSERT_EQ(player.PlayBuffer(OneNote(1000)), 0);
        player.StopPlayback();
        EXPECT_FALSE(player.IsPlaying());
        EXPECT_TRUE(EndsWithSilence(device_->Messages()));
        ASSERT_EQ(player.PlayBuffer(OneNote(1000)), 0);
        device_->Clear();
    }
    EXPECT_FALSE(IsEnginePlaying());
    EXPECT_TRUE(EndsWithSilence(device_->Messages()));
    auto player = std::make_unique<SongPlayer>();
    ASSERT_EQ(player->PlayBuffer(OneNote(1000)), 0);
    ShutdownSoundEngine();
    EXPECT_FALSE(player->IsPlaying());
    const std::size_t sent = device_->Messages().size();
    player->StopPlayback();
    player.reset();
    EXPECT_EQ(device_->Messages().size(), sent) << "nothing is sent after the shutdown";
}

} // namespace
