#include "song/SongData.h"

#include <algorithm>
#include <stdexcept>

SongData::SongData() {
    ResetSong();
}

SongData::~SongData() {
    ClearTracks();
}

void SongData::ClearTracks() {
    tracks.clear();
    tracks.shrink_to_fit();
    eventBuffer.reset();
}

void SongData::ResetSong() {
    for (auto& timeline : timelines)
        timeline.Clear();
    tracks.emplace_back();
    format = 0;
    firstTime = 0;
    lastTime = 0;
    division = 0;
    timeUnit = 1000;
    msPerTick = 0.0;
    currentTrack = 0;
    title.clear();
    titleFromMarker = false;
    runningTick = 0;
    runningStatus = 0;
    eventTime = 0;
    eventIsMeta = false;
    eventIsEscape = false;
    eventMetaType = 0;
    eventOversize = false;
    eventLength = kEventBufferSize;
    eventBuffer = std::make_unique<std::uint8_t[]>(kEventBufferSize);
    used.fill(false);
    maxPolyphony.fill(0);
    sounding.fill(0);
    for (auto& keys : soundingKeys)
        keys.fill(0);
    programSeen.fill(false);
    program.fill(0);
    noteCount.fill(0);
    velocitySum.fill(0);
    volume.fill(100);
    maxVolume.fill(100);
    mip.fill(0);
    hasMipMessage = false;
    priority.fill(0);
    enabled.fill(true);
    channel11Percussion = false;
    vibraChannel = -1;
    sequencePolyphony = 0;
}

int SongData::CountUsedChannels() const {
    return static_cast<int>(std::count(used.begin(), used.end(), true));
}

void SongData::SetChannelPriority(int ch, int p) {
    int holder = -1;
    for (int i = 0; i < kChannels; ++i)
        if (i != ch && priority[i] == p)
            holder = i;
    if (holder >= 0) {
        const int old = priority[ch];
        if (old <= 0) {
            // A channel without a priority is inserted at p: the channels at p and after
            // move one place down.
            for (int i = 0; i < kChannels; ++i)
                if (i != ch && priority[i] > 0 && priority[i] >= p)
                    ++priority[i];
        } else {
            const int lo = std::min(p, old);
            const int hi = std::max(p, old);
            const int step = old > p ? 1 : -1;
            for (int i = 0; i < kChannels; ++i)
                if (i != ch && priority[i] > 0 && priority[i] >= lo && priority[i] <= hi)
                    priority[i] += step;
        }
    }
    priority[ch] = p;
}

void SongData::ComputeMipTable() {
    // Channels that are enabled but unused, or without a priority, keep their value.
    for (int ch = 0; ch < kChannels; ++ch)
        if (!enabled[ch])
            mip[ch] = 0;
    VisitMipOrder([this](int ch, int sum) { mip[ch] = sum; });
}

void SongData::ComputeSequencePolyphony() {
    std::uint64_t best = 0;
    VisitPolyphonySums([&best](std::uint32_t, std::uint64_t sum) { best = std::max(best, sum); });
    sequencePolyphony = static_cast<int>(std::min<std::uint64_t>(best, 0x7FFFFFFF));
}

Track& SongData::GetTrack(std::size_t index) {
    if (index >= tracks.size())
        throw std::invalid_argument("track index out of range");
    return tracks[index];
}

const Track& SongData::GetTrack(std::size_t index) const {
    if (index >= tracks.size())
        throw std::invalid_argument("track index out of range");
    return tracks[index];
}

Track& SongData::AppendTrack() {
    return tracks.emplace_back();
}
