#pragma once

#include "song/SongReader.h"
#include "song/SongWriter.h"

#include <string>
#include <vector>

// The channel-level edits and texts that the channel view, the command-line tool and the
// batch share. Each edit recomputes the MIP table and the sequence polyphony.
namespace ChannelCommands {

// Mute: inverts the channel's enabled flag.
void ToggleMute(SongData& song, int ch);
// Solo: when `ch` is already soloed (every other used channel muted) all used channels
// become audible again; otherwise only `ch` stays audible.
void ToggleSolo(SongData& song, int ch);
bool IsSoloed(const SongData& song, int ch);
// The vibra check box: `ch` becomes the vibra channel (or none when `on` is false); with more
// than one used channel it moves to priority 2, on setting and clearing alike.
void SetVibraTrigger(SongData& song, int ch, bool on);
// Remove Channel: every channel message of `ch` goes; the channel is no longer used.
void Remove(SongWriter& song, int ch);
// Duplicate Channel onto a free channel.
void Duplicate(SongWriter& song, int source, int destination);
// Channels a duplicate may go to: every unused channel except index 9, ascending.
std::vector<int> DuplicateCandidates(const SongData& song);

// The instrument text shown for a channel: its instrument name, "Vibra (%s)" around it for
// the vibra channel.
std::string InstrumentText(const SongData& song, int ch);
// "no", "yes" or "DEFECTIVE!": whether the source file carried a MIP message and whether
// it could be trusted.
std::string SourceMipText(const SongReader& song);
// The used channels in ascending priority, equal priorities by ascending channel index.
std::vector<int> ChannelsInPriorityOrder(const SongData& song);

} // namespace ChannelCommands
