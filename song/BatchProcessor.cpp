#include "song/BatchProcessor.h"

#include "song/AtomicFile.h"
#include "song/ChannelCommands.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <unordered_map>
#include <utility>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kNone = SIZE_MAX;
// Threads that flush written files to disk and rename them into place while the pool goes on:
// a flush mostly waits for the disk, and the file system commits concurrent flushes together.
constexpr unsigned kFlushThreads = 16;
// Written files waiting for a flush thread, at most so many or so many bytes (one always may).
constexpr std::size_t kMaxWaitingWrites = 2 * kFlushThreads;
constexpr std::size_t kMaxWaitingBytes = 64u << 20;

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

// Normal(path) for many paths in few folders: each folder is resolved and listed once, and
// only a name the listing shows as a symbolic link is resolved on its own. The listing knows
// each entry's kind without a call per file.
class PathKeys {
public:
    std::string Of(const fs::path& path) {
        const std::string parent = path.parent_path().string();
        auto [it, fresh] = folders_.try_emplace(parent);
        Folder& folder = it->second;
        if (fresh) {
            const fs::path where = parent.empty() ? fs::path(".") : fs::path(parent);
            folder.normal = Normal(where);
            std::error_code ec;
            for (const fs::directory_entry& entry : fs::directory_iterator(where, ec)) {
                std::error_code kind;
                if (entry.is_symlink(kind))
                    folder.links.insert(entry.path().filename().string());
            }
        }
        const std::string name = path.filename().string();
        if (folder.links.count(name) > 0)
            return Normal(path);
        return (fs::path(folder.normal) / name).string();
    }

private:
    struct Folder {
        std::string normal;
        std::set<std::string> links;
    };
    std::map<std::string, Folder> folders_;
};

BatchProcessor::FileOutcome Failed(BatchFailure::Reason reason, std::string error = {}) {
    BatchProcessor::FileOutcome outcome;
    outcome.failure.reason = reason;
    outcome.failure.error = std::move(error);
    return outcome;
}

// Loads `sourcePath` for the batch; false with the failure in `outcome` when it is not to be
// written. The vibra mode the song's own setup asks for is in `outcome` either way.
bool LoadSource(SongFile& song, const std::string& sourcePath,
                const BatchProcessor::Options& options, BatchProcessor::FileOutcome& outcome) {
    using Reason = BatchFailure::Reason;
    song.switches = options.switches;
    song.SetPath(sourcePath);
    song.LoadSongFile(sourcePath);
    const LoadReport& load = song.lastLoad;
    if (load.status == LoadReport::Status::CannotOpen) {
        outcome = Failed(Reason::CannotOpen, load.error);
        return false;
    }
    if (load.status == LoadReport::Status::NotSmf) {
        outcome = Failed(Reason::NotSmf);
        return false;
    }
    outcome.vibraMode = load.vibraMode; // found even when the file then fails
    if (load.LeftSomethingOut()) {
        // Writing would shorten the song.
        outcome.failure = {Reason::LeftOut, {}, {}, load.leftOut};
        return false;
    }
    return true;
}

// The bytes the batch writes for the loaded `song`, in `written`, with the vibra mode in effect
// for it, and what the checker finds in them; false with the failure in `outcome`.
bool PrepareOutput(SongFile& song, std::uint32_t vibraMode, const std::string& outputPath,
                   const BatchProcessor::Options& options, MemorySink& written,
                   BatchProcessor::FileOutcome& outcome) {
    song.switches.vibraMode = vibraMode;
    if (options.addVibra && BatchProcessor::CanAddVibra(options.midiAction))
        ChannelCommands::AddVibraFromBass(song, true);
    // Written into memory first, so that the checker reads what the file receives.
    if (!song.SaveProcessed(written, BatchProcessor::SaveOptionsFor(options))) {
        outcome.failure = {BatchFailure::Reason::CannotWrite, outputPath, song.lastError, {}};
        return false;
    }
    SpMidiCheck check;
    check.vibraMode = song.switches.vibraMode;
    outcome.findings = SpMidiCheck::Tally(
        SpMidiCheck::Combine(check.CheckBytes(written.Bytes()), check.CheckSong(song)));
    return true;
}

// Replaces `outputPath` with `bytes`; the outcome is ok, or says why not.
void WriteOutput(const std::string& outputPath, const std::vector<std::uint8_t>& bytes,
                 BatchProcessor::FileOutcome& outcome) {
    std::string error;
    const bool ok = WriteFileAtomically(
        outputPath,
        [&bytes](ByteSink& sink) {
            sink.Write(bytes.data(), bytes.size());
            return sink.Ok();
        },
        error);
    if (ok) {
        outcome.ok = true;
    } else {
        outcome.failure = {BatchFailure::Reason::CannotWrite, outputPath, error, {}};
    }
}

} // namespace

// One run over the entries: the pool's threads take the files in list order, and the run's
// own thread reports each file once it and every file before it are done.
class BatchProcessor::Pool {
public:
    Pool(BatchProcessor& owner, const std::string& destination, const Options& options)
        : owner_(owner), options_(options), count_(owner.entries_.size()), loaded_(count_, 0),
          done_(count_, 0), written_(count_, 0), found_(count_), modeBefore_(count_, 0),
          modeAfter_(options.switches.vibraMode) {
        // The destination is always the folder it names, "songs.new" included.
        const fs::path folder(destination);
        PathKeys keys;
        // Each source path once, spelled so that two spellings of one file compare equal.
        std::vector<std::string> sourceKeys;
        sourceKeys.reserve(count_);
        for (const BatchFileEntry& entry : owner_.entries_)
            sourceKeys.push_back(keys.Of(entry.path));
        const std::set<std::string> sources(sourceKeys.begin(), sourceKeys.end());
        outputs_.reserve(count_);
        outputIsSource_.assign(count_, 0);
        sameOutputBefore_.assign(count_, kNone);
        std::unordered_map<std::string, std::size_t> lastWithOutput;
        for (std::size_t i = 0; i < count_; ++i) {
            outputs_.push_back((folder / (owner_.entries_[i].title + ".mid")).string());
            const std::string key = keys.Of(outputs_.back());
            outputIsSource_[i] = key != sourceKeys[i] && sources.count(key) > 0;
            auto [it, fresh] = lastWithOutput.try_emplace(key, i);
            if (!fresh) {
                sameOutputBefore_[i] = it->second;
                it->second = i;
            }
        }
    }

    // Processes the files and reports them through `progress`; returns once every file that
    // was started is done and reported.
    void Run(unsigned jobs, const ProgressFn& progress) {
        std::vector<std::thread> threads;
        // As many threads as the system gives; without a flush thread or a pool thread the
        // run goes one file after the other.
        const auto start = [&threads, this](unsigned count, void (Pool::*body)()) {
            unsigned started = 0;
            try {
                for (; started < count; ++started)
                    threads.emplace_back(body, this);
            } catch (const std::system_error&) {
            }
            return started;
        };
        unsigned workers = 0;
        if (jobs > 1 && start(kFlushThreads, &Pool::Flush) > 0) {
            {
                std::lock_guard lock(mutex_);
                busyWorkers_ = jobs;
            }
            workers = start(jobs, &Pool::Work);
            std::lock_guard lock(mutex_);
            busyWorkers_ -= jobs - workers;
        }
        if (workers == 0) {
            // One after the other on this thread, each reported before the next starts.
            for (std::size_t i = 0; i < count_ && !owner_.stop_.load(); ++i) {
                {
                    std::lock_guard lock(mutex_);
                    taken_ = i + 1;
                }
                Process(i, false);
                if (progress)
                    progress(i, count_);
            }
        } else {
            std::unique_lock lock(mutex_);
            for (;;) {
                reportable_.wait(lock, [&] {
                    return (reported_ < taken_ && done_[reported_]) ||
                           (busyWorkers_ == 0 && reported_ == taken_);
                });
                if (reported_ == taken_)
                    break;
                const std::size_t index = reported_++;
                lock.unlock();
                if (progress)
                    progress(index, count_);
                lock.lock();
            }
        }
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        waiting_.notify_all();
        for (std::thread& thread : threads)
            thread.join();
    }

    // The vibra mode after the files that were started, in list order.
    std::uint32_t VibraModeAfter() {
        std::lock_guard lock(mutex_);
        return modeAfter_;
    }

private:
    // A pool thread: takes the next file until none is left or a stop was asked for.
    void Work() {
        for (;;) {
            std::size_t index = 0;
            {
                std::lock_guard lock(mutex_);
                if (taken_ == count_ || owner_.stop_.load()) {
                    if (--busyWorkers_ == 0)
                        reportable_.notify_one();
                    return;
                }
                index = taken_++;
            }
            Process(index, true);
        }
    }

    // A flush thread: writes the files the pool has prepared until the run closes.
    void Flush() {
        for (;;) {
            PendingWrite write;
            {
                std::unique_lock lock(mutex_);
                waiting_.wait(lock, [this] { return closing_ || !writes_.empty(); });
                if (writes_.empty())
                    return;
                write = std::move(writes_.front());
                writes_.pop_front();
                waitingBytes_ -= write.bytes.size();
            }
            room_.notify_one();
            try {
                WriteOutput(outputs_[write.index], write.bytes, write.outcome);
            } catch (const std::exception& e) {
                write.outcome = Failed(BatchFailure::Reason::Error, e.what());
            }
            Finish(write.index, std::move(write.outcome));
        }
    }

    // Everything for file `index`: refused, failed or written (by a flush thread when
    // `handOver`, else here).
    void Process(std::size_t index, bool handOver) {
        using Reason = BatchFailure::Reason;
        FileOutcome outcome;
        bool announced = false;
        try {
            if (outputIsSource_[index] || OutputWrittenBefore(index)) {
                // It would replace a file this run wrote, or another of its sources. Not
                // loaded, so its vibra setup (if any) changes nothing.
                outcome =
                    Failed(outputIsSource_[index] ? Reason::OutputIsSource : Reason::OutputTaken);
                outcome.failure.path = outputs_[index];
                Announce(index, std::nullopt);
                Finish(index, std::move(outcome));
                return;
            }
            auto song = std::make_unique<SongFile>();
            const bool loaded = LoadSource(*song, owner_.entries_[index].path, options_, outcome);
            Announce(index, outcome.vibraMode);
            announced = true;
            if (loaded) {
                // A vibra setup in this song sets the vibra mode for the songs after it.
                const std::uint32_t mode =
                    outcome.vibraMode ? *outcome.vibraMode : VibraModeBefore(index);
                MemorySink written(256 * 1024);
                if (PrepareOutput(*song, mode, outputs_[index], options_, written, outcome)) {
                    song.reset();
                    if (handOver) {
                        HandOver(index, std::move(outcome), written.TakeBytes());
                        return;
                    }
                    WriteOutput(outputs_[index], written.Bytes(), outcome);
                }
            }
        } catch (const std::exception& e) {
            // Out of memory on a huge file, say: this file fails, the run goes on.
            outcome = Failed(Reason::Error, e.what());
            if (!announced)
                Announce(index, std::nullopt);
        }
        Finish(index, std::move(outcome));
    }

    // True when an earlier file with the same output was written; waits until it is done.
    bool OutputWrittenBefore(std::size_t index) {
        const std::size_t before = sameOutputBefore_[index];
        if (before == kNone)
            return false;
        std::unique_lock lock(mutex_);
        ++sleepers_;
        changed_.wait(lock, [&] { return done_[before] != 0; });
        --sleepers_;
        return written_[before] != 0;
    }

    // File `index` was loaded (or will never be): `found` is the vibra mode its setup asks for.
    void Announce(std::size_t index, std::optional<std::uint32_t> found) {
        std::lock_guard lock(mutex_);
        loaded_[index] = 1;
        found_[index] = found;
        while (chained_ < taken_ && loaded_[chained_]) {
            modeBefore_[chained_] = modeAfter_;
            if (found_[chained_])
                modeAfter_ = *found_[chained_];
            ++chained_;
        }
        if (sleepers_ > 0)
            changed_.notify_all();
    }

    // The vibra mode the files before `index` leave in effect; waits until they are loaded.
    std::uint32_t VibraModeBefore(std::size_t index) {
        std::unique_lock lock(mutex_);
        ++sleepers_;
        changed_.wait(lock, [&] { return chained_ > index; });
        --sleepers_;
        return modeBefore_[index];
    }

    void HandOver(std::size_t index, FileOutcome outcome, std::vector<std::uint8_t> bytes) {
        {
            std::unique_lock lock(mutex_);
            room_.wait(lock, [this] {
                return writes_.empty() ||
                       (writes_.size() < kMaxWaitingWrites && waitingBytes_ < kMaxWaitingBytes);
            });
            const std::size_t size = bytes.size();
            writes_.push_back({index, std::move(outcome), std::move(bytes)});
            waitingBytes_ += size;
        }
        waiting_.notify_one();
    }

    void Finish(std::size_t index, FileOutcome outcome) {
        BatchFileEntry& entry = owner_.entries_[index];
        std::lock_guard lock(mutex_);
        entry.result =
            outcome.ok ? BatchFileEntry::Result::Processed : BatchFileEntry::Result::Failed;
        entry.failure = std::move(outcome.failure);
        entry.findings = outcome.findings;
        const std::size_t before = sameOutputBefore_[index];
        written_[index] = outcome.ok || (before != kNone && written_[before]);
        done_[index] = 1;
        if (index == reported_)
            reportable_.notify_one();
        if (sleepers_ > 0)
            changed_.notify_all();
    }

    struct PendingWrite {
        std::size_t index = 0;
        FileOutcome outcome;
        std::vector<std::uint8_t> bytes;
    };

    BatchProcessor& owner_;
    const Options& options_;
    const std::size_t count_;
    std::vector<std::string> outputs_;
    std::vector<char> outputIsSource_;
    // The closest earlier file with the same output, or kNone.
    std::vector<std::size_t> sameOutputBefore_;

    std::mutex mutex_;
    // A file was loaded or done, for the `sleepers_` pool threads that wait for one.
    std::condition_variable changed_;
    unsigned sleepers_ = 0;
    // The next file to report is done, or the last pool thread ended.
    std::condition_variable reportable_;
    std::size_t reported_ = 0;
    std::size_t taken_ = 0;
    unsigned busyWorkers_ = 0;
    std::vector<char> loaded_;
    std::vector<char> done_;
    // The file, or an earlier one with the same output, was written.
    std::vector<char> written_;
    // The vibra mode each file's own setup asks for; the modes in effect before each file and
    // after the first `chained_` files, which are all loaded.
    std::vector<std::optional<std::uint32_t>> found_;
    std::vector<std::uint32_t> modeBefore_;
    std::uint32_t modeAfter_;
    std::size_t chained_ = 0;

    std::deque<PendingWrite> writes_;
    std::size_t waitingBytes_ = 0;
    bool closing_ = false;
    std::condition_variable waiting_; // a write is waiting, or the run closes
    std::condition_variable room_;    // a waiting write was taken
};

BatchProcessor::~BatchProcessor() {
    RequestStop();
    Join();
}

unsigned BatchProcessor::DefaultJobs() {
    return std::max(1u, std::thread::hardware_concurrency());
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
    struct Found {
        std::string lower, name;
        BatchFileEntry entry;
    };
    std::vector<Found> found;
    for (const fs::directory_entry& entry : it) {
        std::string name = entry.path().filename().string();
        if (name == "." || name == ".." || !HasMidExtension(name))
            continue;
        // A folder named "x.mid" is no file. The listing knows most entries' kind already.
        std::error_code kind;
        if (entry.is_directory(kind))
            continue;
        Found file;
        file.entry.path = entry.path().string();
        file.entry.title = name.substr(0, name.size() - 4);
        file.lower = Lower(name);
        file.name = std::move(name);
        found.push_back(std::move(file));
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.lower != b.lower ? a.lower < b.lower : a.name < b.name;
    });
    entries.reserve(found.size());
    for (Found& file : found)
        entries.push_back(std::move(file.entry));
    return true;
}

BatchProcessor::FileOutcome BatchProcessor::ProcessBatchFile(const std::string& outputPath,
                                                             const std::string& sourcePath,
                                                             const Options& options) {
    SongFile song;
    FileOutcome outcome;
    if (!LoadSource(song, sourcePath, options, outcome))
        return outcome;
    MemorySink written(256 * 1024);
    const std::uint32_t mode = outcome.vibraMode.value_or(options.switches.vibraMode);
    if (PrepareOutput(song, mode, outputPath, options, written, outcome))
        WriteOutput(outputPath, written.Bytes(), outcome);
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
    switches_ = options.switches;
    {
        Pool pool(*this, destination, options);
        pool.Run(options.jobs == 0 ? DefaultJobs() : options.jobs, progress);
        switches_.vibraMode = pool.VibraModeAfter();
    }
    running_.store(false);
    if (finished)
        finished();
}
