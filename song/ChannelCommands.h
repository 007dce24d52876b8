#pragma once

#include "song/SongReader.h"
#include "song/SongWriter.h"

#include <string>
#include <vector>

// The one place for every edit of a song's channels: the rules that say when an edit is
// offered and which values it may take, and the edits themselves, each followed by the
// recomputation of the MIP table and then the sequence polyphony. The channel view, the
// Polyphony window, the command-line tool and the batch change channels only through here.
//
// A caller checks the rule before it makes the edit (a menu disables the command, the
// command-line tool refuses the option); the edits do not check again.
namespace ChannelCommands {

// Index of MIDI channel 10, the percussion channel.
inline constexpr int kPercussionChannel = 9;

// The values from lo to hi, both included; empty when hi < lo.
struct Range {
    int lo = 0;
    int hi = -1;
    bool Contains(int value) const { return value >= lo && value <= hi; }
};

// --- Rules ---
// Mute, Solo and Remove are commands only while the song has more than one used channel.
// Muting by a double-click on a row is no command: it mutes even the only channel.
bool CanMute(const SongData& song);
bool CanSolo(const SongData& song);
bool CanRemove(const SongData& song);
// A duplicate may go to an unused channel other than the percussion channel.
bool CanDuplicateTo(const SongData& song, int destination);
// Those channels, ascending.
std::vector<int> DuplicateCandidates(const SongData& song);
// Some channel is left to take a duplicate.
bool CanDuplicate(const SongData& song);
// Only a channel that plays one note at a time can trigger the vibra motor.
bool CanBeVibra(const SongData& song, int ch);
// The priorities a channel may take: 1 to the number of used channels.
Range PriorityRange(const SongData& song);
// The vibra channel needs no voices: its polyphony is not set.
bool CanSetPolyphony(const SongData& song, int ch);
// The polyphony a channel may be declared to need: 0 to the most notes it plays at once.
Range PolyphonyRange(const SongData& song, int ch);

// --- Marks ---
// Mute Channel is checked for a muted channel; Solo Channel for the only audible one of at
// least two used channels.
bool MuteChecked(const SongData& song, int ch);
bool SoloChecked(const SongData& song, int ch);
// Every used channel other than `ch` is muted.
bool IsSoloed(const SongData& song, int ch);

// --- Edits ---
// Mute: inverts the channel's enabled flag.
void ToggleMute(SongData& song, int ch);
// Solo: when `ch` is already soloed all used channels become audible again; otherwise only
// `ch` stays audible. Unused channels keep their flags.
void ToggleSolo(SongData& song, int ch);
// The Polyphony window's box of `ch`, and its "All" and "None" (every channel, used or not).
void SetEnabled(SongData& song, int ch, bool on);
void SetAllEnabled(SongData& song, bool on);
// Moves `ch` to priority `p`, shifting the channels in between.
void SetPriority(SongData& song, int ch, int p);
void SetPolyphony(SongData& song, int ch, int value);
// The vibra check box: `ch` becomes the vibra channel (or none when `on` is false); with more
// than one used channel it moves to priority 2, on setting and clearing alike. With a single
// used channel neither the priority nor the sums change.
void SetVibraTrigger(SongData& song, int ch, bool on);
// Remove Channel: every channel message of `ch` goes; the channel is no longer used.
void Remove(SongWriter& song, int ch);
// Duplicate Channel onto `destination`.
void Duplicate(SongWriter& song, int source, int destination);
// The first monophonic bass channel duplicated onto the first free channel as the vibra
// channel (SongWriter::AddVibraFromBass); the new vibra channel, or -1.
int AddVibraFromBass(SongWriter& song, bool updateMipFirst = false);

// --- Texts ---
// The instrument text shown for a channel: its instrument name, "Vibra (%s)" around it for
// the vibra channel.
std::string InstrumentText(const SongData& song, int ch);
// "no", "yes" or "DEFECTIVE!": whether the source file carried a MIP message and whether
// it could be trusted.
std::string SourceMipText(const SongReader& song);
// The used channels in ascending priority, equal priorities by ascending channel index.
std::vector<int> ChannelsInPriorityOrder(const SongData& song);

} // namespace ChannelCommands
