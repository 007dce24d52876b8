#pragma once

#include "song/BatchFileEntry.h"
#include "song/SongFile.h"
#include "song/SongSwitches.h"
#include "song/SpMidiCheck.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Applies one fixed treatment to every Standard MIDI File of a folder on a worker thread:
// load, optionally add a vibra channel made from the bass line, bring the MIP message up to
// date (or leave system events out), and write the result into the destination folder.
//
// Several files are processed at once by a pool of threads, and while a written file is
// flushed to disk the next ones go on. The result is the same as one file after the other:
// the same files written with the same bytes, reported in list order. A song that sets up a
// vibra channel changes the vibra mode for the songs after it in list order, so a song
// without a setup of its own is written once every earlier song has been loaded.
class BatchProcessor {
public:
    // What to do with the SP-MIDI information: leave out every system event, the MIP
    // message among them; or keep them and bring the MIP message up to date ("Leave" does
    // the same as "Update", but adds no vibra channel).
    enum class MidiAction { RemoveSpMidi, LeaveSpMidi, UpdateSpMidi };

    struct Options {
        MidiAction midiAction = MidiAction::UpdateSpMidi;
        bool removeText = true;
        // Only where CanAddVibra(midiAction); ignored with the other actions.
        bool addVibra = true;
        // The switches the songs are loaded and written with. A song that sets up a vibra
        // channel changes the vibra mode for the songs after it, as in the program.
        SongSwitches switches;
        // How many files are loaded and processed at once; 0 is one per processor core. With
        // one, each file is written and reported before the next one starts.
        unsigned jobs = 0;
    };

    // What became of one file: written, or the reason it was not.
    struct FileOutcome {
        bool ok = false;
        BatchFailure failure;
        // The vibra mode the song's vibra setup asked for, when it had one.
        std::optional<std::uint32_t> vibraMode;
        // The SP-MIDI checker's findings on the written file, counted.
        SpMidiTally findings;
    };

    // Called on the worker thread: after each file (index, count), in list order, and once at
    // the end.
    using ProgressFn = std::function<void(std::size_t index, std::size_t count)>;
    using FinishedFn = std::function<void()>;

    BatchProcessor() = default;
    ~BatchProcessor();
    BatchProcessor(const BatchProcessor&) = delete;
    BatchProcessor& operator=(const BatchProcessor&) = delete;

    // The ".mid" files of `folder` (any letter case; folders with such names are not files and
    // are left out, sub-folders are not searched), sorted by name ignoring case, ties by the
    // exact name.
    // False with `error` set when the folder cannot be listed.
    static bool FindFiles(const std::string& folder, std::vector<BatchFileEntry>& entries,
                          std::string& error);
    // Processes one file, loaded with `options.switches`, and checks what it writes. Nothing
    // is written when it fails.
    static FileOutcome ProcessBatchFile(const std::string& outputPath,
                                        const std::string& sourcePath, const Options& options);

    // How the batch saves a song: system events and the MIP message by the MIDI action, text
    // events as the options say.
    static SongFile::SaveOptions SaveOptionsFor(const Options& options);
    // A vibra channel is added only while the SP-MIDI information is brought up to date.
    static bool CanAddVibra(MidiAction action) { return action == MidiAction::UpdateSpMidi; }
    // One job per processor core, at least one.
    static unsigned DefaultJobs();

    // Starts a run over `entries` on a new thread; the options are taken once, now. A stop
    // request left over from an earlier run is forgotten.
    void Start(std::vector<BatchFileEntry> entries, const std::string& destination,
               const Options& options, ProgressFn progress, FinishedFn finished);
    // Asks the running worker to stop: no further file starts, the files already started are
    // completed and reported. Safe from a signal handler.
    void RequestStop() { stop_.store(true); }
    // Waits for the worker to end.
    void Join();
    bool IsRunning() const { return running_.load(); }
    // The entries of the current or last run; read them only in a report or after Join.
    const std::vector<BatchFileEntry>& Entries() const { return entries_; }
    // The switches as the last run left them (its songs may have changed the vibra mode);
    // read them only after Join.
    const SongSwitches& Switches() const { return switches_; }

private:
    class Pool;

    void Run(std::string destination, Options options, ProgressFn progress, FinishedFn finished);

    std::vector<BatchFileEntry> entries_;
    SongSwitches switches_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
};
