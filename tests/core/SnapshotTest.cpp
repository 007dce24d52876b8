// Song snapshots: what the channel edits change comes back exactly, the events only from a
// snapshot that holds them.
#include "tests/core/CoreSupport.h"

#include "song/ChannelCommands.h"
#include "song/SongSnapshot.h"

using namespace core;

namespace {

// Two channels of notes, one with a program change.
Bytes TwoChannels() {
    return Song(1, 96,
                {Cat({kTempo, Pc(0, 33), On(0, 40), On(1, 60), Off(0, 40, 96), Off(1, 60)})});
}

} // namespace

TEST(SongSnapshot, RestoresTheChannelStateAndTheEventsExactly) {
    SongFile song;
    ASSERT_EQ(Load(song, TwoChannels()), 1);
    const Bytes written = Write(song);
    const SongSnapshot before = SongSnapshot::Capture(song, true);
    const auto priorities = song.priority;
    const auto mips = song.mip;

    ChannelCommands::Duplicate(song, 0, 5);
    ChannelCommands::Remove(song, 1);
    ChannelCommands::ToggleMute(song, 0);
    ASSERT_FALSE(song.used[1]);
    before.Restore(song);
    EXPECT_TRUE(song.used[1]);
    EXPECT_FALSE(song.used[5]);
    EXPECT_TRUE(song.enabled[0]);
    EXPECT_EQ(song.priority, priorities);
    EXPECT_EQ(song.mip, mips);
    EXPECT_FALSE(song.timelines[1].IsEmpty());
    EXPECT_TRUE(song.timelines[5].IsEmpty());
    EXPECT_EQ(Write(song), written);
}

TEST(SongSnapshot, WithoutTracksLeavesTheEventsAlone) {
    SongFile song;
    ASSERT_EQ(Load(song, TwoChannels()), 1);
    const SongSnapshot before = SongSnapshot::Capture(song, false);
    const auto priorities = song.priority;
    EXPECT_FALSE(before.HasTracks());
    ChannelCommands::SetPriority(song, 1, 1);
    ChannelCommands::ToggleMute(song, 1);
    const SongSnapshot after = SongSnapshot::Capture(song, false);
    EXPECT_FALSE(after.SameChannelState(before));
    EXPECT_TRUE(after.SameChannelState(SongSnapshot::Capture(song, true)));

    // A removal the snapshot does not know of stays: only the records go back.
    ChannelCommands::Remove(song, 0);
    before.Restore(song);
    EXPECT_EQ(song.priority, priorities);
    EXPECT_TRUE(song.enabled[1]);
    int channel0 = 0;
    for (const Track& track : song.tracks)
        for (const SongEvent& e : track.events)
            channel0 += e.IsChannelMessage() && (e.GetCode() & 0x0F) == 0;
    EXPECT_EQ(channel0, 0);

    // Shared tracks: one copy serves both snapshots.
    const SongSnapshot shared = after.WithTracks(before.Tracks());
    EXPECT_EQ(shared.Tracks(), before.Tracks());
}
