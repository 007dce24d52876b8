// The song object's playback: results, progress, and stopping around the engine's life.
#include "SongPlayer.h"
#include "EngineFixture.h"
#include "SongBytes.h"

namespace {

using namespace std::chrono_literals;
using testfiles::Bytes;

using SongPlayerTest = EngineFixture;

TEST_F(SongPlayerTest, ProgressRunsFromZeroTowardsTheLength) {
    ASSERT_TRUE(Start());
    SongPlayer player;
    std::uint64_t length = 1, position = 1;
    EXPECT_FALSE(player.GetProgress(length, position)); // nothing played yet
    ASSERT_EQ(player.PlayBuffer(songbytes::OneNote(300)), 0);
    ASSERT_TRUE(player.GetProgress(length, position));
    EXPECT_EQ(length, 300u);
    EXPECT_LT(position, 50u);
    std::this_thread::sleep_for(150ms);
    std::uint64_t later = 0;
    ASSERT_TRUE(player.GetProgress(length, later));
    EXPECT_GT(later, position);
    EXPECT_LE(later, length);
    EXPECT_TRUE(player.IsPlaying());
    WaitForEnd(1s);
    EXPECT_FALSE(player.IsPlaying());
    ASSERT_TRUE(player.GetProgress(length, position));
    EXPECT_EQ(length, 300u);
    EXPECT_EQ(position, 0u);
}

TEST_F(SongPlayerTest, ASongOfLengthZeroPlaysAndEndsAtOnce) {
    ASSERT_TRUE(Start());
    SongPlayer player;
    const Bytes empty = testfiles::Cat({testfiles::Header(0, 1, 96), testfiles::TrackChunk({})});
    ASSERT_EQ(player.PlayBuffer(empty), 0);
    WaitForEnd(500ms);
    std::uint64_t length = 1, position = 1;
    ASSERT_TRUE(player.GetProgress(length, position));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(SongPlayer::ScaleProgress(length, position, 255), 0u);
}

TEST(SongPlayerScaleTest, ProgressScalesWithoutOverflowOrDivisionByZero) {
    struct Case {
        std::uint64_t length, position;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {0, 0, 0},
        {0, 10, 0},
        {1000, 0, 0},
        {1000, 500, 127},
        {1000, 1000, 255},
        {1000, 5000, 255},         // a position past the end stays at the end
        {40000000, 20000000, 127}, // position x 255 beyond 32 bits
        {UINT64_MAX, UINT64_MAX, 255},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SongPlayer::ScaleProgress(c.length, c.position, 255), c.expected)
            << c.length << " " << c.position;
}

TEST_F(SongPlayerTest, ABufferThatIsNotASongPlaysNothingAndFails) {
    ASSERT_TRUE(Start());
    SongPlayer player;
    EXPECT_EQ(player.PlayBuffer({'n', 'o', 't', ' ', 'a', ' ', 's', 'o', 'n', 'g'}), 1);
    EXPECT_FALSE(player.IsPlaying());
    std::uint64_t length = 0, position = 0;
    EXPECT_FALSE(player.GetProgress(length, position));
    EXPECT_TRUE(defaultDevice_->Messages().empty());
}

TEST_F(SongPlayerTest, AFailedPlayStopsThePlaybackBeforeIt) {
    ASSERT_TRUE(Start());
    SongPlayer player;
    ASSERT_EQ(player.PlayBuffer(songbytes::OneNote(1000)), 0);
    EXPECT_EQ(player.PlayBuffer({0x00}), 1);
    EXPECT_FALSE(IsEnginePlaying());
    EXPECT_TRUE(EndsWithSilence(defaultDevice_->Messages()));
}

TEST_F(SongPlayerTest, NothingPlaysBeforeTheEngineStarts) {
    SongPlayer player;
    EXPECT_EQ(player.PlayBuffer(songbytes::OneNote(10)), 1);
    EXPECT_FALSE(player.IsPlaying());
    player.StopPlayback();
}

TEST_F(SongPlayerTest, StopPlaybackSilencesAndDestructionStops) {
    ASSERT_TRUE(Start());
    {
        SongPlayer player;
        ASSERT_EQ(player.PlayBuffer(songbytes::OneNote(1000)), 0);
        player.StopPlayback();
        EXPECT_FALSE(player.IsPlaying());
        EXPECT_TRUE(EndsWithSilence(defaultDevice_->Messages()));
        ASSERT_EQ(player.PlayBuffer(songbytes::OneNote(1000)), 0);
        defaultDevice_->Clear();
    }
    EXPECT_FALSE(IsEnginePlaying());
    EXPECT_TRUE(EndsWithSilence(defaultDevice_->Messages()));
}

TEST_F(SongPlayerTest, APlayerStopsOnlyItsOwnPlayback) {
    ASSERT_TRUE(Start());
    SongPlayer worker;
    ASSERT_EQ(worker.PlayBuffer(songbytes::OneNote(50)), 0);
    WaitForEnd(1s);
    SongPlayer document;
    ASSERT_EQ(document.PlayBuffer(songbytes::OneNote(1000)), 0);
    worker.StopPlayback();
    EXPECT_TRUE(document.IsPlaying());
}

TEST_F(SongPlayerTest, StoppingAfterTheEngineHasShutDownDoesNothing) {
    ASSERT_TRUE(Start());
    auto player = std::make_unique<SongPlayer>();
    ASSERT_EQ(player->PlayBuffer(songbytes::OneNote(1000)), 0);
    ShutdownSoundEngine();
    EXPECT_FALSE(player->IsPlaying());
    const std::size_t sent = defaultDevice_->Messages().size();
    player->StopPlayback();
    player.reset();
    EXPECT_EQ(defaultDevice_->Messages().size(), sent);
}

} // namespace
