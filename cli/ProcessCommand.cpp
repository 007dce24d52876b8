// quellor-cli process IN OUT: load, edit, bring the MIP message up to date, write.
#include "cli/CliCommon.h"
#include "cli/Commands.h"
#include "cli/SongLoading.h"
#include "cli/SongReport.h"
#include "song/BatchProcessor.h"
#include "song/ChannelCommands.h"
#include "song/SongFile.h"

#include <iostream>
#include <utility>

namespace cli {

namespace {

struct Edit {
    std::string name;
    std::string value;
};

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

// Applies one edit as the program's view does it.
void ApplyEdit(SongFile& song, const Edit& edit) {
    if (edit.name == "--priority") {
        const auto [c, p] = SplitPair(edit.value, edit.name);
        const int ch = ParseChannel(c);
        RequireUsed(song, ch, edit.name);
        const int priority = ParseInt(p, 1, song.CountUsedChannels(), "--priority");
        song.SetChannelPriority(ch, priority);
        song.ComputeMipTable();
        song.ComputeSequencePolyphony();
    } else if (edit.name == "--polyphony") {
        const auto [c, n] = SplitPair(edit.value, edit.name);
        const int ch = ParseChannel(c);
        RequireUsed(song, ch, edit.name);
        if (ch == song.vibraChannel)
            throw UsageError{"--polyphony: the vibra channel needs no voices"};
        song.SetPolyphony(ch, ParseInt(n, 0, song.maxPolyphony[ch], "--polyphony"));
        song.ComputeMipTable();
        song.ComputeSequencePolyphony();
    } else if (edit.name == "--mute" || edit.name == "--solo" || edit.name == "--remove" ||
               edit.name == "--vibra") {
        const int ch = ParseChannel(edit.value);
        RequireUsed(song, ch, edit.name);
        // The program offers Remove and Solo only while more than one channel is used.
        if ((edit.name == "--remove" || edit.name == "--solo") && song.CountUsedChannels() < 2)
            throw UsageError{edit.name + ": the song's only channel"};
        if (edit.name == "--mute") {
            ChannelCommands::ToggleMute(song, ch);
        } else if (edit.name == "--solo") {
            ChannelCommands::ToggleSolo(song, ch);
        } else if (edit.name == "--remove") {
            ChannelCommands::Remove(song, ch);
        } else {
            if (song.maxPolyphony[ch] != 1)
                throw UsageError{"--vibra: channel " + std::to_string(ch + 1) +
                                 " plays more than one note at a time (or none)"};
            ChannelCommands::SetVibraTrigger(song, ch, true);
        }
    } else if (edit.name == "--duplicate") {
        const auto [s, d] = SplitPair(edit.value, edit.name);
        const int source = ParseChannel(s);
        const int destination = ParseChannel(d);
        RequireUsed(song, source, edit.name);
        if (destination == 9)
            throw UsageError{"--duplicate: channel 10 is the percussion channel"};
        if (song.IsChannelUsed(destination))
            throw UsageError{"--duplicate: channel " + std::to_string(destination + 1) +
                             " is used"};
        ChannelCommands::Duplicate(song, source, destination);
    } else if (edit.name == "--add-vibra") {
        song.AddVibraFromBass();
        song.ComputeMipTable();
        song.ComputeSequencePolyphony();
    }
}

} // namespace

int RunProcess(const std::vector<std::string>& args) {
    SongSwitches switches;
    BatchProcessor::Options write;
    write.addVibra = false;
    bool json = false;
    std::vector<std::string> files;
    std::vector<Edit> edits;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (ParseSwitchOption(args, i, switches, true)) {
        } else if (ParseWriteOption(args, i, write)) {
        } else if (a == "--priority" || a == "--polyphony" || a == "--mute" || a == "--solo" ||
                   a == "--remove" || a == "--duplicate" || a == "--vibra") {
            edits.push_back({a, OptionValue(args, i)});
        } else if (a == "--add-vibra") {
            edits.push_back({a, ""});
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError{"unknown option " + a};
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2)
        throw UsageError{"process takes an input and an output file"};

    SongFile song;
    if (!LoadForCli(song, files[0], switches))
        return kExitFailure;
    for (const Edit& edit : edits)
        ApplyEdit(song, edit);

    std::string reason;
    if (!BatchProcessor::SaveProcessed(song, files[1], !write.removeText,
                                       write.midiAction != BatchProcessor::RemoveSpMidi, reason)) {
        std::cerr << "quellor-cli: '" << files[1] << "': " << reason << "\n";
        return kExitFailure;
    }
    PrintSongReport(std::cout, song, files[1], json);
    return kExitOk;
}

} // namespace cli
