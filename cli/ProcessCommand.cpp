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

// Applies one edit as the program does it, refusing what the program would not offer.
void ApplyEdit(SongFile& song, const Edit& edit) {
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

int RunProcess(const std::vector<std::string>& args) {
    SongSwitches switches;
    BatchProcessor::Options write;
    write.addVibra = false;
    bool json = false;
    bool allowLoss = false;
    std::vector<std::string> files;
    std::vector<Edit> edits;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (EndOfOptions(args, i, files))
            break;
        if (a == "--json") {
            json = true;
        } else if (a == "--allow-loss") {
            allowLoss = true;
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
    if (song.lastLoad.LeftSomethingOut() && !allowLoss) {
        // Writing would shorten the song, and with OUT = IN lose it: refused as the batch does.
        BatchFailure failure;
        failure.reason = BatchFailure::Reason::LeftOut;
        failure.leftOut = song.lastLoad.leftOut;
        std::cerr << "quellor-cli: '" << files[0] << "': " << FailureText(failure)
                  << "; nothing written (--allow-loss writes what was loaded)\n";
        return kExitFailure;
    }
    for (const Edit& edit : edits)
        ApplyEdit(song, edit);

    const SongFile::SaveOptions save = BatchProcessor::SaveOptionsFor(write);
    bool saved = false;
    if (IsStandardOutput(files[1])) {
        // The writer seeks back to fill in track lengths: the song is made whole in memory.
        MemorySink bytes;
        saved = song.SaveProcessed(bytes, save);
        if (saved && !WriteOutput(
                         files[1],
                         [&](ByteSink& sink) {
                             sink.Write(bytes.Bytes().data(), bytes.Bytes().size());
                             return true;
                         },
                         song.lastError))
            saved = false;
    } else {
        saved = song.SaveProcessed(files[1], save);
    }
    if (!saved) {
        BatchFailure failure;
        failure.reason = BatchFailure::Reason::CannotWrite;
        failure.error = song.lastError;
        std::cerr << "quellor-cli: '" << files[1] << "': " << FailureText(failure) << "\n";
        return kExitFailure;
    }
    // With the song on standard output, the report goes to standard error.
    PrintSongReport(IsStandardOutput(files[1]) ? std::cerr : std::cout, song, files[1], json);
    return kExitOk;
}

} // namespace cli
