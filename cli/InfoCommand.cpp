// quellor-cli info FILE: the channel analysis of a song.
#include "cli/CliCommon.h"
#include "cli/Commands.h"
#include "cli/SongLoading.h"
#include "cli/SongReport.h"
#include "song/BatchProcessor.h"
#include "song/SongFile.h"
#include "song/SpMidiCheck.h"

#include <iostream>
#include <stdexcept>

namespace cli {

int RunInfo(const std::vector<std::string>& args) {
    SongSwitches switches;
    bool json = false;
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (EndOfOptions(args, i, operands))
            break;
        if (args[i] == "--json")
            json = true;
        else if (ParseSwitchOption(args, i, switches, false))
            continue;
        else if (args[i].size() > 1 && args[i][0] == '-')
            throw UsageError{"unknown option " + args[i]};
        else
            operands.push_back(args[i]);
    }
    if (operands.size() > 1)
        throw UsageError{"info takes one file"};
    if (operands.empty())
        throw UsageError{"info needs a file"};
    const std::string& path = operands.front();
    SongFile song;
    if (!LoadForCli(song, path, switches))
        return kExitFailure;
    if (!json) {
        PrintSongReport(std::cout, song, path, false);
        return kExitOk;
    }
    // The findings for the song as process would save it with its defaults; a song that
    // cannot be saved (it has no track) has none to show.
    std::vector<SpMidiFinding> findings;
    SpMidiCheck check;
    check.vibraMode = song.switches.vibraMode;
    try {
        findings = check.CheckSaved(song, BatchProcessor::SaveOptionsFor({}));
    } catch (const std::runtime_error&) {
    }
    PrintSongReport(std::cout, song, path, true, &findings);
    return kExitOk;
}

} // namespace cli
