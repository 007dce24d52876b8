#pragma once

#include "app/PathHistory.h"
#include "song/BatchFileEntry.h"
#include "song/BatchProcessor.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

class QComboBox;

namespace Ui {
class CDlgBatch;
}

// The Batch Processor (dialog 227): applies one treatment to every ".mid" file of a source
// folder and writes the results into a destination folder on the batch's pool of threads,
// listing each file with its result (a failure with its reason) in list order, and a summary
// when the run ends. Construct it, run it modally, destroy it: the two folder histories and
// the paths last run with are loaded by the constructor, so the path fields start at those
// paths, and saved when the dialog closes and when it is destroyed. Only folders that exist
// reach the histories: a missing destination folder is offered to be created before the run.
//
// The worker never waits for the dialog: its two reports (a file is done, the run has ended)
// are posted to the interface thread carrying their values, so closing during a run only has
// to wait for the file being processed.
class CDlgBatch : public QDialog {
    Q_OBJECT

public:
    // Asks for a folder; an empty result means cancelled.
    using FolderPicker =
        std::function<QString(QWidget* parent, const QString& title, const QString& start)>;

    explicit CDlgBatch(QWidget* parent = nullptr);
    ~CDlgBatch() override;

    // Replaces the platform's folder picker of the two "..." buttons.
    void SetFolderPicker(FolderPicker picker);
    bool IsRunning() const { return running_; }
    // How many files are processed at once; 0 (the default) is one per processor core.
    void SetJobs(unsigned jobs) { jobs_ = jobs; }
    // The switches the songs are loaded and written with; after a run, as its songs left
    // them (a vibra setup in a song changes the vibra mode).
    void SetSwitches(const SongSwitches& switches) { switches_ = switches; }
    const SongSwitches& Switches() const { return switches_; }

    // Closing during a run stops the worker after its current file and waits for it.
    void done(int result) override;

signals:
    // On the interface thread, after the row of file `index` of `count` shows `result`.
    void fileProcessed(int index, int count, BatchFileEntry::Result result);
    // On the interface thread, after the controls went back to idle.
    void runFinished();

protected:
    // Runs on the worker thread after each file, in list order, before its report is posted.
    // Does nothing here; a subclass may watch the run, or pace it when it runs one job. It must
    // not wait for the interface thread, and a subclass that overrides it must end a run
    // (close()) in its own destructor.
    virtual void WorkerFileDone(std::size_t index, std::size_t count);

    void showEvent(QShowEvent* event) override;

private:
    void ReadControls();
    void WriteControls();
    void UpdateControls();

    void OnSourceEdited(const QString& text);
    void OnDestinationEdited(const QString& text);
    void OnOptionClicked();
    void Browse(QComboBox* combo, QString& path, const QString& title);
    void OnRun();
    void OnStop();
    void OnProgress(unsigned run, std::size_t index, std::size_t count,
                    const BatchFileEntry& result);
    void OnFinished(unsigned run);
    // Stops a running worker after its current file, waits for it and shows its results.
    void StopAndWait(bool notify);
    // True when the destination folder exists, or the user had it created.
    bool DestinationReady();
    // The summary of the run that ended: the counts, or where the user stopped it.
    void ShowSummary();
    void RebuildList();
    void ShowResult(std::size_t index);
    void SaveHistories() const;

    std::unique_ptr<Ui::CDlgBatch> ui_;
    FolderPicker folderPicker_;

    std::vector<BatchFileEntry> entries_;
    BatchProcessor processor_;
    SongSwitches switches_;
    bool running_ = false;
    bool stopRequested_ = false;
    unsigned jobs_ = 0;
    // Numbers the runs, so that a report still queued from a run that was stopped and joined
    // by closing is ignored.
    unsigned run_ = 0;

    PathHistory destinationHistory_;
    PathHistory sourceHistory_;
    // The paths of the last run, where the path fields start.
    QString lastSourcePath_;
    QString lastDestinationPath_;

    QString processedText_;
    QString summaryText_;
    QString sourcePath_;
    QString destinationPath_;
    BatchProcessor::MidiAction midiAction_ = BatchProcessor::MidiAction::UpdateSpMidi;
    bool removeText_ = true;
    bool addVibra_ = true;
    // 0 = MIDI processing. SMAF processing has no implementation: its controls stay hidden.
    int processingMode_ = 0;
    std::array<bool, 4> smafOptions_{};

    bool columnsSized_ = false;
};
