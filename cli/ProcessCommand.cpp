// quellor-cli process IN OUT: load, edit, bring the MIP message up to date, write.
#include "cli/CliCommon.h"
#include "cli/Commands.h"
#include "cli/EditOptions.h"
#include "cli/SongLoading.h"
#include "cli/SongReport.h"
#include "song/BatchProcessor.h"
#include "song/SongFile.h"

#include <iostream>

namespace cli {

int RunProcess(const std::vector<std::string>& args) {
    SongSwitches switches;
    BatchProcessor::Options write;
    write.addVibra = false;
    bool json = false;
    bool allowLoss = false;
    std::vector<std::string> files;
    std::vector<EditOption> edits;
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
        } else if (ParseEditOption(args, i, edits)) {
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
    ApplyEdits(song, edits);

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
