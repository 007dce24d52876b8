#pragma once

#include "app/QtSettingsStore.h"

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <memory>

class CMainFrame;
class CQuellorDoc;
class QMenu;
class AudioSink;
class SoundBackend;

// The application object: starts and ends the program, owns the document and the window,
// and keeps the user's processing switches with their settings. The switches the loader and
// the writer read are the document's own (a loaded vibra setup changes its vibra mode, as
// the setting should); text and control stripping are kept here.
class CQuellorApp : public QObject {
    Q_OBJECT

public:
    static constexpr int kRecentFileCount = 4;
    static constexpr const char* kRecentFileGroup = "Recent File List";

    CQuellorApp();
    ~CQuellorApp() override;
    // The one instance; nullptr before it exists.
    static CQuellorApp* Instance();

    // Start-up: settings, window, sound engine, Options marks, then the file named on the
    // command line (a file that cannot be opened leaves the empty document).
    bool InitInstance(const QStringList& files);
    // Shut-down: the sound engine writes its settings, then the switches and the recent
    // files are written.
    int ExitInstance();
    // Plays through `backend` instead of the system's outputs; before InitInstance.
    void UseSoundBackend(std::unique_ptr<SoundBackend> backend);
    // Plays the phone preview into `sink` instead of the system's sound output; before
    // InitInstance.
    void UseAudioSink(std::unique_ptr<AudioSink> sink);

    // Stripping switch 0 text, 1 SysEx, 2 controls.
    bool GetStripSwitch(int index) const;
    bool GetPrioOblix() const;
    std::uint32_t GetVibraMode() const;
    void SetVibraMode(std::uint32_t mode);
    bool IsSoundStarted() const { return soundStarted_; }

    void LoadSettings();
    void SaveSettings();

    // Commands 271-273 and 345-346.
    void OnStripToggle(int commandId);
    void OnPriorityChoice(int commandId);
    // Commands 33000-33007: what Play and Play Solo sound like.
    void OnPlaybackVoices(int commandId);
    void OnAppAbout();
    // Command 177: the Batch Processor, modal.
    void OnFileBatch();

    QStringList RecentFiles() const { return recentFiles_; }
    void AddToRecentFiles(const QString& path);
    void RemoveFromRecentFiles(const QString& path);

    CQuellorDoc* Doc() const { return doc_.get(); }
    CMainFrame* Frame() const { return frame_.get(); }
    QMenu* OptionsSubmenu(int position) const;

private:
    void RegisterCommands();
    void AddOutputPorts();

    bool textStripping_ = false;
    bool controlStripping_ = false;
    bool soundStarted_ = false;
    QtSettingsStore store_;
    QStringList recentFiles_;
    std::unique_ptr<SoundBackend> backend_;
    std::unique_ptr<AudioSink> audioSink_;
    std::unique_ptr<CQuellorDoc> doc_;
    std::unique_ptr<CMainFrame> frame_;
};
