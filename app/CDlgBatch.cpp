#include "app/CDlgBatch.h"
#include "app/CheckWords.h"
#include "app/LoadWords.h"
#include "app/QtSettingsStore.h"
#include "app/UserPrompt.h"
#include "resources/StringTable.h"
#include "resources/resource.h"

#include "ui_CDlgBatch.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMetaObject>
#include <QSettings>
#include <QShowEvent>
#include <QTreeWidgetItem>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <system_error>

namespace {

const QString kSourceHistory = QStringLiteral("SourcePathHistory");
const QString kDestinationHistory = QStringLiteral("DestinationPathHistory");
const QString kLastSourcePath = QStringLiteral("BatchSourcePath");
const QString kLastDestinationPath = QStringLiteral("BatchDestinationPath");

// The per-user settings store that holds the folder histories.
QSettings OpenStore() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ORBANTA"),
                     QStringLiteral("Quellor"));
}

QString PlatformFolderPicker(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

// Paths reach the core in the file system's own encoding, and names come back the same way.
std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
QString ShownName(const std::string& name) {
    return QFile::decodeName(name.c_str());
}

// A file the run left alone so as not to replace another file of it.
bool IsSkipped(const BatchFileEntry& entry) {
    return entry.result == BatchFileEntry::Result::Failed &&
           (entry.failure.reason == BatchFailure::Reason::OutputTaken ||
            entry.failure.reason == BatchFailure::Reason::OutputIsSource);
}

// Why the file failed, in a few words for its row; empty when there is nothing to say.
QString ReasonText(const BatchFailure& failure) {
    const QString output = ShownName(std::filesystem::path(failure.path).filename().string());
    const QString error = QString::fromLocal8Bit(failure.error.c_str());
    switch (failure.reason) {
    case BatchFailure::Reason::None:
        break;
    case BatchFailure::Reason::CannotOpen:
        return StringTable::Get(Res::IDS_WHY_CANNOT_OPEN).arg(error);
    case BatchFailure::Reason::NotSmf:
        return StringTable::Get(Res::IDS_WHY_NOT_SMF);
    case BatchFailure::Reason::LeftOut:
        return StringTable::Get(Res::IDS_WHY_LEFT_OUT).arg(LeftOutText(failure.leftOut));
    case BatchFailure::Reason::CannotWrite:
        return StringTable::Get(Res::IDS_WHY_CANNOT_WRITE).arg(error);
    case BatchFailure::Reason::OutputTaken:
        return StringTable::Get(Res::IDS_WHY_OUTPUT_TAKEN).arg(output);
    case BatchFailure::Reason::OutputIsSource:
        return StringTable::Get(Res::IDS_WHY_OUTPUT_IS_SOURCE).arg(output);
    case BatchFailure::Reason::Error:
        return error;
    }
    return {};
}

QString ResultText(const BatchFileEntry& entry) {
    switch (entry.result) {
    case BatchFileEntry::Result::Processed:
        // With what the SP-MIDI checker found in the written file.
        return StringTable::Get(Res::IDS_RESULT_OK_FINDINGS).arg(TallyText(entry.findings));
    case BatchFileEntry::Result::Failed: {
        // With its reason: "Failed: not a Standard MIDI File".
        const QString result =
            StringTable::Get(IsSkipped(entry) ? Res::IDS_RESULT_SKIPPED : Res::IDS_RESULT_FAILED);
        const QString reason = ReasonText(entry.failure);
        return reason.isEmpty() ? result
                                : StringTable::Get(Res::IDS_RESULT_WHY).arg(result, reason);
    }
    case BatchFileEntry::Result::Pending:
        break;
    }
    return StringTable::Get(Res::IDS_RESULT_PENDING);
}

// Why the file failed, shown when the pointer rests on its status; empty when it did not.
QString FailureText(const BatchFileEntry& entry) {
    const BatchFailure& failure = entry.failure;
    const QString source = QDir::toNativeSeparators(ShownName(entry.path));
    const QString output = QDir::toNativeSeparators(ShownName(failure.path));
    const QString error = QString::fromLocal8Bit(failure.error.c_str());
    switch (failure.reason) {
    case BatchFailure::Reason::None:
        break;
    case BatchFailure::Reason::CannotOpen:
        return StringTable::Get(Res::IDS_CANNOT_OPEN).arg(source, error);
    case BatchFailure::Reason::NotSmf:
        return StringTable::Get(Res::IDS_NOT_SMF).arg(source);
    case BatchFailure::Reason::LeftOut:
        return StringTable::Get(Res::IDS_BATCH_LEFT_OUT).arg(source, LeftOutText(failure.leftOut));
    case BatchFailure::Reason::CannotWrite:
        return StringTable::Get(Res::IDS_CANNOT_SAVE).arg(output, error);
    case BatchFailure::Reason::OutputTaken:
        return StringTable::Get(Res::IDS_BATCH_OUTPUT_TAKEN).arg(output);
    case BatchFailure::Reason::OutputIsSource:
        return StringTable::Get(Res::IDS_BATCH_OUTPUT_IS_SOURCE).arg(output);
    case BatchFailure::Reason::Error:
        return StringTable::Get(Res::IDS_BATCH_FAILED).arg(source, error);
    }
    return {};
}

} // namespace

CDlgBatch::CDlgBatch(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CDlgBatch>()),
      folderPicker_(&PlatformFolderPicker) {
    // A settings file that is not a plain file of sensible size is left alone (the program
    // said so at its start): the histories start empty and are not saved.
    if (QtSettingsStore::FileIsUsable()) {
        QSettings store = OpenStore();
        destinationHistory_.Load(store, kDestinationHistory);
        sourceHistory_.Load(store, kSourceHistory);
        lastDestinationPath_ = store.value(kLastDestinationPath).toString();
        lastSourcePath_ = store.value(kLastSourcePath).toString();
    }

    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // Both combos start with their history in the list and the path of the last run.
    ui_->destinationCombo->addItems(destinationHistory_.Entries());
    ui_->sourceCombo->addItems(sourceHistory_.Entries());
    ui_->destinationCombo->setCurrentIndex(-1);
    ui_->sourceCombo->setCurrentIndex(-1);
    ui_->destinationCombo->clearEditText();
    ui_->sourceCombo->clearEditText();
    sourcePath_ = lastSourcePath_;
    destinationPath_ = lastDestinationPath_;

    connect(ui_->sourceCombo, &QComboBox::editTextChanged, this, &CDlgBatch::OnSourceEdited);
    connect(ui_->destinationCombo, &QComboBox::editTextChanged, this,
            &CDlgBatch::OnDestinationEdited);
    connect(ui_->sourceBrowseButton, &QPushButton::clicked, this, [this] {
        Browse(ui_->sourceCombo, sourcePath_, StringTable::Get(Res::IDS_SELECT_SOURCE_FOLDER));
    });
    connect(ui_->destinationBrowseButton, &QPushButton::clicked, this, [this] {
        Browse(ui_->destinationCombo, destinationPath_,
               StringTable::Get(Res::IDS_SELECT_DESTINATION_FOLDER));
    });
    const std::initializer_list<QAbstractButton*> options = {
        ui_->removeSpMidiRadio,  ui_->leaveSpMidiRadio,   ui_->updateSpMidiRadio,
        ui_->midiModeRadio,      ui_->smafModeRadio,      ui_->removeTextCheck,
        ui_->addVibraCheck,      ui_->saveProtectedCheck, ui_->editProtectedCheck,
        ui_->copyProtectedCheck, ui_->extractSamplesCheck};
    for (QAbstractButton* button : options)
        connect(button, &QAbstractButton::clicked, this, &CDlgBatch::OnOptionClicked);
    connect(ui_->runButton, &QPushButton::clicked, this, &CDlgBatch::OnRun);
    connect(ui_->stopButton, &QPushButton::clicked, this, &CDlgBatch::OnStop);
    connect(ui_->closeButton, &QPushButton::clicked, this, &CDlgBatch::accept);

    UpdateControls();
    WriteControls();
}

CDlgBatch::~CDlgBatch() {
    StopAndWait(false);
    SaveHistories();
}

void CDlgBatch::SetFolderPicker(FolderPicker picker) {
    folderPicker_ = std::move(picker);
}

void CDlgBatch::done(int result) {
    StopAndWait(true);
    SaveHistories();
    QDialog::done(result);
}

void CDlgBatch::WorkerFileDone(std::size_t, std::size_t) {}

void CDlgBatch::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (columnsSized_)
        return;
    columnsSized_ = true;
    // "File" takes 80 % of the list's width, "Status" 20 %, and they keep those widths.
    ui_->fileList->header()->setStretchLastSection(false);
    const int width = ui_->fileList->viewport()->width();
    ui_->fileList->header()->resizeSection(0, width * 80 / 100);
    ui_->fileList->header()->resizeSection(1, width * 20 / 100);
}

void CDlgBatch::ReadControls() {
    sourcePath_ = ui_->sourceCombo->currentText();
    destinationPath_ = ui_->destinationCombo->currentText();
    using Action = BatchProcessor::MidiAction;
    if (ui_->removeSpMidiRadio->isChecked())
        midiAction_ = Action::RemoveSpMidi;
    else if (ui_->leaveSpMidiRadio->isChecked())
        midiAction_ = Action::LeaveSpMidi;
    else if (ui_->updateSpMidiRadio->isChecked())
        midiAction_ = Action::UpdateSpMidi;
    removeText_ = ui_->removeTextCheck->isChecked();
    addVibra_ = ui_->addVibraCheck->isChecked();
    processingMode_ = ui_->smafModeRadio->isChecked() ? 1 : 0;
    smafOptions_ = {ui_->saveProtectedCheck->isChecked(), ui_->editProtectedCheck->isChecked(),
                    ui_->copyProtectedCheck->isChecked(), ui_->extractSamplesCheck->isChecked()};
}

void CDlgBatch::WriteControls() {
    // Only a real change is written, so that the edit fields keep their cursor.
    if (ui_->sourceCombo->currentText() != sourcePath_)
        ui_->sourceCombo->setEditText(sourcePath_);
    if (ui_->destinationCombo->currentText() != destinationPath_)
        ui_->destinationCombo->setEditText(destinationPath_);
    using Action = BatchProcessor::MidiAction;
    ui_->removeSpMidiRadio->setChecked(midiAction_ == Action::RemoveSpMidi);
    ui_->leaveSpMidiRadio->setChecked(midiAction_ == Action::LeaveSpMidi);
    ui_->updateSpMidiRadio->setChecked(midiAction_ == Action::UpdateSpMidi);
    ui_->removeTextCheck->setChecked(removeText_);
    ui_->addVibraCheck->setChecked(addVibra_);
    ui_->midiModeRadio->setChecked(processingMode_ == 0);
    ui_->smafModeRadio->setChecked(processingMode_ == 1);
    ui_->saveProtectedCheck->setChecked(smafOptions_[0]);
    ui_->editProtectedCheck->setChecked(smafOptions_[1]);
    ui_->copyProtectedCheck->setChecked(smafOptions_[2]);
    ui_->extractSamplesCheck->setChecked(smafOptions_[3]);
    ui_->processedEdit->setText(processedText_);
    ui_->summaryLabel->setText(summaryText_);
}

void CDlgBatch::UpdateControls() {
    const bool midiMode = processingMode_ == 0;
    const bool vibraPossible = midiMode && BatchProcessor::CanAddVibra(midiAction_);
    if (midiMode && !vibraPossible && addVibra_) {
        addVibra_ = false;
        ui_->addVibraCheck->setChecked(false);
    }
    ui_->addVibraCheck->setEnabled(vibraPossible);

    const std::initializer_list<QWidget*> smafControls = {
        ui_->saveProtectedCheck, ui_->editProtectedCheck, ui_->copyProtectedCheck,
        ui_->extractSamplesCheck};
    for (QWidget* control : smafControls)
        control->setEnabled(!midiMode);
    const std::initializer_list<QWidget*> midiControls = {
        ui_->removeSpMidiRadio, ui_->leaveSpMidiRadio, ui_->updateSpMidiRadio,
        ui_->removeTextCheck};
    for (QWidget* control : midiControls)
        control->setEnabled(midiMode);

    const bool pathsGiven = !sourcePath_.isEmpty() && !destinationPath_.isEmpty();
    ui_->fileList->setEnabled(pathsGiven);
    ui_->runButton->setEnabled(pathsGiven && !running_);
    // Stop follows the run alone: a path emptied during a run must not leave Stop enabled
    // after it, nor take it away while the worker still runs.
    ui_->stopButton->setEnabled(running_);
}

void CDlgBatch::OnSourceEdited(const QString& text) {
    sourcePath_ = text;
    UpdateControls();
}

void CDlgBatch::OnDestinationEdited(const QString& text) {
    destinationPath_ = text;
    UpdateControls();
}

void CDlgBatch::OnOptionClicked() {
    ReadControls();
    UpdateControls();
}

void CDlgBatch::Browse(QComboBox* combo, QString& path, const QString& title) {
    const QString folder = folderPicker_ ? folderPicker_(this, title, path) : QString();
    if (folder.isEmpty())
        return;
    combo->insertItem(0, folder);
    combo->setCurrentIndex(0);
    path = folder;
    UpdateControls();
}

void CDlgBatch::OnRun() {
    ReadControls();
    if (running_ || sourcePath_.isEmpty() || destinationPath_.isEmpty())
        return;
    if (!DestinationReady())
        return;

    // A folder that cannot be listed gives an empty run, like a folder without songs.
    std::string error;
    entries_.clear();
    BatchProcessor::FindFiles(LocalPath(sourcePath_), entries_, error);
    RebuildList();
    summaryText_.clear();
    stopRequested_ = false;

    BatchProcessor::Options options;
    options.midiAction = midiAction_;
    options.removeText = removeText_;
    options.addVibra = addVibra_;
    options.switches = switches_;
    options.jobs = jobs_;
    const unsigned run = ++run_;
    // Both reports run on the worker thread and only post: the worker never waits for this
    // dialog, so the dialog may always wait for the worker.
    auto progress = [this, run](std::size_t index, std::size_t count) {
        const BatchFileEntry entry = processor_.Entries()[index];
        WorkerFileDone(index, count);
        QMetaObject::invokeMethod(
            this, [this, run, index, count, entry] { OnProgress(run, index, count, entry); },
            Qt::QueuedConnection);
    };
    auto finished = [this, run] {
        QMetaObject::invokeMethod(
            this, [this, run] { OnFinished(run); }, Qt::QueuedConnection);
    };
    running_ = true;
    processor_.Start(entries_, LocalPath(destinationPath_), options, progress, finished);

    // Only folders that exist are remembered; the destination does by now.
    destinationHistory_.Add(destinationPath_);
    lastDestinationPath_ = destinationPath_;
    if (QFileInfo(sourcePath_).isDir()) {
        sourceHistory_.Add(sourcePath_);
        lastSourcePath_ = sourcePath_;
    }

    UpdateControls();
    WriteControls();
}

void CDlgBatch::OnStop() {
    if (!running_)
        return;
    stopRequested_ = true;
    processor_.RequestStop();
}

bool CDlgBatch::DestinationReady() {
    const QFileInfo info(destinationPath_);
    if (info.isDir())
        return true;
    const QString shown = QDir::toNativeSeparators(destinationPath_);
    if (info.exists()) {
        UserPrompt::Show(this, UserPrompt::Icon::Critical,
                         StringTable::Get(Res::IDS_CANNOT_USE_FOLDER)
                             .arg(shown, QString::fromLocal8Bit(std::strerror(ENOTDIR))));
        return false;
    }
    if (UserPrompt::Show(this, UserPrompt::Icon::Question,
                         StringTable::Get(Res::IDS_ASK_CREATE_FOLDER).arg(shown),
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) != QMessageBox::Yes)
        return false;
    std::error_code ec;
    std::filesystem::create_directories(LocalPath(destinationPath_), ec);
    if (ec) {
        UserPrompt::Show(this, UserPrompt::Icon::Critical,
                         StringTable::Get(Res::IDS_CANNOT_USE_FOLDER)
                             .arg(shown, QString::fromLocal8Bit(ec.message().c_str())));
        return false;
    }
    return true;
}

void CDlgBatch::ShowSummary() {
    std::size_t processed = 0, failed = 0, skipped = 0, pending = 0;
    for (const BatchFileEntry& entry : entries_) {
        if (entry.result == BatchFileEntry::Result::Processed)
            ++processed;
        else if (IsSkipped(entry))
            ++skipped;
        else if (entry.result == BatchFileEntry::Result::Failed)
            ++failed;
        else
            ++pending;
    }
    const std::size_t count = entries_.size();
    summaryText_ =
        stopRequested_ && pending > 0
            ? StringTable::Get(Res::IDS_BATCH_STOPPED).arg(count - pending).arg(count)
            : StringTable::Get(Res::IDS_BATCH_SUMMARY).arg(processed).arg(failed).arg(skipped);
    ui_->summaryLabel->setText(summaryText_);
}

void CDlgBatch::OnProgress(unsigned run, std::size_t index, std::size_t count,
                           const BatchFileEntry& result) {
    if (run != run_)
        return;
    processedText_ = QStringLiteral("%1/%2").arg(index + 1).arg(count);
    ui_->processedEdit->setText(processedText_);
    if (index < entries_.size() && static_cast<int>(index) < ui_->fileList->topLevelItemCount()) {
        entries_[index].result = result.result;
        entries_[index].failure = result.failure;
        entries_[index].findings = result.findings;
        ShowResult(index);
    } else {
        RebuildList();
    }
    emit fileProcessed(static_cast<int>(index), static_cast<int>(count), result.result);
}

void CDlgBatch::OnFinished(unsigned run) {
    if (run != run_)
        return;
    processor_.Join();
    switches_ = processor_.Switches();
    running_ = false;
    ShowSummary();
    ReadControls();
    UpdateControls();
    WriteControls();
    emit runFinished();
}

void CDlgBatch::StopAndWait(bool notify) {
    if (!running_) {
        processor_.Join();
        return;
    }
    // The worker finishes its current file and ends; it never waits for this thread.
    processor_.RequestStop();
    processor_.Join();
    switches_ = processor_.Switches();
    // Its reports may still be queued: take the results from the joined worker and let the
    // queued reports of this run pass unheard.
    ++run_;
    running_ = false;
    const std::vector<BatchFileEntry>& results = processor_.Entries();
    std::size_t processed = 0;
    for (std::size_t i = 0; i < results.size() && i < entries_.size(); ++i) {
        if (results[i].result == BatchFileEntry::Result::Pending)
            continue;
        entries_[i].result = results[i].result;
        entries_[i].failure = results[i].failure;
        entries_[i].findings = results[i].findings;
        processed = i + 1;
        ShowResult(i);
    }
    if (processed > 0)
        processedText_ = QStringLiteral("%1/%2").arg(processed).arg(results.size());
    stopRequested_ = true;
    ShowSummary();
    UpdateControls();
    WriteControls();
    if (notify)
        emit runFinished();
}

void CDlgBatch::RebuildList() {
    QTreeWidget* list = ui_->fileList;
    list->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<qsizetype>(entries_.size()));
    for (const BatchFileEntry& entry : entries_) {
        auto* row = new QTreeWidgetItem({ShownName(entry.title), ResultText(entry)});
        row->setToolTip(1, FailureText(entry));
        rows.append(row);
    }
    list->addTopLevelItems(rows);
    if (!rows.isEmpty())
        list->scrollToItem(rows.last());
}

void CDlgBatch::ShowResult(std::size_t index) {
    QTreeWidgetItem* row = ui_->fileList->topLevelItem(static_cast<int>(index));
    if (!row)
        return;
    const BatchFileEntry& entry = entries_[index];
    row->setText(1, ResultText(entry));
    // A failed file tells why when the pointer rests on its status.
    row->setToolTip(1, FailureText(entry));
    ui_->fileList->scrollToItem(row);
}

void CDlgBatch::SaveHistories() const {
    if (!QtSettingsStore::FileIsUsable())
        return;
    QSettings store = OpenStore();
    destinationHistory_.Save(store, kDestinationHistory);
    sourceHistory_.Save(store, kSourceHistory);
    if (!lastDestinationPath_.isEmpty())
        store.setValue(kLastDestinationPath, lastDestinationPath_);
    if (!lastSourcePath_.isEmpty())
        store.setValue(kLastSourcePath, lastSourcePath_);
}
