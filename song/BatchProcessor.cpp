#include "song/BatchProcessor.h"

#include "song/AtomicFile.h"
#include "song/ChannelCommands.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool HasMidExtension(const std::string& name) {
    return name.size() >= 4 && Lower(name.substr(name.size() - 4)) == ".mid";
}

// A path spelled so that two spellings of one file compare equal.
std::string Normal(const fs::path& path) {
    std::error_code ec;
    fs::path normal = fs::weakly_canonical(path, ec);
    if (ec)
        normal = fs::absolute(path, ec).lexically_normal();
    return normal.string();
}

BatchProcessor::FileOutcome Failed(BatchFailure::Reason reason, std::string error = {}) {
    BatchProcessor::FileOutcome outcome;
    outcome.failure.reason = reason;
    outcome.failure.error = std::move(error);
    return outcome;
}

} // namespace

BatchProcessor::~BatchProcessor() {
    RequestStop();
    Join();
}

bool BatchProcessor::FindFiles(const std::string& folder, std::vector<BatchFileEntry>& entries,
                               std::string& error) {
    entries.clear();
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        if (name == "." || name == ".." || !HasMidExtension(name))
            continue;
        BatchFileEntry file;
        file.path = entry.path().string();
        file.title = name.substr(0, name.size() - 4);
        entries.push_back(std::move(file));
    }
    std::sort(entries.begin(), entries.end(), [](const BatchFileEntry& a, const BatchFileEntry& b) {
        const std::string na = fs::path(a.path).filename().string();
        const std::string nb = fs::path(b.path).filename().string();
        const std::string la = Lower(na), lb = Lower(nb);
        return la != lb ? la < lb : na < nb;
    });
    return true;
}

BatchProcessor::FileOutcome BatchProcessor::ProcessBatchFile(const std::string& outputPath,
                                                             const std::string& sourcePath,
                                                             const Options& options) {
    using Reason = BatchFailure::Reason;
    SongFile song;
    song.switches = options.switches;
    song.SetPath(sourcePath);
    song.LoadSongFile(sourcePath);
    const LoadReport& load = song.lastLoad;
    if (load.status == LoadReport::Status::CannotOpen)
        return Failed(Reason::CannotOpen, load.error);
    if (load.status == LoadReport::Status::NotSmf)
        return Failed(Reason::NotSmf);
    FileOutcome outcome;
    outcome.vibraMode = load.vibraMode; // found even when the file then fails
    if (load.LeftSomethingOut()) {
        // Writing would shorten the song.
        outcome.failure = {BatchFailure::Reason::LeftOut, {}, {}, load.leftOut};
        return outcome;
    }
    if (options.addVibra && CanAddVibra(options.midiAction))
        ChannelCommands::AddVibraFromBass(song, true);
    // Written into memory first, so that the checker reads what the file receives.
    MemorySink written(256 * 1024);
    if (!song.SaveProcessed(written, SaveOptionsFor(options)) ||
        !WriteFileAtomically(
            outputPath,
            [&written](ByteSink& sink) {
                sink.Write(written.Bytes().data(), written.Bytes().size());
                return sink.Ok();
            },
            song.lastError)) {
        outcome.failure = {Reason::CannotWrite, outputPath, song.lastError, {}};
        return outcome;
    }
    SpMidiCheck check;
    check.vibraMode = song.switches.vibraMode;
    outcome.findings = SpMidiCheck::Tally(
        SpMidiCheck::Combine(check.CheckBytes(written.Bytes()), check.CheckSong(song)));
    outcome.ok = true;
    return outcome;
}

SongFile::SaveOptions BatchProcessor::SaveOptionsFor(const Options& options) {
    SongFile::SaveOptions save;
    save.keepSysEx = options.midiAction != MidiAction::RemoveSpMidi;
    save.keepMeta = !options.removeText;
    save.updateMip = save.keepSysEx;
    return save;
}

void BatchProcessor::Start(std::vector<BatchFileEntry> entries, const std::string& destination,
                           const Options& options, ProgressFn progress, FinishedFn finished) {
    Join();
    entries_ = std::move(entries);
    stop_.store(false);
    running_.store(true);
    worker_ = std::thread(&BatchProcessor::Run, this, destination, options, std::move(progress),
                          std::move(finished));
}

void BatchProcessor::Join() {
    if (worker_.joinable())
        worker_.join();
}

void BatchProcessor::Run(std::string destination, Options options, ProgressFn progress,
                         FinishedFn finished) {
    // The destination is always the folder it names, "songs.new" included.
    const fs::path folder(destination);
    switches_ = options.switches;

    // Each source path once, spelled so that two spellings of one file compare equal.
    std::vector<std::string> sourceKeys;
    sourceKeys.reserve(entries_.size());
    for (const BatchFileEntry& entry : entries_)
        sourceKeys.push_back(Normal(entry.path));
    const std::set<std::string> sources(sourceKeys.begin(), sourceKeys.end());
    std::set<std::string> written;

    const std::size_t count = entries_.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (stop_.load())
            break;
        BatchFileEntry& entry = entries_[i];
        const fs::path output = folder / (entry.title + ".mid");
        const std::string outputKey = Normal(output);
        using Reason = BatchFailure::Reason;
        FileOutcome outcome;
        const bool taken = written.count(outputKey) > 0;
        if (taken || (outputKey != sourceKeys[i] && sources.count(outputKey))) {
            // It would replace a file this run wrote, or another of its sources.
            outcome = Failed(taken ? Reason::OutputTaken : Reason::OutputIsSource);
            outcome.failure.path = output.string();
        } else {
            try {
                outcome = ProcessBatchFile(output.string(), entry.path, options);
                // A vibra setup in this song sets the vibra mode for the songs after it.
                if (outcome.vibraMode)
                    options.switches.vibraMode = *outcome.vibraMode;
            } catch (const std::exception& e) {
                // Out of memory on a huge file, say: this file fails, the run goes on.
                outcome = Failed(Reason::Error, e.what());
            }
            if (outcome.ok)
                written.insert(outputKey);
        }
        entry.result =
            outcome.ok ? BatchFileEntry::Result::Processed : BatchFileEntry::Result::Failed;
        entry.failure = std::move(outcome.failure);
        entry.findings = outcome.findings;
        if (progress)
            progress(i, count);
    }
    switches_ = options.switches;
    running_.store(false);
    if (finished)
        finished();
}
