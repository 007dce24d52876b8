#pragma once

#include "CMainFrame.h"
#include "CQuellorApp.h"
#include "CQuellorDoc.h"
#include "CQuellorView.h"
#include "FakeSoundBackend.h"
#include "UserPrompt.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <deque>
#include <memory>
#include <vector>

// Shared pieces of the desktop program's tests.
namespace apptest {

// A settings store of its own in a fresh folder; the real user's settings are never touched.
class TempSettings {
public:
    TempSettings() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
    }
    QString Path() const { return dir_.path(); }
    QString File() const { return dir_.filePath(QStringLiteral("ORBANTA/Quellor.ini")); }
    // The raw text of a value in the file, as written (empty when absent).
    QString Raw(const QString& key) const {
        QSettings settings(File(), QSettings::IniFormat);
        return settings.value(key).toString();
    }
    void Write(const QString& key, const QVariant& value) const {
        QSettings settings(File(), QSettings::IniFormat);
        settings.setValue(key, value);
    }

private:
    QTemporaryDir dir_;
};

// Records every message box and answers from a queue (default: No where offered, so that no
// test saves by accident, else Ok or Yes).
class Messages {
public:
    struct Box {
        UserPrompt::Icon icon;
        QString text;
    };
    Messages() {
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
    ~Messages() { UserPrompt::SetHandler({}); }
    Messages(const Messages&) = delete;
    Messages& operator=(const Messages&) = delete;

    std::vector<Box> boxes;
    std::deque<QMessageBox::StandardButton> answers;
};

// The program started as main() starts it, on a fake sound backend (or a failing one).
class RunningApp {
public:
    explicit RunningApp(const QStringList& files = {}, bool soundWorks = true,
                        std::vector<std::string> ports = {}) {
        auto backend = std::make_unique<FakeSoundBackend>(std::move(ports), soundWorks);
        output = backend->defaultDevice;
        app.UseSoundBackend(std::move(backend));
        app.InitInstance(files);
    }
    ~RunningApp() {
        if (!exited)
            Exit();
    }
    RunningApp(const RunningApp&) = delete;
    RunningApp& operator=(const RunningApp&) = delete;

    void Exit() {
        exited = true;
        app.Frame()->UpdateActions();
        app.ExitInstance();
    }
    CMainFrame& Frame() { return *app.Frame(); }
    CQuellorDoc& Doc() { return *app.Doc(); }
    QAction* Action(int id) {
        Frame().UpdateActions();
        return Frame().Action(id);
    }

    // What the default device received.
    std::shared_ptr<RecordingOutput> output;
    CQuellorApp app;
    bool exited = false;
};

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

// The channel numbers (1-16) of the rows, top to bottom.
inline QStringList RowChannels(QWidget& root) {
    QStringList channels;
    QTreeWidget* list = List(root);
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        channels << list->topLevelItem(r)->text(0);
    return channels;
}

inline QStringList Column(QWidget& root, int column) {
    QStringList texts;
    QTreeWidget* list = List(root);
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        texts << list->topLevelItem(r)->text(column);
    return texts;
}

// A user's choice of entry `index` in a drop-down list.
inline void Choose(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

// The demo song, copied once into a folder of the test's own: nothing a test does can change
// the project's file.
inline QString DemoSong() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString copy = dir.filePath(QStringLiteral("demo.mid"));
        QFile::copy(QStringLiteral(QUELLOR_SOURCE_DIR "/examples/demo.mid"), copy);
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        return copy;
    }();
    return path;
}

// A copy of the demo song in `dir`.
inline QString CopyOfDemo(const QTemporaryDir& dir,
                          const QString& name = QStringLiteral("demo.mid")) {
    const QString path = dir.filePath(name);
    QFile::remove(path);
    QFile::copy(DemoSong(), path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Occurrences of the MIP message's opening bytes in a file.
inline int CountMipMessages(const QByteArray& bytes) {
    static const QByteArray head = QByteArray::fromHex("7f7f0b01");
    return static_cast<int>(bytes.count(head));
}

} // namespace apptest
