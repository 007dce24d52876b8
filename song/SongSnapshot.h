#pragma once

#include "song/PolyphonyTimeline.h"
#include "song/Track.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class SongData;

// What the channel edits change in a song, copied by value, so that a song can be put back
// exactly as it was: the per-channel records, the song-wide MIP and vibra state, the sums
// and the polyphony timelines, and for edits that change events (remove, duplicate, add
// vibra) the tracks as well. Snapshots taken without tracks leave the tracks alone when
// restored; snapshots may share one copy of the tracks.
class SongSnapshot {
public:
    // The state of `song`; with `withTracks` its tracks too.
    static SongSnapshot Capture(const SongData& song, bool withTracks);
    // The same channel state with the tracks of `tracks` (none: the tracks are not restored).
    SongSnapshot WithTracks(std::shared_ptr<const std::vector<Track>> tracks) const;

    // Puts the state back; the tracks only when the snapshot holds them.
    void Restore(SongData& song) const;

    bool HasTracks() const { return tracks_ != nullptr; }
    const std::shared_ptr<const std::vector<Track>>& Tracks() const { return tracks_; }
    // The same channel state (the timelines and the tracks are not compared: they change
    // only with edits of events).
    bool SameChannelState(const SongSnapshot& other) const;

private:
    struct ChannelState {
        std::array<bool, 16> used{};
        std::array<int, 16> maxPolyphony{};
        std::array<bool, 16> programSeen{};
        std::array<int, 16> program{};
        std::array<std::uint32_t, 16> noteCount{};
        std::array<std::uint64_t, 16> velocitySum{};
        std::array<int, 16> volume{};
        std::array<int, 16> maxVolume{};
        std::array<int, 16> mip{};
        std::array<int, 16> priority{};
        std::array<int, 16> polyphony{};
        std::array<bool, 16> enabled{};
        bool hasMipMessage = false;
        bool channel11Percussion = false;
        int vibraChannel = -1;
        int sequencePolyphony = 0;
        std::uint32_t firstTime = 0;
        std::uint32_t lastTime = 0;
        bool operator==(const ChannelState&) const = default;
    };

    ChannelState state_;
    std::array<PolyphonyTimeline, 16> timelines_;
    std::shared_ptr<const std::vector<Track>> tracks_;
};
