#include "app/CQuellorDoc.h"
#include "app/CSongEditCommand.h"
#include "app/LoadWords.h"
#include "app/UserPrompt.h"
#include "resources/StringTable.h"
#include "resources/resource.h"

#include "playback/PhoneEngine.h"
#include "playback/PhoneSongBytes.h"
#include "playback/Segment.h"
#include "song/ByteSink.h"
#include "song/ChannelCommands.h"
#include "song/SongFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>
#include <utility>

namespace {

// How long the changes of another program's save are gathered before the user is asked.
constexpr int kChangeDelayMs = 200;

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

CQuellorDoc::CQuellorDoc(QObject* parent) : QObject(parent) {
    title_ = StringTable::Get(Res::IDS_NO_DOCUMENT);
    undoStack_ = new QUndoStack(this);
    connect(undoStack_, &QUndoStack::cleanChanged, this, &CQuellorDoc::EmitModifiedIfChanged);
    baseline_ = SongSnapshot::Capture(*this, true);
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &CQuellorDoc::OnWatchedFileChanged);
    changeDelay_ = new QTimer(this);
    changeDelay_->setSingleShot(true);
    changeDelay_->setInterval(kChangeDelayMs);
    connect(changeDelay_, &QTimer::timeout, this, [this] {
        if (!noDocument_ && QFileInfo::exists(pathName_))
            emit fileChangedOnDisk();
    });
}

void CQuellorDoc::WatchFile(const QString& filePath) {
    changeDelay_->stop();
    if (!watcher_->files().isEmpty())
        watcher_->removePaths(watcher_->files());
    if (!filePath.isEmpty() && QFileInfo::exists(filePath))
        watcher_->addPath(filePath);
}

void CQuellorDoc::OnWatchedFileChanged(const QString& filePath) {
    if (filePath != pathName_)
        return;
    // A file replaced by renaming another over it is no longer watched: watch the new one.
    if (QFileInfo::exists(filePath) && !watcher_->files().contains(filePath))
        watcher_->addPath(filePath);
    changeDelay_->start();
}

// The copies made for the transfer program go with their private folder (tempFolder_).
CQuellorDoc::~CQuellorDoc() = default;

void CQuellorDoc::OnNewDocument() {
    ClearTracks();
    ResetSong();
    path.clear();
    noDocument_ = true;
    pathName_.clear();
    WatchFile({});
    currentChannel_ = 0;
    SetDocTitle(StringTable::Get(Res::IDS_NO_DOCUMENT));
    ResetUndo();
    savingWithErrorsAccepted_ = false;
    CheckFindings();
    emit initialUpdate();
}

bool CQuellorDoc::OnOpenDocument(const QString& filePath) {
    const QString absolute = QFileInfo(filePath).absoluteFilePath();
    const std::string file = NativePath(absolute);
    auto refuse = [this, &absolute](const LoadReport& report) {
        const QString text =
            report.status == LoadReport::Status::CannotOpen
                ? StringTable::Get(Res::IDS_CANNOT_OPEN)
                      .arg(QDir::toNativeSeparators(absolute), QString::fromStdString(report.error))
                : StringTable::Get(Res::IDS_NOT_SMF).arg(QDir::toNativeSeparators(absolute));
        UserPrompt::Show(messageParent_, UserPrompt::Icon::Critical, text);
    };

    // Check the file on a scratch song first, so that a file that cannot be read leaves the
    // open song as it is.
    if (const LoadReport probe = ProbeFile(file); !probe.IsSmf()) {
        refuse(probe);
        return false;
    }

    // The song that is playing is about to be replaced.
    StopPlayback();
    // Loading starts from a reset song: every channel audible, no vibra channel.
    SetPath(file);
    try {
        LoadSongFile(file, FileTitle(file));
    } catch (const std::bad_alloc&) {
        // Loading had already replaced the song: what it stored so far is let go, the program
        // carries on with no document.
        OnNewDocument();
        UserPrompt::Show(
            messageParent_, UserPrompt::Icon::Critical,
            StringTable::Get(Res::IDS_OUT_OF_MEMORY).arg(QDir::toNativeSeparators(absolute)));
        return false;
    }
    if (!lastLoad.IsSmf()) {
        // The file changed between the check and the load.
        refuse(lastLoad);
        OnNewDocument();
        return false;
    }
    noDocument_ = false;
    pathName_ = absolute;
    WatchFile(absolute);
    SetDocTitle(QFileInfo(absolute).fileName());
    ResetUndo();
    savingWithErrorsAccepted_ = false;
    CheckFindings();
    emit initialUpdate();

    if (lastLoad.LeftSomethingOut())
        UserPrompt::Show(
            messageParent_, UserPrompt::Icon::Warning,
            StringTable::Get(Res::IDS_LEFT_OUT)
                .arg(QDir::toNativeSeparators(absolute), LeftOutText(lastLoad.leftOut)));
    return true;
}

bool CQuellorDoc::OnSaveDocument(const QString& filePath) {
    const QString absolute = QFileInfo(filePath).absoluteFilePath();
    const std::string file = NativePath(absolute);
    // The document's own save is no change by another program: nothing is watched while it
    // writes.
    WatchFile({});
    // The one safe writer of process and the batch: links are followed, special files and
    // read-only files are refused, the old file stays whole until the new one is.
    if (!SaveProcessed(file, SavingOptions())) {
        WatchFile(pathName_);
        UserPrompt::Show(messageParent_, UserPrompt::Icon::Critical,
                         StringTable::Get(Res::IDS_CANNOT_SAVE)
                             .arg(QDir::toNativeSeparators(absolute),
                                  QString::fromLocal8Bit(lastError.c_str())));
        return false;
    }
    // Reload reads the file last saved, not the one first opened.
    SetPath(file);
    pathName_ = absolute;
    WatchFile(absolute);
    SetDocTitle(QFileInfo(absolute).fileName());
    UpdateAllViews(0);
    SetModifiedFlag(false);
    return true;
}

bool CQuellorDoc::IsModified() const {
    return markedModified_ || !undoStack_->isClean();
}

void CQuellorDoc::SetModifiedFlag(bool modified) {
    markedModified_ = modified;
    if (!modified)
        undoStack_->setClean();
    EmitModifiedIfChanged();
}

void CQuellorDoc::EmitModifiedIfChanged() {
    const bool modified = IsModified();
    if (modified == lastModified_)
        return;
    lastModified_ = modified;
    emit modifiedChanged(modified);
}

void CQuellorDoc::ResetUndo() {
    // The steps of the song before hold its tracks: they go with it.
    undoStack_->clear();
    baseline_ = SongSnapshot::Capture(*this, true);
    SetModifiedFlag(false);
}

void CQuellorDoc::CommitEdit(const QString& text, bool eventsChanged) {
    if (noDocument_)
        return;
    SongSnapshot after = SongSnapshot::Capture(*this, eventsChanged);
    if (!eventsChanged) {
        if (after.SameChannelState(baseline_))
            return;
        after = after.WithTracks(baseline_.Tracks());
    }
    SongSnapshot before = baseline_;
    baseline_ = after;
    undoStack_->push(new CSongEditCommand(*this, text, std::move(before), std::move(after)));
}

void CQuellorDoc::RestoreSnapshot(const SongSnapshot& state, bool withTracks) {
    if (withTracks) {
        state.Restore(*this);
        baseline_ = state;
    } else {
        state.WithTracks(nullptr).Restore(*this);
        baseline_ = state.WithTracks(baseline_.Tracks());
    }
    // A channel that went with the step is no longer the current one.
    if (!used[static_cast<std::size_t>(currentChannel_)]) {
        const std::vector<int> order = ChannelCommands::ChannelsInPriorityOrder(*this);
        if (!order.empty())
            currentChannel_ = order.front();
    }
    UpdateAllViews(0);
}

void CQuellorDoc::UpdateAllViews(int hint) {
    // A mute, a solo or an undone one is heard at once in the song that plays.
    if (liveMutes_)
        SetAudibleChannels(AudibleChannelMask());
    CheckFindings();
    emit updated(hint);
}

bool CQuellorDoc::ShouldAskBeforeSaving() const {
    return !savingWithErrorsAccepted_ && SpMidiCheck::HasError(findings_);
}

void CQuellorDoc::CheckFindings() {
    findings_.clear();
    if (!noDocument_) {
        SpMidiCheck check;
        check.vibraMode = switches.vibraMode;
        try {
            findings_ = check.CheckSaved(*this, SavingOptions());
        } catch (const std::exception&) {
            // A song that cannot be written has nothing to check; Save says why.
        }
    }
    emit findingsChanged();
}

std::uint16_t CQuellorDoc::AudibleChannelMask() const {
    std::uint16_t mask = 0;
    for (int ch = 0; ch < kChannels; ++ch)
        if (enabled[static_cast<std::size_t>(ch)])
            mask = static_cast<std::uint16_t>(mask | (1u << ch));
    return mask;
}

void CQuellorDoc::RenderForPlayback() {
    liveMutes_ = false;
    if (playbackVoices_ > 0) {
        PlayOnPhone(-1);
        return;
    }
    // Every channel is rendered, the muted ones too, so that muting and unmuting while the
    // song plays reach the player without a restart; the player leaves out the notes of the
    // channels that are muted.
    const std::array<bool, kChannels> mutes = enabled;
    std::vector<std::uint8_t> bytes;
    enabled.fill(true);
    try {
        bytes = SongWriter::RenderForPlayback(-1);
    } catch (...) {
        enabled = mutes;
        throw;
    }
    enabled = mutes;
    liveMutes_ = PlayBuffer(std::move(bytes), AudibleChannelMask()) == 0;
}

std::uint64_t CQuellorDoc::GetPlayingLength() {
    if (noDocument_)
        return 0;
    try {
        const std::vector<std::uint8_t> bytes = SongWriter::RenderForPlayback(-1);
        const auto segment = Segment::FromSmf(bytes.data(), bytes.size());
        return segment ? segment->GetLengthUs() / 1000 : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

void CQuellorDoc::RenderChannelForPlayback() {
    liveMutes_ = false;
    if (playbackVoices_ > 0)
        PlayOnPhone(currentChannel_);
    else
        PlayBuffer(SongWriter::RenderForPlayback(currentChannel_));
}

void CQuellorDoc::SetPlaybackVoices(int voices) {
    if (voices == playbackVoices_)
        return;
    // What plays was chosen for the other sound.
    StopPlayback();
    playbackVoices_ = voices;
}

void CQuellorDoc::PlayOnPhone(int channel) {
    std::vector<std::uint8_t> bytes;
    if (!PhoneSongBytes(*this, SavingOptions(), channel, bytes)) {
        StopPlayback();
        UserPrompt::Show(
            messageParent_, UserPrompt::Icon::Warning,
            StringTable::Get(Res::IDS_PHONE_CANNOT_PLAY).arg(QString::fromStdString(lastError)));
        return;
    }
    const PhonePlayer::Result result = PlayPhoneBuffer(bytes, playbackVoices_);
    if (result == PhonePlayer::Result::NoSound && !phoneSoundReported_) {
        phoneSoundReported_ = true;
        UserPrompt::Show(messageParent_, UserPrompt::Icon::Warning,
                         StringTable::Get(Res::IDS_PHONE_NO_SOUND)
                             .arg(QString::fromStdString(GetPhoneSoundError())));
    } else if (result == PhonePlayer::Result::NotPlayable) {
        UserPrompt::Show(messageParent_, UserPrompt::Icon::Warning,
                         StringTable::Get(Res::IDS_PHONE_CANNOT_PLAY)
                             .arg(QString::fromLatin1(PhoneErrorText(GetPhoneError()))));
    }
}

bool CQuellorDoc::OnSendViaIr() {
    if (noDocument_ || transferProgram_.isEmpty())
        return false;
    if (!tempFolder_) {
        tempFolder_ = std::make_unique<QTemporaryDir>(
            QDir::temp().filePath(QStringLiteral("quellor-XXXXXX")));
    }
    QString error;
    QString copy;
    bool ok = tempFolder_->isValid();
    if (!ok) {
        error = tempFolder_->errorString();
        tempFolder_.reset();
    } else {
        QString name = QFileInfo(pathName_).completeBaseName();
        if (name.isEmpty())
            name = QStringLiteral("song");
        copy = tempFolder_->filePath(name + QStringLiteral(".mid"));
        ok = SaveProcessed(NativePath(copy), SavingOptions());
        if (!ok)
            error = QString::fromStdString(lastError);
    }
    if (!ok) {
        UserPrompt::Show(messageParent_, UserPrompt::Icon::Critical,
                         StringTable::Get(Res::IDS_IR_COPY_FAILED)
                             .arg(QDir::toNativeSeparators(copy.isEmpty() ? title_ : copy), error));
        return false;
    }
    return SendFileViaIr(tempFolder_->path(), copy);
}

bool CQuellorDoc::SendFileViaIr(const QString& folder, const QString& filePath) {
    if (QProcess::startDetached(transferProgram_, {filePath}, folder))
        return true;
    UserPrompt::Show(messageParent_, UserPrompt::Icon::Critical,
                     StringTable::Get(Res::IDS_IR_START_FAILED).arg(transferProgram_));
    return false;
}

QString CQuellorDoc::FindTransferProgram() {
    for (const char* name : {"bluetooth-sendto", "blueman-sendto"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString CQuellorDoc::GetTempFolder() const {
    return tempFolder_ && tempFolder_->isValid() ? tempFolder_->path() : QString();
}

void CQuellorDoc::SetTextStrippingSource(std::function<bool()> source) {
    textStrippingSource_ = std::move(source);
}

void CQuellorDoc::SetDocTitle(const QString& title) {
    if (title_ == title)
        return;
    title_ = title;
    emit titleChanged(title);
}

SongFile::SaveOptions CQuellorDoc::SavingOptions() const {
    SaveOptions options;
    options.keepSysEx = true;
    options.keepMeta = !(textStrippingSource_ ? textStrippingSource_() : true);
    options.updateMip = true;
    return options;
}
