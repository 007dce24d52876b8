#include "song/ChannelCommands.h"
#include "song/InstrumentMap.h"

#include <algorithm>

namespace ChannelCommands {

namespace {

// What every edit ends with: the MIP column first, as the sequence polyphony does not
// depend on it.
void Recompute(SongData& song) {
    song.ComputeMipTable();
    song.ComputeSequencePolyphony();
}

bool SeveralChannelsUsed(const SongData& song) {
    return song.CountUsedChannels() > 1;
}

} // namespace

bool CanMute(const SongData& song) {
    return SeveralChannelsUsed(song);
}

bool CanSolo(const SongData& song) {
    return SeveralChannelsUsed(song);
}

bool CanRemove(const SongData& song) {
    return SeveralChannelsUsed(song);
}

bool CanDuplicateTo(const SongData& song, int destination) {
    return destination != kPercussionChannel && !song.used[destination];
}

std::vector<int> DuplicateCandidates(const SongData& song) {
    std::vector<int> candidates;
    for (int ch = 0; ch < SongData::kChannels; ++ch)
        if (CanDuplicateTo(song, ch))
            candidates.push_back(ch);
    return candidates;
}

bool CanDuplicate(const SongData& song) {
    return !DuplicateCandidates(song).empty();
}

bool CanBeVibra(const SongData& song, int ch) {
    return song.maxPolyphony[ch] == 1;
}

Range PriorityRange(const SongData& song) {
    return {1, song.CountUsedChannels()};
}

bool CanSetPolyphony(const SongData& song, int ch) {
    return ch != song.vibraChannel;
}

Range PolyphonyRange(const SongData& song, int ch) {
    return {0, song.maxPolyphony[ch]};
}

bool MuteChecked(const SongData& song, int ch) {
    return !song.enabled[ch];
}

bool SoloChecked(const SongData& song, int ch) {
    return song.CountUsedChannels() >= 2 && song.enabled[ch] && IsSoloed(song, ch);
}

bool IsSoloed(const SongData& song, int ch) {
    for (int i = 0; i < SongData::kChannels; ++i)
        if (i != ch && song.used[i] && song.enabled[i])
            return false;
    return true;
}

void ToggleMute(SongData& song, int ch) {
    SetEnabled(song, ch, !song.enabled[ch]);
}

void ToggleSolo(SongData& song, int ch) {
    const bool soloed = IsSoloed(song, ch);
    for (int i = 0; i < SongData::kChannels; ++i)
        if (song.used[i])
            song.enabled[i] = soloed || i == ch;
    Recompute(song);
}

void SetEnabled(SongData& song, int ch, bool on) {
    song.enabled[ch] = on;
    Recompute(song);
}

void SetAllEnabled(SongData& song, bool on) {
    song.enabled.fill(on);
    Recompute(song);
}

void SetPriority(SongData& song, int ch, int p) {
    song.SetChannelPriority(ch, p);
    Recompute(song);
}

void SetPolyphony(SongData& song, int ch, int value) {
    song.SetPolyphony(ch, value);
    Recompute(song);
}

void SetVibraTrigger(SongData& song, int ch, bool on) {
    song.vibraChannel = on ? ch : -1;
    if (SeveralChannelsUsed(song)) {
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

int AddVibraFromBass(SongWriter& song, bool updateMipFirst) {
    const int vibra = song.AddVibraFromBass(updateMipFirst);
    Recompute(song);
    return vibra;
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
