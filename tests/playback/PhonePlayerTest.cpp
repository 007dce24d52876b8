// The live phone preview: PhonePlayer into a sink that collects what it pulls, and the
// document's song player choosing between it and the synthesizer.
#include "playback/PhonePlayer.h"
#include "playback/PhoneSongBytes.h"
#include "playback/SongPlayer.h"
#include "song/ByteSource.h"
#include "tests/playback/CollectingAudioSink.h"
#include "tests/playback/PhoneSupport.h"
#include "tests/playback/PlaybackSupport.h"

using namespace playtest;

namespace {

// Four piano notes on channel 1 for `ms`, and at the same time four organ notes on channel 2
// (division 500: a tick lasts 1 ms).
Bytes Chord(std::uint8_t ch, std::uint8_t program, const std::vector<std::uint8_t>& notes,
            std::uint32_t ms) {
    Bytes events;
    auto put = [&events](std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t b : bytes)
            events.push_back(b);
    };
    put({0x00, static_cast<std::uint8_t>(0xC0 | ch), program});
    for (std::uint8_t n : notes)
        put({0x00, static_cast<std::uint8_t>(0x90 | ch), n, 0x64});
    std::uint32_t delta = ms;
    for (std::uint8_t n : notes) {
        for (std::uint8_t b : Vlq(delta))
            events.push_back(b);
        put({static_cast<std::uint8_t>(0x80 | ch), n, 0x40});
        delta = 0;
    }
    return events;
}

Bytes TwoChords(std::uint32_t ms) {
    return Cat({testfiles::Header(1, 2, 500),
                testfiles::TrackChunk(Chord(0, 0, {60, 64, 67, 72}, ms)),
                testfiles::TrackChunk(Chord(1, 19, {43, 50, 55, 62}, ms))});
}

struct Player {
    Player() {
        auto sink = std::make_unique<CollectingAudioSink>();
        audio = sink->state;
        player = std::make_unique<PhonePlayer>(std::move(sink));
    }
    // Pulls in sound-card-sized blocks until the player has nothing more.
    void PullToTheEnd() {
        while (audio->PullFrames(1024) == 1024) {
        }
    }
    std::shared_ptr<CollectingAudioSink::State> audio;
    std::unique_ptr<PhonePlayer> player;
};

TEST(PhonePlayerTest, ThePhoneSoundGoesToTheSinkAsTheEngineRendersIt) {
    const Bytes song = TwoChords(600);
    Player p;
    ASSERT_EQ(p.player->Play(song, 4), PhonePlayer::Result::Playing);
    EXPECT_TRUE(p.player->IsPlaying());
    EXPECT_EQ(p.audio->sampleRate, PhoneEngine::kSampleRate);
    EXPECT_EQ(p.audio->channels, PhoneEngine::kChannels);
    EXPECT_NEAR(double(p.player->GetLengthMs()), 600, 10);
    EXPECT_EQ(p.audio->PullFrames(2205), 2205u);
    EXPECT_EQ(p.player->GetPositionMs(), 100u);
    p.PullToTheEnd();
    EXPECT_FALSE(p.player->IsPlaying()) << "the song played out";
    Samples whole;
    ASSERT_EQ(PhoneEngine::RenderSong(song, 4, whole), PhoneError::None);
    EXPECT_EQ(p.audio->samples, whole);

    // Playing again starts from the beginning, at the new voice count.
    ASSERT_EQ(p.player->Play(song, 8), PhonePlayer::Result::Playing);
    p.PullToTheEnd();
    Samples eight;
    PhoneEngine::RenderSong(song, 8, eight);
    EXPECT_EQ(p.audio->samples, eight);
    EXPECT_GT(Level(eight), 1.2 * Level(whole)) << "8 voices keep the second chord";
}

TEST(PhonePlayerTest, StopEndsThePlaybackAndTheSinkPullsNoMore) {
    Player p;
    ASSERT_EQ(p.player->Play(TwoChords(20000), 8), PhonePlayer::Result::Playing);
    EXPECT_EQ(p.audio->PullFrames(512), 512u);
    p.player->Stop();
    EXPECT_FALSE(p.player->IsPlaying());
    EXPECT_FALSE(p.audio->Started());
    EXPECT_EQ(p.audio->PullFrames(512), 0u);
    EXPECT_EQ(p.player->GetPositionMs(), 512u * 1000 / PhoneEngine::kSampleRate);
    p.player->Stop(); // twice is harmless
}

TEST(PhonePlayerTest, BadVoicesNonSongsAndAMissingSoundOutputAreRefused) {
    Player p;
    for (int voices : {0, 65}) {
        EXPECT_EQ(p.player->Play(TwoChords(100), voices), PhonePlayer::Result::NotPlayable);
        EXPECT_EQ(p.player->GetError(), PhoneError::BadVoices);
    }
    EXPECT_EQ(p.player->Play(Bytes{'M', 'T', 'h', 'd'}, 8), PhonePlayer::Result::NotPlayable);
    EXPECT_EQ(p.player->GetError(), PhoneError::NotASong);
    EXPECT_EQ(p.audio->starts, 0) << "nothing reached the sound output";

    p.audio->works = false;
    EXPECT_EQ(p.player->Play(TwoChords(100), 8), PhonePlayer::Result::NoSound);
    EXPECT_EQ(p.player->GetSoundError(), "no sound card");
    EXPECT_FALSE(p.player->IsPlaying());
}

TEST(SongPlayerPhoneTest, AChannelAlonePlaysWithItsOwnMipEntryAndTheSongIsLeftAsItWas) {
    const Bytes bytes = TwoChords(600);
    SongPlayer song;
    MemorySource source(bytes.data(), bytes.size());
    song.LoadSong(source, "chords");
    ASSERT_TRUE(song.lastLoad.IsSmf());
    auto sink = std::make_unique<CollectingAudioSink>();
    const auto audio = sink->state;
    song.SetAudioSink(std::move(sink));

    const SongFile::SaveOptions options;
    Bytes whole;
    ASSERT_TRUE(PhoneSongBytes(song, options, -1, whole));
    Bytes first;
    Bytes second;
    SongWriter::ChannelFlags kept{};
    ASSERT_TRUE(PhoneSongBytes(song, options, 1, second, 4, &kept));
    EXPECT_TRUE(kept[1]) << "alone, channel 2 needs only its own 4 voices";
    ASSERT_TRUE(PhoneSongBytes(song, options, 0, first, 3, &kept));
    EXPECT_FALSE(kept[0]);
    Bytes again;
    ASSERT_TRUE(PhoneSongBytes(song, options, -1, again));
    EXPECT_EQ(again, whole) << "the solo left the song as it was";
    EXPECT_TRUE(song.enabled[0] && song.enabled[1]);

    // At 4 voices the whole song loses channel 2; channel 2 alone plays.
    Samples secondAlone;
    PhoneEngine::RenderSong(second, 4, secondAlone);
    Samples firstAlone;
    PhoneEngine::RenderSong(first, 64, firstAlone);
    ASSERT_EQ(song.PlayPhoneBuffer(whole, 4), PhonePlayer::Result::Playing);
    EXPECT_TRUE(song.IsPlaying());
    while (audio->PullFrames(1024) == 1024) {
    }
    EXPECT_FALSE(song.IsPlaying());
    EXPECT_TRUE(SoundsLike(audio->samples, firstAlone));
    ASSERT_EQ(song.PlayPhoneBuffer(second, 4), PhonePlayer::Result::Playing);
    while (audio->PullFrames(1024) == 1024) {
    }
    EXPECT_TRUE(SoundsLike(audio->samples, secondAlone));
    EXPECT_GT(Level(secondAlone), 300);

    // Stop ends the phone's playback too; the progress reads as the synthesizer's does.
    ASSERT_EQ(song.PlayPhoneBuffer(whole, 8), PhonePlayer::Result::Playing);
    audio->PullFrames(2205);
    std::uint64_t length = 0;
    std::uint64_t position = 0;
    ASSERT_TRUE(song.GetProgress(length, position));
    EXPECT_NEAR(double(length), 600, 10);
    EXPECT_EQ(position, 100u);
    song.StopPlayback();
    EXPECT_FALSE(song.IsPlaying());
    EXPECT_FALSE(audio->Started());
    ASSERT_TRUE(song.GetProgress(length, position));
    EXPECT_EQ(position, 0u);
    EXPECT_EQ(song.PlayPhoneBuffer(whole, 65), PhonePlayer::Result::NotPlayable);
}

} // namespace
