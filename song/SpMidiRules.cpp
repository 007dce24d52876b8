// The SP-MIDI checker's rules: one table that the checker, the command-line tool, the
// program and the README all read.
//
// Sources: RP-034 is the MMA's Scalable Polyphony MIDI standard, RP-035 its
// "SP-MIDI Device 5-24 Note Profile for 3GPP"; TS 23.040 Annex E.14 and H are 3GPP's
// guidelines for SP-MIDI content; "EAS" is the behaviour of Android's SP-MIDI engine
// (Sonivox EAS), which drops what it does not understand.
#include "song/SpMidiRules.h"

#include <algorithm>
#include <iterator>

namespace {

using S = SpMidiSeverity;

constexpr SpMidiRule kRules[] = {
    // --- The file ---
    {"not-smf", S::Error,
     "The data must be a Standard MIDI File: an MThd header chunk with a known format and a "
     "time base, then track chunks.",
     "RP-034 SMF", "The file is not a Standard MIDI File a phone can read.",
     "Export the song from a sequencer as a Standard MIDI File (format 0 or 1)."},
    {"smf-format-2", S::Error,
     "SP-MIDI content is a format 0 or format 1 file; format 2 holds independent patterns "
     "that phones do not play as one song.",
     "TS 23.040 H.2", "The file is a format 2 Standard MIDI File, which phones do not play.",
     "Save the song with Quellor: it writes format 0 or 1."},

    // --- The MIP message ---
    {"mip-missing", S::Warning,
     "An SP-MIDI file carries a MIP message; without it a phone with few voices steals notes "
     "at random instead of dropping whole channels.",
     "RP-034 MIP message", "The file has no MIP message, so phones with few voices steal notes.",
     "Save the song with Quellor: it writes a MIP message for the channels with a priority."},
    {"mip-malformed", S::Error,
     "The MIP message is F0 7F <device> 0B 01, then (channel, MIP value) pairs of data bytes, "
     "then F7. Anything else is not understood.",
     "RP-034 MIP message",
     "The MIP message at {time} is not F0 7F <device> 0B 01, channel and value pairs, F7: "
     "{detail}.",
     "Save the song with Quellor, which writes the MIP message anew."},
    {"mip-empty", S::Error,
     "A MIP message lists at least one channel: an engine that honours it mutes every channel "
     "it does not list, so an empty one silences the song.",
     "RP-034 MIP message; EAS", "The MIP message at {time} lists no channel: the song is silent.",
     "Give the channels that play priorities, then save again."},
    {"mip-device-id", S::Warning,
     "The MIP message is addressed to all devices (device ID 7F); Android's engine ignores a "
     "message for any other device ID and then plays without channel masking.",
     "RP-034 MIP message; EAS",
     "The MIP message at {time} has device ID {value} instead of 127 (7F); some phones ignore "
     "it.",
     "Save the song with Quellor: it writes device ID 7F."},
    {"mip-too-many-entries", S::Error,
     "A MIP message lists at most 16 pairs, one for each MIDI channel; engines stop reading "
     "after the sixteenth.",
     "RP-034 MIP message; EAS",
     "The MIP message at {time} lists {value} channels; at most 16 are read.",
     "Save the song with Quellor, which lists every channel once."},
    {"mip-channel-range", S::Error,
     "Each channel byte of a MIP message is 0 to 15. Android's engine throws the whole message "
     "away at a larger one.",
     "RP-034 MIP message; EAS",
     "The MIP message at {time} names channel byte {value}, which is no MIDI channel; phones "
     "discard the message.",
     "Save the song with Quellor, which writes the MIP message anew."},
    {"mip-channel-repeated", S::Error,
     "A MIP message lists each channel once: the pairs give the channels' priority order, and "
     "a second pair for a channel breaks that order.",
     "RP-034 MIP message", "The MIP message at {time} lists channel {channel} more than once.",
     "Save the song with Quellor, which lists every channel once."},
    {"mip-value-falls", S::Error,
     "MIP values are cumulative: each pair's value is the voices needed for its channel and "
     "every channel before it, so the values never fall in the listed order.",
     "RP-034 MIP message",
     "The MIP value of channel {channel} ({value}) is lower than the one before it ({limit}).",
     "Set each channel's polyphony and save with Quellor: it writes the running sums."},
    {"mip-value-zero", S::Error,
     "MIP values are 1 to 127; 0 is reserved, and Android's engine mutes a channel whose value "
     "is 0.",
     "RP-034 MIP message; EAS", "Channel {channel} has the reserved MIP value 0: phones mute it.",
     "Give the channel a polyphony of at least 1, or move a channel that plays to priority 1."},
    {"mip-after-notes", S::Error,
     "The MIP message comes before the first note: the notes before it play with no channel "
     "masking, and a phone with few voices steals them at random.",
     "RP-034 MIP message", "The MIP message comes at {time}, after the first notes of the song.",
     "Save the song with Quellor so that the message goes to the start of the first track."},
    {"mip-not-at-start", S::Warning,
     "The MIP message stands at time 0 in the first track, before any channel message, where "
     "every player finds it before it sets up the channels.",
     "RP-034 MIP message", "The MIP message is not at the start of the song: {detail}.",
     "Move the MIP message to time 0 at the front of the first track."},
    {"mip-repeated", S::Warning,
     "A later MIP message replaces the earlier one while the song plays; Quellor reads only "
     "the first, and phones switch their channel masking in mid-song.",
     "RP-034 MIP message",
     "Another MIP message comes at {time} (track {track}); it replaces the first one.",
     "Keep one MIP message at the start of the song."},
    {"gm-on-after-mip", S::Error,
     "A GM1 or GM2 System On message resets the sound engine, and with it the MIP table: the "
     "notes after it play with no channel masking until another MIP message comes.",
     "RP-034 MIP message; EAS",
     "A GM System On at {time} (track {track}) resets the MIP table before the notes that "
     "follow.",
     "Put the GM System On before the MIP message, or remove it."},

    // --- Coverage ---
    {"channel-not-listed", S::Error,
     "An engine that honours the MIP message mutes every channel the message does not list.",
     "RP-034 MIP message; EAS",
     "Channel {channel} plays notes from {time} but the MIP message does not list it: phones "
     "mute it.",
     "Give channel {channel} a priority, then save again."},
    {"mip-first-above-5", S::Warning,
     "The profile's smallest phone has 5 voices; when the first MIP value is above 5 it can "
     "play no channel at all.",
     "RP-035 5-24 voices",
     "The first MIP value is {value} (channel {channel}): a 5-voice phone plays nothing.",
     "Put a channel that needs at most 5 voices at priority 1, or lower its polyphony."},
    {"mip-first-above-6", S::Warning,
     "For interoperability the first value of the MIP table is at most 6 voices; above that, "
     "5- and 6-voice phones play nothing.",
     "TS 23.040 H.4",
     "The first MIP value is {value} (channel {channel}): 5- and 6-voice phones play nothing.",
     "Put a channel that needs at most 5 voices at priority 1, or lower its polyphony."},
    {"mip-value-above-24", S::Warning,
     "The profile's phones have 5 to 24 voices; a channel whose MIP value is above 24 is "
     "played by none of them.",
     "RP-035 5-24 voices",
     "Channel {channel} needs {value} voices with the channels before it: no 5-24 voice phone "
     "plays it.",
     "Lower the polyphony of the channels before it, or leave the channel out."},
    {"polyphony-over-share", S::Error,
     "A channel plays no more notes at once than its share of the MIP values (its value minus "
     "the one before it); a phone with just enough voices steals the notes beyond it.",
     "RP-034 MIP counting",
     "Channel {channel} sounds up to {value} notes at once but its share is {limit}: notes "
     "are stolen {times}, first at {time}.",
     "Set the channel's polyphony to {value}, or thin out its chords."},

    // --- Channels ---
    {"rhythm-bank-no-program", S::Error,
     "Channel 11 becomes a rhythm channel with Bank Select MSB 120 followed by a Program "
     "Change; the bank takes effect at the Program Change, so notes between the two play with "
     "the old melodic sound.",
     "RP-035 rhythm channels",
     "Channel 11 plays notes from {time} after Bank Select 120 but before a Program Change "
     "({count:note}): they sound melodic, not as drums.",
     "Put a Program Change right after the Bank Select 120 on channel 11."},
    {"rhythm-channel-11", S::Warning,
     "Channel 11 as a second rhythm channel belongs to the profile, but not every phone "
     "supports it and such phones play its drum notes with a melodic sound.",
     "TS 23.040 E.14",
     "Channel 11 plays drums from {time}; some phones do not support a second rhythm channel.",
     "Move the drum notes to channel 10 when the phones you target lack the second one."},
    {"drum-note-range", S::Warning,
     "The General MIDI drum map that the profile's phones carry has sounds for keys 35 to 81 "
     "only; other keys play nothing or a wrong sound.",
     "RP-035 percussion",
     "Channel {channel} plays drum keys outside 35..81 ({count:note}, first {detail} at "
     "{time}).",
     "Move those notes to drum keys from 35 to 81, or remove them."},

    // --- The vibra channel ---
    {"vibra-setup-late", S::Error,
     "The vibra channel is set up with Bank Select MSB 121, Bank Select LSB 6 and Program "
     "Change 124 or 125 before its first note; notes before the setup play as an instrument.",
     "RP-035 vibra",
     "The vibra channel {channel} plays notes from {time}, before its setup at {detail}: they "
     "sound as an instrument.",
     "Mark the channel as vibra in Quellor and save: the setup goes in front of its first "
     "message."},
    {"vibra-on-percussion", S::Error,
     "The vibra setup is never sent on channel 10, the percussion channel, which cannot "
     "change to the vibra bank.",
     "RP-035 vibra",
     "Channel 10 carries a vibra setup at {time}; the percussion channel cannot "
     "drive the vibra.",
     "Use another channel as the vibra channel."},
    {"vibra-program-mode", S::Warning,
     "The vibra Program Change is 124 or 125 depending on the phone series (the vibra mode); "
     "the other series does not start the vibra.",
     "RP-035 vibra",
     "The vibra channel {channel} uses program {value} but the vibra mode asks for {limit}.",
     "Choose the vibra mode for the phones you target and save again."},
    {"vibra-polyphonic", S::Warning,
     "The vibra motor plays one note at a time: a vibra channel is monophonic.", "RP-035 vibra",
     "The vibra channel {channel} sounds two or more notes at once ({times}), first at "
     "{time}.",
     "Make the vibra channel monophonic, for example a copy of a monophonic bass line."},
    {"vibra-priority", S::Warning,
     "The vibra channel needs no voice, but a phone drops it with the other channels whose MIP "
     "value is above its voices; at a value above 5 the smallest phones never vibrate.",
     "RP-035 vibra",
     "The vibra channel {channel} has the MIP value {value}: 5-voice phones drop it.",
     "Move the vibra channel to priority 2 or to a place where the MIP value is 5 or less."},
    {"vibra-adds-voices", S::Note,
     "The vibra channel uses no voice, so its MIP value repeats the value before it; a higher "
     "value takes voices from the channels after it.",
     "RP-035 vibra",
     "The vibra channel {channel} adds {value} voices to the MIP values that it does not use.",
     "Mark the channel as vibra in Quellor and save: its entry then adds nothing."},

    // --- The profile ---
    {"controller-unsupported", S::Warning,
     "The profile's phones respond to Bank Select (0, 32), Modulation (1), Data Entry (6, 38), "
     "Channel Volume (7), Pan (10), Expression (11), Sustain (64), RPN (100, 101), All Sound "
     "Off (120), Reset All Controllers (121) and All Notes Off (123); they ignore other "
     "controllers.",
     "RP-035 controllers",
     "Channel {channel} uses controllers the profile does not list ({detail}; "
     "{count:message}, first at {time}).",
     "Remove those controllers, or check the song on the phones you target."},
    {"rpn-unsupported", S::Warning,
     "Of the Registered Parameters the profile's phones know Pitch Bend Sensitivity (0/0), "
     "Fine Tuning (0/1) and Coarse Tuning (0/2); Data Entry for other parameters is ignored.",
     "RP-035 RPN",
     "Channel {channel} sets registered parameters the profile does not list ({detail}; "
     "{count:message}, first at {time}).",
     "Remove those parameter settings."},
    {"sysex-master-volume", S::Warning,
     "Phones are not expected to support the Master Volume message.", "TS 23.040 H.4",
     "The song sets the Master Volume ({count:message}, first at {time}); many phones ignore "
     "it.",
     "Set the level with Channel Volume (controller 7) instead."},
    {"sysex-unsupported", S::Warning,
     "Of the System Exclusive messages the profile's phones know the MIP message and the GM1 "
     "and GM2 System On; they ignore others.",
     "RP-035 SysEx",
     "The song has SysEx messages the profile does not list ({count:message}, first {detail} at "
     "{time}, track {track}).",
     "Load the song with SysEx stripping on and save again: the other SysEx messages go."},
    {"poly-aftertouch", S::Warning,
     "Polyphonic Key Pressure is not among the profile's messages; phones ignore it.",
     "RP-035 channel messages",
     "Channel {channel} sends Polyphonic Key Pressure ({count:message}, first at {time}).",
     "Remove the key pressure messages."},
    {"channel-pressure", S::Note,
     "Content creators should not expect full support for Channel Pressure.", "TS 23.040 H.4",
     "Channel {channel} sends Channel Pressure ({count:message}, first at {time}); some phones "
     "ignore it.",
     "Check the channel on the phones you target."},
    {"pitch-bend", S::Note, "Content creators should not expect full support for Pitch Bend.",
     "TS 23.040 H.4",
     "Channel {channel} bends the pitch ({count:message}, first at {time}); some phones do "
     "not.",
     "Check the channel on the phones you target."},
    {"note-never-ends", S::Warning,
     "Every note-on has its note-off; a note that never ends holds a voice to the end of the "
     "song and takes it from the channels after it.",
     "RP-034 MIP counting",
     "Channel {channel} leaves {count:note} sounding to the end, the first from {time}.",
     "Add note-offs for those notes."},
    {"note-overlap", S::Warning,
     "A key is struck again only after its note-off; phones differ on whether a second "
     "note-on of a sounding key takes a new voice, and on which note the note-off ends.",
     "RP-034 MIP counting",
     "Channel {channel} strikes sounding keys again {times}, first at {time}.",
     "End each note before the same key is struck again."},
};

} // namespace

namespace SpMidiRules {

std::span<const SpMidiRule> All() {
    return kRules;
}

const SpMidiRule* Find(std::string_view id) {
    const auto it = std::find_if(std::begin(kRules), std::end(kRules),
                                 [id](const SpMidiRule& rule) { return rule.id == id; });
    return it == std::end(kRules) ? nullptr : &*it;
}

std::string_view SeverityName(SpMidiSeverity severity) {
    switch (severity) {
    case SpMidiSeverity::Error:
        return "error";
    case SpMidiSeverity::Warning:
        return "warning";
    case SpMidiSeverity::Note:
        break;
    }
    return "note";
}

} // namespace SpMidiRules
