#include "cli/EditOptions.h"

#include "cli/CliCommon.h"
#include "song/ChannelCommands.h"
#include "song/SongFile.h"

#include <utility>

namespace cli {

namespace {

std::pair<std::string, std::string> SplitPair(const std::string& text, const std::string& option) {
    const auto eq = text.find('=');
    if (eq == std::string::npos)
        throw UsageError{option + " takes A=B, not '" + text + "'"};
    return {text.substr(0, eq), text.substr(eq + 1)};
}

void RequireUsed(const SongFile& song, int ch, const std::string& option) {
    if (!song.IsChannelUsed(ch))
        throw UsageError{option + ": channel " + std::to_string(ch + 1) + " is not used"};
}

// Applies one edit as the program does it, refusing what the program would not offer.
void ApplyEdit(SongFile& song, const EditOption& edit) {
    namespace cc = ChannelCommands;
    if (edit.name == "--priority") {
        const auto [c, p] = SplitPair(edit.value, edit.name);
        const int ch = ParseChannel(c);
        RequireUsed(song, ch, edit.name);
        const cc::Range priorities = cc::PriorityRange(song);
        cc::SetPriority(song, ch, ParseInt(p, priorities.lo, priorities.hi, "--priority"));
    } else if (edit.name == "--polyphony") {
        const auto [c, n] = SplitPair(edit.value, edit.name);
        const int ch = ParseChannel(c);
        RequireUsed(song, ch, edit.name);
        if (!cc::CanSetPolyphony(song, ch))
            throw UsageError{"--polyphony: the vibra channel needs no voices"};
        const cc::Range choices = cc::PolyphonyRange(song, ch);
        cc::SetPolyphony(song, ch, ParseInt(n, choices.lo, choices.hi, "--polyphony"));
    } else if (edit.name == "--mute" || edit.name == "--solo" || edit.name == "--remove") {
        const int ch = ParseChannel(edit.value);
        RequireUsed(song, ch, edit.name);
        // The program offers these commands only while more than one channel is used.
        const bool allowed = edit.name == "--mute"   ? cc::CanMute(song)
                             : edit.name == "--solo" ? cc::CanSolo(song)
                                                     : cc::CanRemove(song);
        if (!allowed)
            throw UsageError{edit.name + ": the song's only channel"};
        if (edit.name == "--mute")
            cc::ToggleMute(song, ch);
        else if (edit.name == "--solo")
            cc::ToggleSolo(song, ch);
        else
            cc::Remove(song, ch);
    } else if (edit.name == "--vibra") {
        const int ch = ParseChannel(edit.value);
        RequireUsed(song, ch, edit.name);
        if (!cc::CanBeVibra(song, ch))
            throw UsageError{"--vibra: channel " + std::to_string(ch + 1) +
                             " plays more than one note at a time (or none)"};
        cc::SetVibraTrigger(song, ch, true);
    } else if (edit.name == "--duplicate") {
        const auto [s, d] = SplitPair(edit.value, edit.name);
        const int source = ParseChannel(s);
        const int destination = ParseChannel(d);
        RequireUsed(song, source, edit.name);
        if (!cc::CanDuplicateTo(song, destination))
            throw UsageError{destination == cc::kPercussionChannel
                                 ? "--duplicate: channel 10 is the percussion channel"
                                 : "--duplicate: channel " + std::to_string(destination + 1) +
                                       " is used"};
        cc::Duplicate(song, source, destination);
    } else if (edit.name == "--add-vibra") {
        cc::AddVibraFromBass(song);
    }
}

} // namespace

bool ParseEditOption(const std::vector<std::string>& args, std::size_t& i,
                     std::vector<EditOption>& edits) {
    const std::string& a = args[i];
    if (a == "--priority" || a == "--polyphony" || a == "--mute" || a == "--solo" ||
        a == "--remove" || a == "--duplicate" || a == "--vibra") {
        edits.push_back({a, OptionValue(args, i)});
        return true;
    }
    if (a == "--add-vibra") {
        edits.push_back({a, ""});
        return true;
    }
    return false;
}

void ApplyEdits(SongFile& song, const std::vector<EditOption>& edits) {
    for (const EditOption& edit : edits)
        ApplyEdit(song, edit);
}

} // namespace cli
