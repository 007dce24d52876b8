#include "song/SongSnapshot.h"

#include "song/SongData.h"

#include <utility>

SongSnapshot SongSnapshot::Capture(const SongData& song, bool withTracks) {
    static_assert(SongData::kChannels == 16);
    SongSnapshot s;
    ChannelState& c = s.state_;
    c.used = song.used;
    c.maxPolyphony = song.maxPolyphony;
    c.programSeen = song.programSeen;
    c.program = song.program;
    c.noteCount = song.noteCount;
    c.velocitySum = song.velocitySum;
    c.volume = song.volume;
    c.maxVolume = song.maxVolume;
    c.mip = song.mip;
    c.priority = song.priority;
    c.polyphony = song.polyphony;
    c.enabled = song.enabled;
    c.hasMipMessage = song.hasMipMessage;
    c.channel11Percussion = song.channel11Percussion;
    c.vibraChannel = song.vibraChannel;
    c.sequencePolyphony = song.sequencePolyphony;
    c.firstTime = song.firstTime;
    c.lastTime = song.lastTime;
    s.timelines_ = song.timelines;
    if (withTracks)
        s.tracks_ = std::make_shared<const std::vector<Track>>(song.tracks);
    return s;
}

SongSnapshot SongSnapshot::WithTracks(std::shared_ptr<const std::vector<Track>> tracks) const {
    SongSnapshot s = *this;
    s.tracks_ = std::move(tracks);
    return s;
}

void SongSnapshot::Restore(SongData& song) const {
    const ChannelState& c = state_;
    song.used = c.used;
    song.maxPolyphony = c.maxPolyphony;
    song.programSeen = c.programSeen;
    song.program = c.program;
    song.noteCount = c.noteCount;
    song.velocitySum = c.velocitySum;
    song.volume = c.volume;
    song.maxVolume = c.maxVolume;
    song.mip = c.mip;
    song.priority = c.priority;
    song.polyphony = c.polyphony;
    song.enabled = c.enabled;
    song.hasMipMessage = c.hasMipMessage;
    song.channel11Percussion = c.channel11Percussion;
    song.vibraChannel = c.vibraChannel;
    song.sequencePolyphony = c.sequencePolyphony;
    song.firstTime = c.firstTime;
    song.lastTime = c.lastTime;
    song.timelines = timelines_;
    if (tracks_)
        song.tracks = *tracks_;
}

bool SongSnapshot::SameChannelState(const SongSnapshot& other) const {
    return state_ == other.state_;
}
