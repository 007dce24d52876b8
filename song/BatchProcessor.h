#pragma once

#include "song/BatchFileEntry.h"
#include "song/SongFile.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Applies one fixed treatment to every Standard MIDI File of a folder on a worker thread:
// load, optionally add a vibra channel made from the bass line, bring the MIP message up to
// date (or leave system events out), and write the result into the destination folder.
class BatchProcessor {
public:
    // What to do with the SP-MIDI information.
    enum MidiAction { RemoveSpMidi = 0, LeaveSpMidi = 1, UpdateSpMidi = 2 };

    struct Options {
        int midiAction = UpdateSpMidi;
        bool removeText = true;
        // Only with UpdateSpMidi; ignored with the other actions.
        bool addVibra = true;
    };

    // Called on the worker thread: after each file (index, count) and once at the end.
    using ProgressFn = std::function<void(std::size_t index, std::size_t count)>;
    using FinishedFn = std::function<void()>;

    BatchProcessor() = default;
    ~BatchProcessor();
    BatchProcessor(const BatchProcessor&) = delete;
    BatchProcessor& operator=(const BatchProcessor&) = delete;

    // The ".mid" files of `folder` (any letter case; sub-folders with such names included,
    // sub-folders not searched), sorted by name ignoring case, ties by the exact name.
    // False with `error` set when the folder cannot be listed.
    static bool FindFiles(const std::string& folder, std::vector<BatchFileEntry>& entries,
                          std::string& error);
    // Processes one file; true when it was written. On failure `reason` says why and
    // nothing is written.
    static bool ProcessBatchFile(const std::string& outputPath, const std::string& sourcePath,
                                 bool keepMeta, bool keepSysEx, bool addVibra, std::string& reason);

    // How the batch saves a song: "Remove SP-MIDI info" leaves out every system event, the
    // other actions keep them with an up-to-date MIP message; text events as the options say.
    static SongFile::SaveOptions SaveOptionsFor(const Options& options);

    // Starts a run over `entries` on a new thread; the options are taken once, now. A stop
    // request left over from an earlier run is forgotten.
    void Start(std::vector<BatchFileEntry> entries, const std::string& destination,
               const Options& options, ProgressFn progress, FinishedFn finished);
    // Asks the running worker to stop before its next file. Safe from a signal handler.
    void RequestStop() { stop_.store(true); }
    // Waits for the worker to end.
    void Join();
    bool IsRunning() const { return running_.load(); }
    // The entries of the current or last run; read them only in a report or after Join.
    const std::vector<BatchFileEntry>& Entries() const { return entries_; }

private:
    void Run(std::string destination, Options options, ProgressFn progress, FinishedFn finished);

    std::vector<BatchFileEntry> entries_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
};
