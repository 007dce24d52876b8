#include "app/CQuellorApp.h"
#include "app/AppResources.h"
#include "app/CAboutDlg.h"
#include "app/CDlgBatch.h"
#include "app/CMainFrame.h"
#include "app/CQuellorDoc.h"
#include "app/CQuellorView.h"
#include "app/UserPrompt.h"
#include "resources/MenuTable.h"
#include "resources/StringTable.h"
#include "resources/resource.h"

#include "playback/AudioSink.h"
#include "playback/SoundEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include <algorithm>
#include <utility>

namespace {

CQuellorApp* g_instance = nullptr;

constexpr const char* kSwitchNames[] = {"EnableTextStripping", "EnableSysexStripping",
                                        "EnableControlStripping", "EnablePrioOblix"};
constexpr const char* kVibraModeName = "VibraMode";
constexpr const char* kInstrumentMapName = "InstrumentMapIndex";
// 0 the full synthesizer, else a phone's voices (one of MenuTable::kPlaybackVoices).
constexpr const char* kPlaybackVoicesName = "PlaybackVoices";

} // namespace

CQuellorApp::CQuellorApp() {
    g_instance = this;
}

CQuellorApp::~CQuellorApp() {
    // The window goes before the document it shows.
    frame_.reset();
    doc_.reset();
    if (g_instance == this)
        g_instance = nullptr;
}

CQuellorApp* CQuellorApp::Instance() {
    return g_instance;
}

void CQuellorApp::UseSoundBackend(std::unique_ptr<SoundBackend> backend) {
    backend_ = std::move(backend);
}

void CQuellorApp::UseAudioSink(std::unique_ptr<AudioSink> sink) {
    audioSink_ = std::move(sink);
}

bool CQuellorApp::InitInstance(const QStringList& files) {
    AppResources::Init();
    QCoreApplication::setOrganizationName(QString::fromLatin1(QtSettingsStore::kOrganisation));
    QCoreApplication::setApplicationName(QString::fromLatin1(QtSettingsStore::kApplication));
    recentFiles_ = store_.ReadList(QString::fromLatin1(kRecentFileGroup), kRecentFileCount);

    doc_ = std::make_unique<CQuellorDoc>();
    doc_->SetTextStrippingSource([this] { return textStripping_; });
    doc_->SetTransferProgram(CQuellorDoc::FindTransferProgram());
    if (audioSink_)
        doc_->SetAudioSink(std::move(audioSink_));
    frame_ = std::make_unique<CMainFrame>(*this, *doc_);
    frame_->setWindowIcon(AppResources::Icon(Res::IDR_MAINFRAME));
    doc_->SetMessageParent(frame_.get());
    RegisterCommands();

    // The switches are read before any file is: a file named on the command line loads with
    // the user's settings like every other.
    SetVibraMode(0);
    LoadSettings();
    doc_->OnNewDocument();

    frame_->show();
    frame_->setAcceptDrops(true);

    soundStarted_ =
        backend_ ? StartSoundEngine(store_, std::move(backend_)) : StartSoundEngine(store_);
    // The engine keeps the instrument map choice with its settings, read even when nothing
    // can sound.
    doc_->switches.instrumentMapIndex = GetInstrumentMapIndex();
    if (soundStarted_)
        AddOutputPorts();
    else
        UserPrompt::Show(frame_.get(), UserPrompt::Icon::Critical,
                         StringTable::Get(Res::IDS_SOUND_INIT_FAILED));

    if (!files.isEmpty())
        frame_->OpenDocumentFile(files.first());
    frame_->UpdateActions();
    return true;
}

int CQuellorApp::ExitInstance() {
    if (doc_)
        doc_->StopPlayback();
    ShutdownSoundEngine();
    SaveSettings();
    store_.WriteList(QString::fromLatin1(kRecentFileGroup), recentFiles_, kRecentFileCount);
    store_.Sync();
    return 0;
}

bool CQuellorApp::GetStripSwitch(int index) const {
    switch (index) {
    case 0:
        return textStripping_;
    case 1:
        return doc_->switches.sysexStripping;
    case 2:
        return controlStripping_;
    default:
        return false;
    }
}

bool CQuellorApp::GetPrioOblix() const {
    return doc_->switches.prioOblix;
}

std::uint32_t CQuellorApp::GetVibraMode() const {
    return doc_->switches.vibraMode;
}

void CQuellorApp::SetVibraMode(std::uint32_t mode) {
    doc_->switches.vibraMode = mode;
}

void CQuellorApp::LoadSettings() {
    bool on[4];
    for (int i = 0; i < 4; ++i) {
        const auto value = store_.ReadValue(kSwitchNames[i]);
        on[i] = value ? *value != 0 : true;
    }
    textStripping_ = on[0];
    doc_->switches.sysexStripping = on[1];
    controlStripping_ = on[2];
    doc_->switches.prioOblix = on[3];
    SetVibraMode(store_.ReadValue(kVibraModeName).value_or(0));
    // A value this version does not offer plays on the full synthesizer.
    const auto voices = store_.ReadValue(kPlaybackVoicesName).value_or(0);
    doc_->SetPlaybackVoices(0);
    for (int choice : MenuTable::kPlaybackVoices)
        if (static_cast<std::uint32_t>(choice) == voices)
            doc_->SetPlaybackVoices(choice);
}

void CQuellorApp::SaveSettings() {
    const bool on[4] = {textStripping_, doc_->switches.sysexStripping, controlStripping_,
                        doc_->switches.prioOblix};
    for (int i = 0; i < 4; ++i)
        store_.WriteValue(kSwitchNames[i], on[i] ? 1 : 0);
    store_.WriteValue(kVibraModeName, GetVibraMode());
    store_.WriteValue(kPlaybackVoicesName, static_cast<std::uint32_t>(doc_->GetPlaybackVoices()));
    // A started engine writes the map choice itself; without one it would be lost.
    if (!soundStarted_)
        store_.WriteValue(kInstrumentMapName, GetInstrumentMapIndex());
}

void CQuellorApp::OnStripToggle(int commandId) {
    switch (commandId - Res::ID_STRIP_TEXT) {
    case 0:
        textStripping_ = !textStripping_;
        break;
    case 1:
        doc_->switches.sysexStripping = !doc_->switches.sysexStripping;
        break;
    case 2:
        controlStripping_ = !controlStripping_;
        break;
    default:
        break;
    }
}

void CQuellorApp::OnPriorityChoice(int commandId) {
    doc_->switches.prioOblix = commandId != Res::ID_PRIO_CHANNEL;
}

void CQuellorApp::OnPlaybackVoices(int commandId) {
    doc_->SetPlaybackVoices(MenuTable::kPlaybackVoices[commandId - Res::ID_VOICES_FULL]);
}

void CQuellorApp::OnAppAbout() {
    CAboutDlg about(frame_.get());
    about.exec();
}

void CQuellorApp::OnFileBatch() {
    // Modal: the commands that change the switches the worker reads cannot run meanwhile.
    CDlgBatch batch(frame_.get());
    batch.SetSwitches(doc_->switches);
    batch.exec();
    // A song of the run that set up a vibra channel changed the vibra mode, as opening it would.
    doc_->switches.vibraMode = batch.Switches().vibraMode;
}

void CQuellorApp::AddToRecentFiles(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    recentFiles_.removeAll(absolute);
    recentFiles_.prepend(absolute);
    while (recentFiles_.size() > kRecentFileCount)
        recentFiles_.removeLast();
}

void CQuellorApp::RemoveFromRecentFiles(const QString& path) {
    recentFiles_.removeAll(QFileInfo(path).absoluteFilePath());
}

QMenu* CQuellorApp::OptionsSubmenu(int position) const {
    return frame_ ? frame_->OptionsSubmenu(position) : nullptr;
}

void CQuellorApp::RegisterCommands() {
    using namespace Res;
    for (int id : {ID_STRIP_TEXT, ID_STRIP_SYSEX, ID_STRIP_CONTROLS})
        frame_->SetHandler(id, [this, id] { OnStripToggle(id); });
    for (int id : {ID_PRIO_CHANNEL, ID_PRIO_OBLIX})
        frame_->SetHandler(id, [this, id] { OnPriorityChoice(id); });
    for (int id = ID_VOICES_FULL; id <= ID_VOICES_LAST; ++id)
        frame_->SetHandler(id, [this, id] { OnPlaybackVoices(id); });
    frame_->SetHandler(ID_APP_ABOUT, [this] { OnAppAbout(); });
    frame_->SetHandler(ID_FILE_BATCH, [this] { OnFileBatch(); });
    CQuellorView& view = frame_->View();
    for (int id : {ID_MAP_SPMIDI, ID_MAP_GM})
        frame_->SetHandler(id, [&view, id] { view.OnInstrumentMapping(id); });
    for (int id : {ID_VIBRA_DP1, ID_VIBRA_DP2})
        frame_->SetHandler(id, [&view, id] { view.OnVibraMode(id); });
    frame_->SetHandler(ID_CHANNEL_MUTE, [&view] { view.OnChannelMute(); });
    frame_->SetHandler(ID_CHANNEL_SOLO, [&view] { view.OnChannelSolo(); });
    frame_->SetHandler(ID_CHANNEL_REMOVE, [&view] { view.OnChannelRemove(); });
    frame_->SetHandler(ID_CHANNEL_DUPLICATE, [&view] { view.OnChannelDuplicate(); });
    frame_->SetHandler(ID_VIEW_POLYPHONY, [&view] { view.OnViewPolyphony(); });
    frame_->SetHandler(ID_PLAY, [&view] { view.OnPlay(); });
    frame_->SetHandler(ID_PLAY_SOLO, [&view] { view.OnPlaySolo(); });
    frame_->SetHandler(ID_STOP, [&view] { view.OnStop(); });
    frame_->SetHandler(ID_SEND_IR, [this] { doc_->OnSendViaIr(); });
}

void CQuellorApp::AddOutputPorts() {
    auto select = [](int id) {
        return
            [id] { SelectOutputPort(static_cast<std::uint32_t>(id - Res::ID_MIDI_OUTPUT_FIRST)); };
    };
    frame_->SetHandler(Res::ID_MIDI_OUTPUT_FIRST, select(Res::ID_MIDI_OUTPUT_FIRST));
    // Ports beyond the command range get no item.
    const int room = Res::ID_MIDI_OUTPUT_LAST - Res::ID_MIDI_OUTPUT_FIRST;
    const int count = std::min(static_cast<int>(GetOutputPortCount()), room);
    for (int i = 0; i < count; ++i) {
        frame_->AddOutputPort(
            i, QString::fromStdString(GetOutputPort(static_cast<std::size_t>(i)).name));
        const int id = Res::ID_MIDI_OUTPUT_FIRST + 1 + i;
        frame_->SetHandler(id, select(id));
    }
}
