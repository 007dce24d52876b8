#pragma once

#include "app/CDlgDuplicateChannel.h"
#include "app/CMainFrame.h"
#include "app/CQuellorApp.h"
#include "app/CQuellorDoc.h"
#include "app/CQuellorView.h"
#include "app/UserPrompt.h"
#include "tests/TestFiles.h"
#include "tests/playback/CollectingAudioSink.h"
#include "tests/playback/FakeSoundBackend.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

// Shared pieces of the desktop program's tests.
namespace apptest {

// The program started as main() starts it, on a fake sound backend (or a failing one).
struct RunningApp {
    explicit RunningApp(const QStringList& files, bool soundWorks, std::vector<std::string> ports) {
        auto backend = std::make_unique<FakeSoundBackend>(std::move(ports), soundWorks);
        output = backend->defaultDevice;
        app.UseSoundBackend(std::move(backend));
        // The phone preview never reaches the machine's sound card.
        auto sink = std::make_unique<CollectingAudioSink>();
        audio = sink->state;
        app.UseAudioSink(std::move(sink));
        app.InitInstance(files);
    }
    ~RunningApp() {
        app.Frame()->UpdateActions();
        app.ExitInstance();
    }
    CMainFrame& Frame() { return *app.Frame(); }
    CQuellorDoc& Doc() { return *app.Doc(); }
    // The program's own enabling passes decide the action's state: a test sees what the
    // user would.
    QAction* Action(int id) { return Frame().Action(id); }

    std::shared_ptr<RecordingOutput> output;           // what the default device received
    std::shared_ptr<CollectingAudioSink::State> audio; // what the phone preview played
    CQuellorApp app;
};

// A copy of the demo song in `dir`: nothing a test does can change the project's file.
inline QString CopyOfDemo(const QTemporaryDir& dir, const QString& name = "demo.mid") {
    const QString path = dir.filePath(name);
    QFile::copy(QStringLiteral(QUELLOR_SOURCE_DIR "/examples/demo.mid"), path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}
// One copy shared by the tests that do not write to it.
inline QString DemoSong() {
    static QTemporaryDir dir;
    static const QString path = CopyOfDemo(dir);
    return path;
}

inline QString WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}
inline QString WriteBytes(const QString& path, const testfiles::Bytes& bytes) {
    return WriteBytes(
        path, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

// A format 0 song of one 480-tick note on each channel index given, all at once.
inline QString WriteSong(const QTemporaryDir& dir, const std::vector<int>& channels) {
    testfiles::Bytes events;
    for (int ch : channels)
        events.insert(events.end(), {0x00, std::uint8_t(0x90 | ch), 0x3C, 0x64});
    for (std::size_t i = 0; i < channels.size(); ++i) { // note off, all after 480 ticks
        const auto delta = i == 0 ? testfiles::Bytes{0x83, 0x60} : testfiles::Bytes{0x00};
        events.insert(events.end(), delta.begin(), delta.end());
        events.insert(events.end(), {std::uint8_t(0x80 | channels[i]), 0x3C, 0x00});
    }
    return WriteBytes(
        dir.filePath(QStringLiteral("song%1.mid").arg(channels.size())),
        testfiles::Cat({testfiles::Header(0, 1, 480), testfiles::TrackChunk(events)}));
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Occurrences of the MIP message's opening bytes in a file.
inline int CountMipMessages(const QByteArray& bytes) {
    return static_cast<int>(bytes.count(QByteArray::fromHex("7f7f0b01")));
}

// The form's controls by their object names.
template <class T> T* Control(QWidget& root, const char* name) {
    T* control = root.findChild<T*>(QString::fromLatin1(name));
    if (control == nullptr)
        qFatal("no control %s", name);
    return control;
}
inline QTreeWidget* List(QWidget& root) {
    return Control<QTreeWidget>(root, "channelList_1000");
}
inline QComboBox* PriorityCombo(QWidget& root) {
    return Control<QComboBox>(root, "priorityCombo_1003");
}
inline QComboBox* MipCombo(QWidget& root) {
    return Control<QComboBox>(root, "mipCombo_1004");
}
inline QString Field(QWidget& root, const char* name) {
    return Control<QLineEdit>(root, name)->text();
}

// The texts of one column of the rows, top to bottom (0: channel number, 2: MIP sum).
inline QStringList Column(QWidget& root, int column) {
    QStringList texts;
    for (int r = 0; r < List(root)->topLevelItemCount(); ++r)
        texts << List(root)->topLevelItem(r)->text(column);
    return texts;
}
inline QStringList RowChannels(QWidget& root) {
    return Column(root, 0);
}

inline QPoint RowCenter(QWidget& root, const QString& channelNumber) {
    const int row = RowChannels(root).indexOf(channelNumber);
    if (row < 0)
        qFatal("no row of channel %s", qPrintable(channelNumber));
    return List(root)->visualItemRect(List(root)->topLevelItem(row)).center();
}
// A user's click on the row of a channel number (1-16).
inline void ClickRow(QWidget& root, const QString& channelNumber) {
    QTest::mouseClick(List(root)->viewport(), Qt::LeftButton, {}, RowCenter(root, channelNumber));
}

// A user's choice of entry `index` in a drop-down list.
inline void Choose(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}
// The row of a channel number chosen and given the first priority.
inline void MoveToTop(QWidget& root, const QString& channelNumber) {
    ClickRow(root, channelNumber);
    Choose(PriorityCombo(root), 0);
}

// The fixture of every suite: a settings store and a folder of files of the test's own
// (the real user's settings are never touched), the message boxes recorded and answered
// from `answers` (else No where offered, so that no test saves by accident, else Ok or Yes),
// and at most one running program.
class AppTest : public QObject {
    Q_OBJECT

protected:
    struct Box {
        UserPrompt::Icon icon;
        QString text;
    };

    RunningApp& Start(const QStringList& files = {}, bool soundWorks = true,
                      std::vector<std::string> ports = {}) {
        run.reset();
        run = std::make_unique<RunningApp>(files, soundWorks, std::move(ports));
        return *run;
    }
    CMainFrame& OpenDemo() { return Start({DemoSong()}).Frame(); }
    QString FilePath(const QString& name) const { return files->filePath(name); }

    QString SettingsFile() const { return config->filePath("ORBANTA/Quellor.ini"); }
    // The raw text of a stored value, as written (empty when absent).
    QString Stored(const QString& key) const {
        return QSettings(SettingsFile(), QSettings::IniFormat).value(key).toString();
    }
    void Store(const QString& key, const QVariant& value) const {
        QSettings(SettingsFile(), QSettings::IniFormat).setValue(key, value);
    }

    // The text of the only box shown if it has `icon`, else a description of what was shown.
    QString OnlyBox(UserPrompt::Icon icon) const {
        if (boxes.size() != 1 || boxes[0].icon != icon)
            return QStringLiteral("<%1 boxes>").arg(boxes.size());
        return boxes[0].text;
    }

    std::optional<QTemporaryDir> config;
    std::optional<QTemporaryDir> files;
    std::vector<Box> boxes;
    std::deque<QMessageBox::StandardButton> answers;
    std::unique_ptr<RunningApp> run;

private slots:
    void init() {
        config.emplace();
        files.emplace();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config->path());
        qputenv("XDG_CONFIG_HOME", config->path().toLocal8Bit());
        boxes.clear();
        answers.clear();
        UserPrompt::SetHandler([this](UserPrompt::Icon icon, const QString& text,
                                      QMessageBox::StandardButtons buttons) {
            boxes.push_back({icon, text});
            if (!answers.empty()) {
                const auto answer = answers.front();
                answers.pop_front();
                return answer;
            }
            for (auto b : {QMessageBox::No, QMessageBox::Ok, QMessageBox::Yes})
                if (buttons & b)
                    return b;
            return QMessageBox::NoButton;
        });
    }
    void cleanup() {
        run.reset();
        UserPrompt::SetHandler({});
        files.reset();
        config.reset();
    }
};

// Answers the Duplicate Channel dialog once it is up: OK on `channelNumber`, else Cancel.
inline void AnswerDuplicateDialog(const QString& channelNumber = {}) {
    QTimer::singleShot(0, [channelNumber] {
        auto* dialog = qobject_cast<CDlgDuplicateChannel*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        auto* combo = dialog->findChild<QComboBox*>("destinationCombo");
        combo->setCurrentIndex(combo->findText(channelNumber));
        channelNumber.isEmpty() ? dialog->reject() : dialog->accept();
    });
}

} // namespace apptest
