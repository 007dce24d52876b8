#include "app/CMainFrame.h"
#include "app/AppResources.h"
#include "app/CDlgHelp.h"
#include "app/CFindingsPanel.h"
#include "app/COOBmpToolBar.h"
#include "app/CQuellorApp.h"
#include "app/CQuellorDoc.h"
#include "app/CQuellorView.h"
#include "app/CheckWords.h"
#include "app/CommandTips.h"
#include "app/UserPrompt.h"
#include "resources/MenuTable.h"
#include "resources/StringTable.h"
#include "resources/resource.h"

#include "playback/SoundEngine.h"
#include "song/ChannelCommands.h"
#include "song/InstrumentMap.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QWhatsThis>

namespace {

constexpr int kIdlePeriodMs = 250;
// The transparent colour of the toolbar strips.
const QColor kStripTransparent(0, 255, 255);

QString FirstLocalFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

} // namespace

QStringList CMainFrame::OpenFilters() {
    return {StringTable::Get(Res::IDS_OPEN_FILTER), StringTable::Get(Res::IDS_ALL_FILES_FILTER)};
}

namespace {

// "MIDI Song Files (*.mid)" from the document string.
QString FileFilter() {
    return StringTable::Get(Res::IDR_MAINFRAME).section(QLatin1Char('\n'), 3, 3);
}

} // namespace

CMainFrame::CMainFrame(CQuellorApp& app, CQuellorDoc& doc) : app_(app), doc_(doc) {
    view_ = new CQuellorView(doc_, this);
    setCentralWidget(view_);
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    ApplyToolTips();
    // The window can be resized and maximised; the channel list takes the room. The form at
    // its natural size is the smallest the window gets, the toolbar shows every button.
    view_->setMinimumSize(view_->sizeHint());
    toolBar_->setMinimumWidth(toolBar_->sizeHint().width());

    connect(&doc_, &CQuellorDoc::titleChanged, this, &CMainFrame::UpdateTitle);
    connect(&doc_, &CQuellorDoc::modifiedChanged, this, &CMainFrame::UpdateTitle);
    connect(&doc_, &CQuellorDoc::updated, this, &CMainFrame::UpdateActions);
    connect(&doc_, &CQuellorDoc::initialUpdate, this, &CMainFrame::UpdateActions);
    connect(view_, &CQuellorView::selectedChannelChanged, this, &CMainFrame::UpdateActions);
    connect(&doc_, &CQuellorDoc::findingsChanged, this, &CMainFrame::ShowFindings);
    connect(doc_.UndoStack(), &QUndoStack::indexChanged, this, &CMainFrame::UpdateActions);
    connect(&doc_, &CQuellorDoc::fileChangedOnDisk, this, &CMainFrame::OnFileChangedOnDisk);
    connect(findingsPanel_, &CFindingsPanel::channelChosen, view_, &CQuellorView::SelectChannel);
    ShowFindings();
    idleTimer_ = new QTimer(this);
    connect(idleTimer_, &QTimer::timeout, this, &CMainFrame::UpdateActions);
    idleTimer_->start(kIdlePeriodMs);

    using namespace Res;
    SetHandler(ID_FILE_NEW, [this] { OnFileNew(); });
    SetHandler(ID_FILE_OPEN, [this] { OnFileOpen(); });
    SetHandler(ID_FILE_SAVE, [this] { OnFileSave(); });
    SetHandler(ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); });
    SetHandler(ID_FILE_RELOAD, [this] { OnFileReload(); });
    SetHandler(ID_FILE_CLOSE, [this] { OnFileNew(); });
    SetHandler(ID_APP_EXIT, [this] { close(); });
    SetHandler(ID_EDIT_UNDO, [this] { doc_.UndoStack()->undo(); });
    SetHandler(ID_EDIT_REDO, [this] { doc_.UndoStack()->redo(); });
    for (int i = 0; i < kRecentFileCount; ++i)
        SetHandler(ID_FILE_MRU_FILE1 + i, [this, i] {
            const QStringList recent = app_.RecentFiles();
            if (i < recent.size())
                OpenDocumentFile(recent[i]);
        });
    SetHandler(ID_VIEW_TOOLBAR, [this] { toolBar_->setVisible(!toolBar_->isVisible()); });
    SetHandler(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    for (int id : {ID_HELP_FINDER, ID_HELP, ID_DEFAULT_HELP})
        SetHandler(id, [this] { ShowHelp(); });
    SetHandler(ID_CONTEXT_HELP, [] { QWhatsThis::enterWhatsThisMode(); });

    UpdateTitle();
    // Space on a focused check box or button is the box's, not Play's.
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto* button = qobject_cast<QAbstractButton*>(watched);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier &&
            button != nullptr && button->hasFocus()) {
            event->accept();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

QAction* CMainFrame::Action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::SetHandler(int id, std::function<void()> handler) {
    handlers_[id] = std::move(handler);
}

void CMainFrame::Dispatch(int id) {
    const auto it = handlers_.find(id);
    if (it != handlers_.end() && IsEnabledByRules(id)) {
        // The handler may replace itself; run a copy.
        const std::function<void()> handler = it->second;
        handler();
    }
    UpdateActions();
}

void CMainFrame::CreateActions() {
    auto make = [this](int id, const QString& text) {
        if (actions_.count(id))
            return actions_[id];
        auto* action = new QAction(text, this);
        action->setData(id);
        action->setStatusTip(StringTable::Prompt(id));
        action->setIconVisibleInMenu(false);
        const MenuTable::Mark mark = MenuTable::MarkOf(id);
        if (mark != MenuTable::Mark::None)
            action->setCheckable(true);
        if (mark == MenuTable::Mark::Radio) {
            const int group = MenuTable::RadioGroup(id).first;
            if (!radioGroups_.count(group)) {
                radioGroups_[group] = new QActionGroup(this);
                radioGroups_[group]->setExclusionPolicy(
                    QActionGroup::ExclusionPolicy::ExclusiveOptional);
            }
            radioGroups_[group]->addAction(action);
        }
        connect(action, &QAction::triggered, this, [this, id] { Dispatch(id); });
        addAction(action); // shortcuts work whether or not a menu shows the command
        actions_[id] = action;
        return action;
    };
    std::function<void(const std::vector<MenuTable::MenuEntry>&)> walk =
        [&](const std::vector<MenuTable::MenuEntry>& entries) {
            for (const auto& entry : entries) {
                if (entry.kind == MenuTable::MenuEntry::Kind::Command)
                    make(entry.id, QString::fromUtf8(entry.text));
                else if (entry.kind == MenuTable::MenuEntry::Kind::Popup)
                    walk(entry.items);
                else if (entry.kind == MenuTable::MenuEntry::Kind::RecentFiles)
                    for (int i = 0; i < Res::kRecentFileCount; ++i)
                        make(entry.id + i, QString());
            }
        };
    walk(MenuTable::MainMenu());
    walk(MenuTable::ChannelPopup());
    // Commands offered only on the toolbar or by a key: their short name is their text.
    for (int id : MenuTable::ToolbarButtons())
        if (id != 0)
            make(id, StringTable::ShortName(id));
    for (const auto& accelerator : MenuTable::Accelerators()) {
        QAction* action = make(accelerator.id, StringTable::ShortName(accelerator.id));
        QList<QKeySequence> keys = action->shortcuts();
        keys << QKeySequence(QString::fromLatin1(accelerator.keys));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
    }
}

void CMainFrame::CreateMenus() {
    std::function<void(QMenu*, const std::vector<MenuTable::MenuEntry>&)> fill =
        [&](QMenu* menu, const std::vector<MenuTable::MenuEntry>& entries) {
            for (const auto& entry : entries) {
                switch (entry.kind) {
                case MenuTable::MenuEntry::Kind::Command:
                    menu->addAction(actions_.at(entry.id));
                    break;
                case MenuTable::MenuEntry::Kind::Separator:
                    menu->addSeparator();
                    break;
                case MenuTable::MenuEntry::Kind::Popup:
                    fill(menu->addMenu(QString::fromUtf8(entry.text)), entry.items);
                    break;
                case MenuTable::MenuEntry::Kind::RecentFiles:
                    recentPlaceholder_ = menu->addAction(QString::fromUtf8(entry.text));
                    recentPlaceholder_->setEnabled(false);
                    for (int i = 0; i < Res::kRecentFileCount; ++i)
                        menu->addAction(actions_.at(entry.id + i));
                    break;
                }
            }
        };
    const auto& mainMenu = MenuTable::MainMenu();
    for (std::size_t i = 0; i < mainMenu.size(); ++i) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(mainMenu[i].text));
        fill(menu, mainMenu[i].items);
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateActions);
        if (i == 0)
            fileMenu_ = menu;
        if (static_cast<int>(i) == MenuTable::kOptionsMenuPosition)
            optionsMenu_ = menu;
    }
    // The options explain themselves in tool tips.
    optionsMenu_->setToolTipsVisible(true);
    const QList<QAction*> options = optionsMenu_->actions();
    for (int position = 0; position < options.size(); ++position) {
        if (QMenu* sub = options[position]->menu()) {
            sub->setToolTipsVisible(true);
            options[position]->setToolTip(
                ToolTipText(CommandName(*options[position]), {}, OptionsSubmenuToolTip(position)));
        }
    }
    for (QMenu* sub : menuBar()->findChildren<QMenu*>())
        connect(sub, &QMenu::aboutToShow, this, &CMainFrame::UpdateActions, Qt::UniqueConnection);

    // The channel pop-up belongs to this window, so its rules and marks are the menus' own.
    channelPopup_ = new QMenu(QString::fromUtf8(MenuTable::ChannelPopup().front().text), this);
    channelPopup_->setObjectName(QStringLiteral("channelPopup_162"));
    fill(channelPopup_, MenuTable::ChannelPopup().front().items);
    connect(channelPopup_, &QMenu::aboutToShow, this, &CMainFrame::UpdateActions);
    connect(view_, &CQuellorView::channelMenuRequested, this, &CMainFrame::ShowChannelPopup);
}

void CMainFrame::ShowChannelPopup(const QPoint& globalPos) {
    UpdateActions();
    channelPopup_->popup(globalPos);
}

void CMainFrame::CreateToolBar() {
    toolBar_ = new COOBmpToolBar(QStringLiteral("Standard"), this);
    toolBar_->setObjectName(QStringLiteral("toolBar_128"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setAllowedAreas(Qt::TopToolBarArea);
    toolBar_->SetLargeImages(true);
    for (int id : MenuTable::ToolbarButtons()) {
        if (id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = actions_.at(id);
        // The button shows the command's short name; menus keep their own caption.
        action->setIconText(StringTable::ShortName(id));
        toolBar_->addAction(action);
        if (id == Res::ID_STOP) {
            // What Play and Play Solo sound like, the same choices as Options > Playback Voices.
            voicesCombo_ = new QComboBox(toolBar_);
            voicesCombo_->setObjectName(QStringLiteral("voicesCombo_1080"));
            voicesCombo_->setToolTip(ToolTipText(StringTable::Get(Res::IDS_VOICES_LABEL), {},
                                                 StringTable::Get(Res::IDS_TIP_VOICES)));
            voicesCombo_->setFocusPolicy(Qt::NoFocus);
            for (int choice = Res::ID_VOICES_FULL; choice <= Res::ID_VOICES_LAST; ++choice)
                voicesCombo_->addItem(StringTable::ShortName(choice), choice);
            connect(voicesCombo_, &QComboBox::activated, this,
                    [this](int index) { Dispatch(voicesCombo_->itemData(index).toInt()); });
            toolBar_->addWidget(voicesCombo_);
        }
    }
    toolBar_->SetTextLabels(true);
    // The labels name the buttons; the tool tips add the key and what the command does.
    toolBar_->SetToolTips(true);
    toolBar_->SetBitmaps(AppResources::Picture(Res::IDB_TOOLBAR_NORMAL),
                         AppResources::Picture(Res::IDB_TOOLBAR_HOT),
                         AppResources::Picture(Res::IDB_TOOLBAR_DISABLED), kStripTransparent);
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(true);
    // A sunken indicator pane, as wide as its first text.
    const auto makePane = [bar](int id, const char* name) {
        auto* pane = new QLabel(StringTable::Get(id), bar);
        pane->setObjectName(QString::fromLatin1(name));
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->sizeHint().width() + 8);
        return pane;
    };
    mapPane_ = makePane(Res::ID_INDICATOR_MAP, "pane_59000");
    findingsPane_ = new QToolButton(bar);
    findingsPane_->setObjectName(QStringLiteral("findingsPane"));
    findingsPane_->setAutoRaise(true);
    findingsPane_->setFocusPolicy(Qt::NoFocus);
    bar->addPermanentWidget(findingsPane_);
    voicesPane_ = makePane(Res::ID_INDICATOR_VOICES, "pane_59001");
    bar->addPermanentWidget(voicesPane_);
    bar->addPermanentWidget(mapPane_);
    findingsPanel_ = new CFindingsPanel(this);
    addDockWidget(Qt::BottomDockWidgetArea, findingsPanel_);
    findingsPanel_->hide();
    connect(findingsPane_, &QToolButton::clicked, this,
            [this] { findingsPanel_->setVisible(!findingsPanel_->isVisible()); });
    const QString idle = StringTable::Get(Res::AFX_IDS_IDLEMESSAGE);
    connect(bar, &QStatusBar::messageChanged, this, [bar, idle](const QString& message) {
        if (message.isEmpty())
            bar->showMessage(idle);
    });
    bar->showMessage(idle);
}

QMenu* CMainFrame::OptionsSubmenu(int position) const {
    if (optionsMenu_ == nullptr)
        return nullptr;
    const QList<QAction*> items = optionsMenu_->actions();
    if (position < 0 || position >= items.size())
        return nullptr;
    return items[position]->menu();
}

void CMainFrame::AddOutputPort(int index, const QString& name) {
    const int id = Res::ID_MIDI_OUTPUT_FIRST + 1 + index;
    if (id > Res::ID_MIDI_OUTPUT_LAST || actions_.count(id))
        return;
    auto* action = new QAction(name, this);
    action->setData(id);
    action->setCheckable(true);
    radioGroups_.at(Res::ID_MIDI_OUTPUT_FIRST)->addAction(action);
    action->setToolTip(ToolTipText(name, {}, StringTable::Get(Res::IDS_TIP_OUTPUT_PORT).arg(name)));
    connect(action, &QAction::triggered, this, [this, id] { Dispatch(id); });
    actions_[id] = action;
    if (QMenu* menu = OptionsSubmenu(MenuTable::kMidiOutputPosition))
        menu->addAction(action);
}

void CMainFrame::ShowFindings() {
    const std::vector<SpMidiFinding>& findings = doc_.GetFindings();
    findingsPane_->setVisible(!doc_.IsNoDocument());
    findingsPane_->setText(
        StringTable::Get(Res::IDS_FINDINGS_PANE).arg(TallyText(SpMidiCheck::Tally(findings))));
    findingsPanel_->ShowFindings(findings);
}

bool CMainFrame::ConfirmSavingWithErrors() {
    if (!doc_.ShouldAskBeforeSaving())
        return true;
    QStringList errors;
    int count = 0;
    for (const SpMidiFinding& f : doc_.GetFindings())
        if (f.severity == SpMidiSeverity::Error) {
            ++count;
            errors << QString::fromStdString(f.message);
        }
    const QString counted = count == 1 ? StringTable::Get(Res::IDS_COUNT_ERROR_ONE)
                                       : StringTable::Get(Res::IDS_COUNT_ERRORS).arg(count);
    const QMessageBox::StandardButton answer = UserPrompt::Show(
        this, UserPrompt::Icon::Warning,
        StringTable::Get(Res::IDS_SAVE_WITH_ERRORS).arg(counted, errors.join(QLatin1Char('\n'))),
        QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Cancel,
        StringTable::Get(Res::IDS_SAVE_ANYWAY));
    if (answer != QMessageBox::Save)
        return false;
    doc_.SetSavingWithErrorsAccepted();
    return true;
}

QString CMainFrame::MapPaneText() const {
    return StringTable::Get(Res::IDS_MAP_PANE)
        .arg(doc_.switches.instrumentMapIndex == 0 ? QStringLiteral("SP") : QStringLiteral("GM"));
}

QString CMainFrame::VoicesPaneText() const {
    const int voices = doc_.GetPlaybackVoices();
    return StringTable::Get(Res::IDS_VOICES_PANE)
        .arg(voices == 0 ? StringTable::Get(Res::IDS_VOICES_ALL) : QString::number(voices));
}

bool CMainFrame::IsEnabledByRules(int id) const {
    using namespace Res;
    if (!handlers_.count(id))
        return false;
    const bool loaded = !doc_.IsNoDocument();
    const bool sound = app_.IsSoundStarted() && IsSoundReady();
    // The phone preview plays through its own output, whether or not the synthesizer can.
    const bool playable = doc_.GetPlaybackVoices() > 0 || sound;
    switch (id) {
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
    case ID_FILE_RELOAD:
    case ID_FILE_CLOSE:
    case ID_VIEW_POLYPHONY:
    case ID_CHANNEL_DUPLICATE:
        return loaded;
    case ID_PLAY:
    case ID_PLAY_SOLO:
        return playable && loaded;
    case ID_STOP:
        return playable && loaded && doc_.IsPlaying();
    case ID_SEND_IR:
        return loaded && !doc_.GetTransferProgram().isEmpty();
    // Not in the middle of a drag: the drag is one step when it ends.
    case ID_EDIT_UNDO:
        return loaded && doc_.UndoStack()->canUndo() && !view_->IsDragging();
    case ID_EDIT_REDO:
        return loaded && doc_.UndoStack()->canRedo() && !view_->IsDragging();
    case ID_CHANNEL_REMOVE:
        return loaded && ChannelCommands::CanRemove(doc_);
    case ID_CHANNEL_SOLO:
        return loaded && ChannelCommands::CanSolo(doc_);
    case ID_CHANNEL_MUTE:
        return loaded && ChannelCommands::CanMute(doc_);
    default:
        if (id >= ID_MIDI_OUTPUT_FIRST && id <= ID_MIDI_OUTPUT_LAST)
            return sound;
        return true;
    }
}

bool CMainFrame::IsCheckedByState(int id, bool& checked) const {
    using namespace Res;
    switch (id) {
    case ID_STRIP_TEXT:
    case ID_STRIP_SYSEX:
    case ID_STRIP_CONTROLS:
        checked = app_.GetStripSwitch(id - ID_STRIP_TEXT);
        return true;
    case ID_PRIO_CHANNEL:
    case ID_PRIO_OBLIX:
        checked = (id == ID_PRIO_OBLIX) == app_.GetPrioOblix();
        return true;
    case ID_VIBRA_DP1:
    case ID_VIBRA_DP2:
        checked = (id == ID_VIBRA_DP2) == (app_.GetVibraMode() != 0);
        return true;
    case ID_MAP_SPMIDI:
    case ID_MAP_GM:
        checked =
            static_cast<std::uint32_t>(id - ID_MAP_SPMIDI) == doc_.switches.instrumentMapIndex;
        return true;
    case ID_VIEW_TOOLBAR:
        checked = toolBar_ && !toolBar_->isHidden();
        return true;
    case ID_VIEW_STATUS_BAR:
        checked = !statusBar()->isHidden();
        return true;
    case ID_CHANNEL_MUTE:
    case ID_CHANNEL_SOLO: {
        // The marks of the channel pop-up, for the selected channel.
        const int channel = doc_.IsNoDocument() ? -1 : view_->SelectedChannel();
        if (channel < 0)
            checked = false;
        else if (id == ID_CHANNEL_MUTE)
            checked = ChannelCommands::MuteChecked(doc_, channel);
        else
            checked = ChannelCommands::SoloChecked(doc_, channel);
        return true;
    }
    default:
        if (id >= ID_VOICES_FULL && id <= ID_VOICES_LAST) {
            checked = MenuTable::kPlaybackVoices[id - ID_VOICES_FULL] == doc_.GetPlaybackVoices();
            return true;
        }
        if (id >= ID_MIDI_OUTPUT_FIRST && id <= ID_MIDI_OUTPUT_LAST) {
            // No engine, no output in use: no mark.
            checked =
                app_.IsSoundStarted() &&
                static_cast<std::uint32_t>(id - ID_MIDI_OUTPUT_FIRST) == GetMidiOutputDeviceIndex();
            return true;
        }
        return false;
    }
}

void CMainFrame::UpdateActions() {
    for (const auto& [id, action] : actions_) {
        action->setEnabled(IsEnabledByRules(id));
        bool checked = false;
        if (action->isCheckable() && IsCheckedByState(id, checked))
            action->setChecked(checked);
    }
    UpdateRecentFileItems();
    UpdateSendViaIrTexts();
    mapPane_->setText(MapPaneText());
    voicesPane_->setText(VoicesPaneText());
    for (int i = 0; i < voicesCombo_->count(); ++i)
        if (MenuTable::kPlaybackVoices[i] == doc_.GetPlaybackVoices() &&
            voicesCombo_->currentIndex() != i)
            voicesCombo_->setCurrentIndex(i);
}

void CMainFrame::ApplyToolTips() {
    for (const auto& [id, action] : actions_)
        action->setToolTip(
            ToolTipText(CommandName(*action), action->shortcut(), CommandExplanation(id)));
    UpdateSendViaIrTexts();
}

void CMainFrame::UpdateSendViaIrTexts() {
    QAction* send = Action(Res::ID_SEND_IR);
    if (send == nullptr)
        return;
    // While it is off, its tool tip and status text say why and what it needs.
    const QString program = doc_.GetTransferProgram();
    const QString blocker = SendViaIrBlocker(!doc_.IsNoDocument(), program);
    const QString explanation =
        blocker.isEmpty()
            ? StringTable::Get(Res::IDS_TIP_SEND_IR).arg(QFileInfo(program).fileName())
            : blocker;
    const QString toolTip = ToolTipText(CommandName(*send), send->shortcut(), explanation);
    const QString statusTip = blocker.isEmpty() ? StringTable::Prompt(Res::ID_SEND_IR) : blocker;
    if (send->toolTip() != toolTip)
        send->setToolTip(toolTip);
    if (send->statusTip() != statusTip)
        send->setStatusTip(statusTip);
}

void CMainFrame::UpdateRecentFileItems() {
    const QStringList recent = app_.RecentFiles();
    for (int i = 0; i < Res::kRecentFileCount; ++i) {
        QAction* action = actions_.at(Res::ID_FILE_MRU_FILE1 + i);
        const bool present = i < recent.size();
        action->setVisible(present);
        if (present)
            action->setText(
                QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(recent[i])));
    }
    if (recentPlaceholder_)
        recentPlaceholder_->setVisible(recent.isEmpty());
}

void CMainFrame::UpdateTitle() {
    setWindowTitle(QStringLiteral("%1[*] - %2")
                       .arg(doc_.GetDocTitle(), StringTable::Get(Res::AFX_IDS_APP_TITLE)));
    setWindowModified(doc_.IsModified());
}

bool CMainFrame::MaybeSave() {
    if (doc_.IsNoDocument() || !doc_.IsModified())
        return true;
    const auto answer = UserPrompt::Show(
        this, UserPrompt::Icon::Question,
        StringTable::Get(Res::IDS_ASK_TO_SAVE).arg(doc_.GetDocTitle()),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        return OnFileSave();
    return answer == QMessageBox::No;
}

bool CMainFrame::OpenDocumentFile(const QString& path) {
    if (!MaybeSave())
        return false;
    if (doc_.OnOpenDocument(path)) {
        app_.AddToRecentFiles(path);
        UpdateActions();
        return true;
    }
    app_.RemoveFromRecentFiles(path);
    UpdateActions();
    return false;
}

void CMainFrame::OnFileNew() {
    if (MaybeSave())
        doc_.OnNewDocument();
}

void CMainFrame::OnFileOpen() {
    const QString start =
        doc_.GetPathName().isEmpty() ? QString() : QFileInfo(doc_.GetPathName()).absolutePath();
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), start,
                                                      OpenFilters().join(QStringLiteral(";;")));
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

bool CMainFrame::OnFileSave() {
    if (doc_.IsNoDocument())
        return false;
    if (doc_.GetPathName().isEmpty())
        return OnFileSaveAs();
    if (!ConfirmSavingWithErrors() || !doc_.OnSaveDocument(doc_.GetPathName()))
        return false;
    app_.AddToRecentFiles(doc_.GetPathName());
    return true;
}

bool CMainFrame::OnFileSaveAs() {
    if (doc_.IsNoDocument() || !ConfirmSavingWithErrors())
        return false;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), doc_.GetPathName(),
                                                FileFilter());
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".mid");
    if (!doc_.OnSaveDocument(path))
        return false;
    app_.AddToRecentFiles(path);
    return true;
}

void CMainFrame::OnFileChangedOnDisk() {
    if (askingToReload_ || doc_.IsNoDocument())
        return;
    askingToReload_ = true;
    const QString name = QDir::toNativeSeparators(doc_.GetPathName());
    const QString question =
        StringTable::Get(doc_.IsModified() ? Res::IDS_FILE_CHANGED_MODIFIED : Res::IDS_FILE_CHANGED)
            .arg(name);
    // The answer was given for this file: a reload takes the changes as they are now.
    if (UserPrompt::Show(this, UserPrompt::Icon::Question, question,
                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        doc_.OnOpenDocument(doc_.GetPathName());
    askingToReload_ = false;
    UpdateActions();
}

void CMainFrame::OnFileReload() {
    if (!doc_.IsNoDocument())
        OpenDocumentFile(QString::fromStdString(doc_.GetPath()));
}

void CMainFrame::ShowHelp() {
    CDlgHelp help(this);
    help.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (MaybeSave())
        event->accept();
    else
        event->ignore();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!FirstLocalFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QString path = FirstLocalFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    activateWindow();
    OpenDocumentFile(path);
}
