#include "song/ChannelCommands.h"
#include "song/InstrumentMap.h"

#include <algorithm>

namespace ChannelCommands {

namespace {

void Recompute(SongData& song) {
    song.ComputeMipTable();
    song.ComputeSequencePolyphony();
}

} // namespace

void ToggleMute(SongData& song, int ch) {
    song.enabled[ch] = !song.enabled[ch];
    Recompute(song);
}

bool IsSoloed(const SongData& song, int ch) {
    for (int i = 0; i < SongData::kChannels; ++i)
        if (i != ch && song.used[i] && song.enabled[i])
            return false;
    return true;
}

void ToggleSolo(SongData& song, int ch) {
    const bool soloed = IsSoloed(song, ch);
    for (int i = 0; i < SongData::kChannels; ++i)
        if (song.used[i])
            song.enabled[i] = soloed || i == ch;
    Recompute(song);
}

void SetVibraTrigger(SongData& song, int ch, bool on) {
    song.vibraChannel = on ? ch : -1;
    if (song.CountUsedChannels() > 1) {
        song.SetChannelPriority(ch, 2);
        Recompute(song);
    }
}

void Remove(SongWriter& song, int ch) {
    song.RemoveChannel(ch);
    song.SetChannelUsed(ch, false);
    Recompute(song);
}

void Duplicate(SongWriter& song, int source, int destination) {
    song.DuplicateChannel(source, destination);
    Recompute(song);
}

std::vector<int> DuplicateCandidates(const SongData& song) {
    std::vector<int> candidates;
    for (int ch = 0; ch < SongData::kChannels; ++ch)
        if (ch != 9 && !song.used[ch])
            candidates.push_back(ch);
    return candidates;
}

std::string InstrumentText(const SongData& song, int ch) {
    const std::string name = GetInstrumentName(song.GetProgram(ch), ch, song.channel11Percussion,
                                               song.switches.instrumentMapIndex);
    return ch == song.vibraChannel ? "Vibra (" + name + ")" : name;
}

std::string SourceMipText(const SongReader& song) {
    if (!song.hasMipMessage)
        return "no";
    const int d = song.mipAnomalyCount;
    if (d < 1)
        return "yes";
    if (song.vibraChannel == -1)
        return "DEFECTIVE!";
    return d > 1 ? "DEFECTIVE!" : "yes";
}

std::vector<int> ChannelsInPriorityOrder(const SongData& song) {
    std::vector<int> channels;
    for (int ch = 0; ch < SongData::kChannels; ++ch)
        if (song.used[ch])
            channels.push_back(ch);
    std::stable_sort(channels.begin(), channels.end(),
                     [&song](int a, int b) { return song.priority[a] < song.priority[b]; });
    return channels;
}

} // namespace ChannelCommands
