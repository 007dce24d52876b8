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
    std::vector<std::string> files;
    std::vector<EditOption> edits;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
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
    ApplyEdits(song, edits);

    if (!song.SaveProcessed(files[1], BatchProcessor::SaveOptionsFor(write))) {
        BatchFailure failure;
        failure.reason = BatchFailure::Reason::CannotWrite;
        failure.error = song.lastError;
        std::cerr << "quellor-cli: '" << files[1] << "': " << FailureText(failure) << "\n";
        return kExitFailure;
    }
    PrintSongReport(std::cout, song, files[1], json);
    return kExitOk;
}

} // namespace cli
