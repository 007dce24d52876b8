// quellor-cli check IN: the SP-MIDI checker's findings on a file, as it stands or as
// process would write it.
#include "cli/CliCommon.h"
#include "cli/Commands.h"
#include "cli/EditOptions.h"
#include "cli/FindingsReport.h"
#include "cli/SongLoading.h"
#include "song/BatchProcessor.h"
#include "song/ByteSource.h"
#include "song/SongFile.h"
#include "song/SpMidiCheck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <stdexcept>

namespace cli {

namespace {

// The rule table as the README lists it: one Markdown line per rule.
void PrintRules() {
    for (const SpMidiRule& rule : SpMidiRules::All())
        std::cout << "- `" << rule.id << "` (" << SpMidiRules::SeverityName(rule.severity) << "; "
                  << rule.source << "): " << rule.description << "\n";
}

} // namespace

int RunCheck(const std::vector<std::string>& args) {
    if (args.size() == 1 && args.front() == "--rules") {
        PrintRules();
        return kExitOk;
    }
    SongSwitches switches;
    BatchProcessor::Options write;
    write.addVibra = false;
    bool json = false;
    bool afterSave = false;
    std::string path;
    std::vector<EditOption> edits;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--after-save") {
            afterSave = true;
        } else if (ParseSwitchOption(args, i, switches, true)) {
        } else if (ParseWriteOption(args, i, write)) {
        } else if (ParseEditOption(args, i, edits)) {
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError{"unknown option " + a};
        } else if (path.empty()) {
            path = a;
        } else {
            throw UsageError{"check takes one file"};
        }
    }
    if (path.empty())
        throw UsageError{"check needs a file"};
    if (!edits.empty() && !afterSave)
        throw UsageError{"edit options need --after-save: they change what a save writes"};

    SongFile song;
    if (!LoadForCli(song, path, switches))
        return kExitFailure;
    SpMidiCheck check;
    check.vibraMode = song.switches.vibraMode;
    std::vector<SpMidiFinding> findings;
    if (afterSave) {
        ApplyEdits(song, edits);
        try {
            findings = check.CheckSaved(song, BatchProcessor::SaveOptionsFor(write));
        } catch (const std::runtime_error& e) {
            std::cerr << "quellor-cli: '" << path << "': " << e.what() << "\n";
            return kExitFailure;
        }
    } else {
        // The file's own bytes, and the loaded song's shares from its MIP message.
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                                   &std::fclose);
        if (!file) {
            std::cerr << "quellor-cli: cannot open '" << path << "': " << std::strerror(errno)
                      << "\n";
            return kExitFailure;
        }
        FileSource in(file.get());
        findings = SpMidiCheck::Combine(check.CheckFile(in), check.CheckSong(song));
    }

    if (json) {
        std::cout << "{\"path\": " << JsonString(path) << ", \"findings\": ";
        PrintFindingsJson(std::cout, findings);
        std::cout << "}\n";
    } else {
        PrintFindingLines(std::cout, findings);
        const SpMidiTally tally = SpMidiCheck::Tally(findings);
        std::cout << TallyText(tally) << ", " << tally.notes
                  << (tally.notes == 1 ? " note" : " notes") << "\n";
    }
    return SpMidiCheck::HasError(findings) ? kExitFindings : kExitOk;
}

} // namespace cli
