// quellor-cli batch SRC DST: every .mid file of a folder, processed into another.
#include "cli/CliCommon.h"
#include "cli/Commands.h"
#include "cli/FindingsReport.h"
#include "song/BatchProcessor.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>

namespace cli {

namespace {

BatchProcessor* runningBatch = nullptr;

const char* ResultText(BatchFileEntry::Result result) {
    switch (result) {
    case BatchFileEntry::Result::Processed:
        return "OK";
    case BatchFileEntry::Result::Failed:
        return "Failed";
    case BatchFileEntry::Result::Pending:
        break;
    }
    return "-";
}

extern "C" void StopOnInterrupt(int) {
    // Like the dialog's "Stop": the files being processed complete, no further file starts.
    if (runningBatch)
        runningBatch->RequestStop();
}

} // namespace

int RunBatch(const std::vector<std::string>& args) {
    BatchProcessor::Options options;
    options.addVibra = false;
    std::vector<std::string> folders;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (EndOfOptions(args, i, folders))
            break;
        if (ParseSwitchOption(args, i, options.switches, true)) {
        } else if (ParseWriteOption(args, i, options)) {
        } else if (a == "--add-vibra") {
            options.addVibra = true;
        } else if (a == "--jobs") {
            options.jobs = static_cast<unsigned>(ParseInt(OptionValue(args, i), 1, 256, "--jobs"));
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError{"unknown option " + a};
        } else {
            folders.push_back(a);
        }
    }
    if (folders.size() != 2)
        throw UsageError{"batch takes a source and a destination folder"};

    std::vector<BatchFileEntry> entries;
    std::string error;
    if (!BatchProcessor::FindFiles(folders[0], entries, error)) {
        std::cerr << "quellor-cli: cannot list '" << folders[0] << "': " << error << "\n";
        return kExitFailure;
    }
    // A missing destination is made (its parent must exist), so that a run into a new folder
    // works; anything else that is not a folder fails once, here, not once per file.
    std::error_code ec;
    std::filesystem::create_directory(folders[1], ec);
    if (ec || !std::filesystem::is_directory(folders[1], ec)) {
        std::cerr << "quellor-cli: cannot write into '" << folders[1]
                  << "': " << (ec ? ec.message() : std::string("it is not a folder")) << "\n";
        return kExitFailure;
    }

    BatchProcessor batch;
    // Each file's line as soon as it and every file before it are done, in name order.
    std::size_t processed = 0;
    bool anyFailed = false;
    auto progress = [&](std::size_t index, std::size_t count) {
        const BatchFileEntry& entry = batch.Entries()[index];
        std::printf("%s\t%s", entry.title.c_str(), ResultText(entry.result));
        if (entry.result == BatchFileEntry::Result::Processed)
            std::printf("\t%s", TallyText(entry.findings).c_str());
        if (entry.result == BatchFileEntry::Result::Failed) {
            std::printf("\t%s", FailureText(entry.failure).c_str());
            anyFailed = true;
        }
        std::printf("\n");
        std::fflush(stdout);
        processed = index + 1;
        (void)count;
    };
    runningBatch = &batch;
    auto previous = std::signal(SIGINT, StopOnInterrupt);
    batch.Start(std::move(entries), folders[1], options, progress, nullptr);
    batch.Join();
    std::signal(SIGINT, previous);
    runningBatch = nullptr;
    std::printf("Processed: %zu/%zu\n", processed, batch.Entries().size());
    return anyFailed ? kExitFailure : kExitOk;
}

} // namespace cli
