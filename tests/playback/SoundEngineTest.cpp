// The engine over recording outputs: timing, stopping, restarting, ports and settings.
#include "EngineFixture.h"
#include "SongBytes.h"

#include <stdexcept>

namespace {

using namespace std::chrono_literals;
using songbytes::Delta;
using songbytes::Tempo;
using testfiles::Bytes;
using testfiles::Cat;
using testfiles::Header;
using testfiles::TrackChunk;

using SoundEngineTimingTest = EngineFixture;

TEST_F(SoundEngineTimingTest, EventsArriveInOrderAtTheirTempoScaledTimes) {
    ASSERT_TRUE(Start());
    const Bytes song = Cat({Header(0, 1, 500), TrackChunk(Cat({
                                                   {0x00, 0x90, 0x3C, 0x64}, // 0 ms
                                                   Delta(100),
                                                   {0x80, 0x3C, 0x00}, // 100 ms
                                                   {0x00},
                                                   Tempo(250000), // ticks last 0.5 ms from here
                                                   Delta(200),
                                                   {0x90, 0x3E, 0x64}, // 200 ms
                                                   Delta(100),
                                                   {0x80, 0x3E, 0x00}, // 250 ms
                                               }))});
    const auto state = Play(song);
    ASSERT_NE(state, nullptr);
    WaitForEnd(2s);
    const auto messages = defaultDevice_->Messages();
    EXPECT_EQ(defaultDevice_->Resets(), 16); // every channel, before the song
    ASSERT_EQ(messages.size(), 4u);
    const std::vector<Bytes> bytes = {
        {0x90, 0x3C, 0x64}, {0x80, 0x3C, 0x00}, {0x90, 0x3E, 0x64}, {0x80, 0x3E, 0x00}};
    const std::vector<std::chrono::milliseconds> due = {0ms, 100ms, 200ms, 250ms};
    for (std::size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(messages[i].bytes, bytes[i]) << "message " << i;
        const auto at = messages[i].at - state->GetStart();
        EXPECT_GE(at, due[i] - 1ms) << "message " << i << " early";
        EXPECT_LE(at, due[i] + 40ms) << "message " << i << " late";
    }
}

TEST_F(SoundEngineTimingTest, PlaybackEndsByItselfWithinTheWait) {
    ASSERT_TRUE(Start());
    const auto state = Play(songbytes::OneNote(150));
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(IsEnginePlaying()); // at once, before the thread has run
    const auto took = WaitForEnd(2s);
    EXPECT_FALSE(IsEnginePlaying());
    EXPECT_GE(took, 140ms);
    EXPECT_LE(took, 150ms + 100ms);
    EXPECT_FALSE(state->IsPlaying());
    EXPECT_EQ(state->GetSeek(), 150u);
    // A song that ends by itself is not cut off: no silencing messages.
    EXPECT_EQ(defaultDevice_->Messages().size(), 2u);
}

TEST_F(SoundEngineTimingTest, StopEndsTheThreadAndSilencesEveryChannel) {
    ASSERT_TRUE(Start());
    const auto state = Play(songbytes::OneNote(1000));
    std::this_thread::sleep_for(30ms);
    const auto before = Clock::now();
    StopAndWait();
    EXPECT_LT(Clock::now() - before, 100ms);
    EXPECT_FALSE(IsEnginePlaying());
    EXPECT_FALSE(state->IsPlaying());
    const auto messages = defaultDevice_->Messages();
    EXPECT_EQ(messages.size(), 1u + 32u);
    EXPECT_TRUE(EndsWithSilence(messages));
    // The thread has ended: the Note Off never comes.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(defaultDevice_->Messages().size(), messages.size());
}

TEST_F(SoundEngineTimingTest, PlayWhilePlayingRestartsFromTheBeginning) {
    ASSERT_TRUE(Start());
    const auto first = Play(songbytes::OneNote(1000));
    std::this_thread::sleep_for(60ms);
    const auto second = Play(songbytes::OneNote(1000));
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(first->IsPlaying());
    EXPECT_TRUE(IsEnginePlaying());
    EXPECT_LT(second->GetSeek(), 50u);
    std::this_thread::sleep_for(20ms);
    const auto messages = defaultDevice_->Messages();
    // Note On, the first playback silenced, then the Note On of the new one.
    ASSERT_EQ(messages.size(), 1u + 32u + 1u);
    EXPECT_EQ(messages.front().bytes, messages.back().bytes);
    EXPECT_TRUE(EndsWithSilence({messages.begin(), messages.end() - 1}));
}

TEST_F(SoundEngineTimingTest, APortChangeStopsPlaybackAndTheNextOneUsesThePort) {
    ASSERT_TRUE(Start({"Synth A", "Synth B"}));
    Play(songbytes::OneNote(1000));
    std::this_thread::sleep_for(20ms);
    SelectOutputPort(2);
    EXPECT_FALSE(IsEnginePlaying());
    EXPECT_EQ(GetMidiOutputDeviceIndex(), 2u);
    EXPECT_TRUE(EndsWithSilence(defaultDevice_->Messages()));
    const std::size_t sentToDefault = defaultDevice_->Messages().size();

    Play(songbytes::OneNote(30));
    WaitForEnd(1s);
    EXPECT_EQ(defaultDevice_->Messages().size(), sentToDefault);
    EXPECT_TRUE(portOutputs_[0]->Messages().empty());
    EXPECT_EQ(portOutputs_[1]->Messages().size(), 2u);
}

TEST_F(SoundEngineTimingTest, NothingPlaysWithoutASegmentOrAReadyEngine) {
    const Bytes song = songbytes::OneNote(10);
    EXPECT_EQ(LoadSegmentFromMemory(song.data(), song.size()), nullptr); // not started
    ASSERT_TRUE(Start());
    EXPECT_EQ(PlaySegment(nullptr), nullptr);
    const Bytes junk = {'M', 'T', 'h', 'd', 0, 0};
    EXPECT_EQ(LoadSegmentFromMemory(junk.data(), junk.size()), nullptr);
    EXPECT_FALSE(IsEnginePlaying());
    EXPECT_TRUE(defaultDevice_->Messages().empty());
}

using SoundEnginePortTest = EngineFixture;

TEST_F(SoundEnginePortTest, PortsAreListedInOrderAndAnIndexBeyondThemIsRefused) {
    ASSERT_TRUE(Start({"Synth A", "Synth B"}));
    ASSERT_EQ(GetOutputPortCount(), 2u);
    EXPECT_EQ(GetOutputPort(0).name, "Synth A");
    EXPECT_EQ(GetOutputPort(1).name, "Synth B");
    EXPECT_THROW(GetOutputPort(2), std::invalid_argument);
}

TEST_F(SoundEnginePortTest, AFailedEngineListsNoPortsAndRefusesEveryIndex) {
    EXPECT_FALSE(Start({"Synth A"}, false));
    EXPECT_FALSE(IsSoundReady());
    EXPECT_EQ(GetOutputPortCount(), 0u);
    EXPECT_THROW(GetOutputPort(0), std::invalid_argument);
}

TEST_F(SoundEnginePortTest, SelectionFallsBackToTheDefaultDevice) {
    struct Case {
        const char* what;
        std::uint32_t index;
        std::uint32_t selected;
    };
    const Case cases[] = {
        {"default device", 0, 0},
        {"first port", 1, 1},
        {"port that will not open", 2, 0},
        {"index beyond the ports", 3, 0},
    };
    ASSERT_TRUE(Start({"Synth A", "broken Synth"}));
    for (const Case& c : cases) {
        SelectOutputPort(1); // something other than the default first
        SelectOutputPort(c.index);
        EXPECT_EQ(GetMidiOutputDeviceIndex(), c.selected) << c.what;
    }
}

using SoundEngineSettingsTest = EngineFixture;

TEST_F(SoundEngineSettingsTest, SavedValuesAreUsedAtStartAndWrittenBackAtShutdown) {
    struct Case {
        const char* what;
        std::optional<std::uint32_t> savedDevice;
        std::optional<std::uint32_t> savedMap;
        std::uint32_t device; // selected at start and written at shutdown
        std::uint32_t map;
        const char* firstPort;
    };
    const Case cases[] = {
        {"nothing saved", std::nullopt, std::nullopt, 0, 0, "Synth A"},
        {"saved port", 2, 1, 2, 1, "Synth A"},
        {"port unplugged since", 3, 0, 0, 0, "Synth A"},
        {"port that will not open", 1, 1, 0, 1, "broken Synth"},
    };
    for (const Case& c : cases) {
        store_.values.clear();
        if (c.savedDevice)
            store_.values["MIDIOutputDeviceIndex"] = *c.savedDevice;
        if (c.savedMap)
            store_.values["InstrumentMapIndex"] = *c.savedMap;
        SongSwitches::SetInstrumentMapIndex(7);
        ASSERT_TRUE(Start({c.firstPort, "Synth B"})) << c.what;
        EXPECT_EQ(GetMidiOutputDeviceIndex(), c.device) << c.what;
        EXPECT_EQ(SongSwitches::GetInstrumentMapIndex(), c.map) << c.what;
        ShutdownSoundEngine();
        EXPECT_EQ(store_.values["MIDIOutputDeviceIndex"], c.device) << c.what;
        EXPECT_EQ(store_.values["InstrumentMapIndex"], c.map) << c.what;
    }
}

TEST_F(SoundEngineSettingsTest, ChoicesMadeDuringTheRunAreStored) {
    ASSERT_TRUE(Start({"Synth A"}));
    SelectOutputPort(1);
    SongSwitches::SetInstrumentMapIndex(1);
    ShutdownSoundEngine();
    EXPECT_EQ(store_.values["MIDIOutputDeviceIndex"], 1u);
    EXPECT_EQ(store_.values["InstrumentMapIndex"], 1u);
    // A second start selects the same device again.
    ASSERT_TRUE(Start({"Synth A"}));
    EXPECT_EQ(GetMidiOutputDeviceIndex(), 1u);
}

TEST_F(SoundEngineSettingsTest, AnEngineThatFailedWritesNothing) {
    store_.values["MIDIOutputDeviceIndex"] = 1;
    store_.values["InstrumentMapIndex"] = 1;
    EXPECT_FALSE(Start({"Synth A"}, false));
    EXPECT_EQ(SongSwitches::GetInstrumentMapIndex(), 1u); // read even so
    SongSwitches::SetInstrumentMapIndex(0);
    SelectOutputPort(0);
    ShutdownSoundEngine();
    EXPECT_EQ(store_.values["MIDIOutputDeviceIndex"], 1u);
    EXPECT_EQ(store_.values["InstrumentMapIndex"], 1u);
}

} // namespace
