#pragma once

#include <QMainWindow>
#include <QString>

#include <functional>
#include <map>
#include <memory>

class CFindingsPanel;
class CQuellorApp;
class CQuellorDoc;
class CQuellorView;
class COOBmpToolBar;
class QAction;
class QComboBox;
class QActionGroup;
class QLabel;
class QMenu;
class QPoint;
class QTimer;
class QToolButton;

// The program's one window: menus, the toolbar with its large pictures and text labels, the
// channel view and the status bar with the instrument map pane. It can be resized and
// maximised, never below the form's natural size. It owns every command's action (one per
// command id) with its tool tip, runs the file commands and keeps the actions' enabled and
// checked states in one pass.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    CMainFrame(CQuellorApp& app, CQuellorDoc& doc);
    ~CMainFrame() override;

    CQuellorView& View() const { return *view_; }
    // The action of a command id; nullptr for an id without one.
    QAction* Action(int id) const;
    // Gives a command its handler. A command without one stays disabled.
    void SetHandler(int id, std::function<void()> handler);
    // The enabling pass: every action's enabled and checked state from the rules, the
    // recent-file items and the map pane. Runs after every command and model change, before
    // a menu opens and on an idle timer.
    void UpdateActions();

    // Menu 162: the channel list's pop-up, on the same actions as the menus and the toolbar.
    QMenu* ChannelPopup() const { return channelPopup_; }
    // Runs the enabling pass, then shows the channel pop-up at `globalPos`.
    void ShowChannelPopup(const QPoint& globalPos);

    // A submenu of "&Options" by its position; nullptr when there is none.
    QMenu* OptionsSubmenu(int position) const;
    // Appends output port `index` (command 32801 + index) to "MIDI Output".
    void AddOutputPort(int index, const QString& name);
    QString MapPaneText() const;
    // The findings pane beside the map pane: the errors and warnings of the song as Save
    // would write it; a click shows or hides the findings panel.
    QToolButton* FindingsPane() const { return findingsPane_; }
    CFindingsPanel* FindingsPanel() const { return findingsPanel_; }
    // "Voices: all" for the full synthesizer, "Voices: 8" for a phone with 8 voices.
    QString VoicesPaneText() const;

    // File commands. Each that replaces the document first offers to save a modified one.
    bool OpenDocumentFile(const QString& path);
    void OnFileNew();
    void OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    void OnFileReload();
    // The save prompt: true when the caller may go on.
    bool MaybeSave();
    // The open song's file was changed by another program: offers to read it again.
    void OnFileChangedOnDisk();
    // The Open dialog's filters: MIDI files (.mid, .midi, .kar), then all files.
    static QStringList OpenFilters();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void Dispatch(int id);
    void UpdateTitle();
    void UpdateRecentFileItems();
    // Every action's tool tip: name, key and what the command does.
    void ApplyToolTips();
    // Send via IR's tool tip and status text: what it does, or why it is off.
    void UpdateSendViaIrTexts();
    bool IsEnabledByRules(int id) const;
    bool IsCheckedByState(int id, bool& checked) const;
    void ShowHelp();
    void ShowFindings();
    // Before a save: asks whether to save a song with errors; true when the caller may go on.
    bool ConfirmSavingWithErrors();

    CQuellorApp& app_;
    CQuellorDoc& doc_;
    CQuellorView* view_ = nullptr;
    COOBmpToolBar* toolBar_ = nullptr;
    QLabel* mapPane_ = nullptr;
    QToolButton* findingsPane_ = nullptr;
    CFindingsPanel* findingsPanel_ = nullptr;
    QLabel* voicesPane_ = nullptr;
    QComboBox* voicesCombo_ = nullptr;
    QMenu* optionsMenu_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* channelPopup_ = nullptr;
    QAction* recentPlaceholder_ = nullptr;
    QTimer* idleTimer_ = nullptr;
    bool askingToReload_ = false;
    std::map<int, QAction*> actions_;
    std::map<int, std::function<void()>> handlers_;
    std::map<int, QActionGroup*> radioGroups_;
};
