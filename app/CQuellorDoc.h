#pragma once

#include "playback/SongPlayer.h"
#include "song/SpMidiCheck.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QTemporaryDir;
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
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true);
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

private:
    void SetDocTitle(const QString& title);
    // What Save and Send via IR write: SysEx kept with an up-to-date MIP message, text
    // events as the "Remove Text Events" switch says.
    SaveOptions SavingOptions() const;
    void CheckFindings();
    // Plays the song on the phone at the chosen voices: whole (`channel` < 0) or one channel.
    void PlayOnPhone(int channel);

    int currentChannel_ = 0;
    int playbackVoices_ = 0;
    bool phoneSoundReported_ = false; // a missing sound output is told once a run
    bool noDocument_ = true;
    bool modified_ = false;
    QString title_;
    QString pathName_;
    QString transferProgram_;
    std::function<bool()> textStrippingSource_;
    std::unique_ptr<QTemporaryDir> tempFolder_;
    QWidget* messageParent_ = nullptr;
    std::vector<SpMidiFinding> findings_;
    bool savingWithErrorsAccepted_ = false;
};
