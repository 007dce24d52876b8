#pragma once

#include "playback/SongPlayer.h"
#include "song/SongSnapshot.h"
#include "song/SpMidiCheck.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QTemporaryDir;
class QUndoStack;
class QFileSystemWatcher;
class QTimer;
class QWidget;

// The program's one document: the open song (which is also its reader, writer and player),
// its title, path and modified flag, and the copies handed to the transfer program. It lives
// from start-up to exit and is reused for every file.
class CQuellorDoc : public QObject, public SongPlayer {
    Q_OBJECT

public:
    explicit CQuellorDoc(QObject* parent = nullptr);
    ~CQuellorDoc() override;

    // The empty document: no song, title "No Document Loaded".
    void OnNewDocument();
    // Opens `path`. The file is checked before the current song is touched: a file that
    // cannot be opened or is not a Standard MIDI File is reported and the document stays as
    // it was (false). A file the loader had to leave something out of opens with a warning.
    bool OnOpenDocument(const QString& path);
    // Saves the song with an up-to-date MIP message to `path`, replacing the file
    // atomically. A failure is reported and leaves the old file and the modified flag.
    bool OnSaveDocument(const QString& path);
    // The song's own path again, after the save prompt of the caller.
    QString GetPathName() const { return pathName_; }
    QString GetDocTitle() const { return title_; }
    bool IsNoDocument() const { return noDocument_; }
    // Modified while the undo stack is away from the state last saved or opened (or after
    // SetModifiedFlag(true)); SetModifiedFlag(false) makes the present state the saved one.
    bool IsModified() const;
    void SetModifiedFlag(bool modified = true);

    // Undo and Redo: every edit of the song is one step of this stack.
    QUndoStack* UndoStack() const { return undoStack_; }
    // Records what the song's edits changed since the last step (or since the file was
    // opened) as one undoable step named `text`; `eventsChanged` for edits that add or remove
    // events (remove, duplicate, add vibra), so that the step keeps the tracks. Nothing is
    // recorded when nothing changed. The caller refreshes the views as before.
    void CommitEdit(const QString& text, bool eventsChanged = false);
    // Puts the song back into `state` (with its tracks when `withTracks`) and refreshes the
    // views; the undo steps call it.
    void RestoreSnapshot(const SongSnapshot& state, bool withTracks);
    // Tells the views what changed: 0 everything, channel + 1 that channel's row and the
    // song-wide sums. The findings are brought up to date first.
    void UpdateAllViews(int hint);

    // What the SP-MIDI checker finds in the song as Save would write it; brought up to date
    // when a file is opened and with every change the views are told of. Checking brings the
    // song's MIP message up to date, as Save does.
    const std::vector<SpMidiFinding>& GetFindings() const { return findings_; }
    // Save asks before writing a song with errors, once per document: until the user chose
    // to save anyway.
    bool ShouldAskBeforeSaving() const;
    void SetSavingWithErrorsAccepted() { savingWithErrorsAccepted_ = true; }

    // The channel selected in the view (0-15).
    int GetCurrentChannel() const { return currentChannel_; }
    void SetCurrentChannel(int channel) { currentChannel_ = channel; }

    // Plays the enabled channels, or the current channel alone. With a phone's voices chosen
    // (SetPlaybackVoices) they play as that phone plays the song a save would write: Play the
    // whole song, Play Solo the song as saved with the current channel alone (its own MIP
    // entry only, so a phone with fewer voices than the channel needs stays silent).
    void RenderForPlayback();
    void RenderChannelForPlayback();
    // How long Play plays the whole song, in ms (tempo changes included).
    std::uint64_t GetPlayingLength();
    // 0: Play and Play Solo use the full synthesizer; 1-64: a phone with that many voices.
    int GetPlaybackVoices() const { return playbackVoices_; }
    void SetPlaybackVoices(int voices);

    // Send via IR: writes the song as a save would into the private temporary folder and
    // hands the copy to the transfer program. Nothing is started when the copy fails.
    bool OnSendViaIr();
    // Starts the transfer program detached, with `path` as its one argument and `folder`
    // as its working folder.
    bool SendFileViaIr(const QString& folder, const QString& path);
    // The transfer program found on PATH when the document was made; empty when none.
    QString GetTransferProgram() const { return transferProgram_; }
    void SetTransferProgram(const QString& program) { transferProgram_ = program; }
    static QString FindTransferProgram();
    // The private folder of the copies; empty until the first copy.
    QString GetTempFolder() const;

    // Where the "Remove Text Events" switch is read when saving (on when none is given).
    void SetTextStrippingSource(std::function<bool()> source);
    // Parent of the message boxes.
    void SetMessageParent(QWidget* parent) { messageParent_ = parent; }

signals:
    // A file was opened or the empty document made: the views rebuild themselves.
    void initialUpdate();
    void updated(int hint);
    void titleChanged(const QString& title);
    void modifiedChanged(bool modified);
    void findingsChanged();
    // Another program changed the open song's file (a save of this document does not count).
    void fileChangedOnDisk();

private:
    void SetDocTitle(const QString& title);
    // Watches the file at `path` for changes by other programs (none: watches nothing).
    void WatchFile(const QString& path);
    void OnWatchedFileChanged(const QString& path);
    // A new song: no steps, the present state the saved one.
    void ResetUndo();
    void EmitModifiedIfChanged();
    // What Save and Send via IR write: SysEx kept with an up-to-date MIP message, text
    // events as the "Remove Text Events" switch says.
    SaveOptions SavingOptions() const;
    void CheckFindings();
    // Plays the song on the phone at the chosen voices: whole (`channel` < 0) or one channel.
    void PlayOnPhone(int channel);
    // Bit n set: channel index n is not muted.
    std::uint16_t AudibleChannelMask() const;

    int currentChannel_ = 0;
    int playbackVoices_ = 0;
    // The whole song plays on the synthesizer: its mutes follow the song's.
    bool liveMutes_ = false;
    bool phoneSoundReported_ = false; // a missing sound output is told once a run
    bool noDocument_ = true;
    // Marked modified apart from the undo stack.
    bool markedModified_ = false;
    bool lastModified_ = false;
    QUndoStack* undoStack_ = nullptr;
    // The song as the last step (or the load) left it: the state before the next step.
    SongSnapshot baseline_;
    QString title_;
    QString pathName_;
    QString transferProgram_;
    std::function<bool()> textStrippingSource_;
    std::unique_ptr<QTemporaryDir> tempFolder_;
    QWidget* messageParent_ = nullptr;
    std::vector<SpMidiFinding> findings_;
    QFileSystemWatcher* watcher_ = nullptr;
    // A writer replaces a file in several steps: the changes of a moment are told once.
    QTimer* changeDelay_ = nullptr;
    bool savingWithErrorsAccepted_ = false;
};
