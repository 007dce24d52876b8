// The document and the channel view: opening, the no-document state, the combos, saving,
// reloading, failing opens, dropped files and Send via IR.
#include "AppTestSupport.h"
#include "TestFiles.h"
#include "resource.h"

#include "SongFile.h"
#include "SongSwitches.h"

#include <QCheckBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>

#include <set>

using namespace apptest;

namespace {

QString WriteBytes(const QTemporaryDir& dir, const QString& name, const testfiles::Bytes& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
}

// A format 0 song whose only channel is index 3.
testfiles::Bytes OneChannelSong() {
    using namespace testfiles;
    return Cat({Header(0, 1, 480), TrackChunk({
                                       0x00, 0xC3, 0x00,             // program 0, channel 4
                                       0x00, 0x93, 0x3C, 0x64,       // note on
                                       0x83, 0x60, 0x83, 0x3C, 0x00, // note off after 480
                                   })});
}

// A song whose second event is a SysEx message that never ends before the next event.
testfiles::Bytes SongWithBrokenSysEx() {
    using namespace testfiles;
    return Cat({Header(0, 1, 480), TrackChunk({
                                       0x00, 0xF0, 0x03, 0x43, 0x12, 0x00, // no closing F7
                                       0x00, 0x90, 0x3C, 0x64,             // note on
                                       0x83, 0x60, 0x80, 0x3C, 0x00,       // note off
                                   })});
}

QString FieldText(QWidget& root, const char* name) {
    return Control<QLineEdit>(root, name)->text();
}

QStringList ComboTexts(QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

void SelectRowOfChannel(QWidget& root, const QString& channelNumber) {
    QTreeWidget* list = List(root);
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        if (list->topLevelItem(r)->text(0) == channelNumber) {
            list->setCurrentItem(list->topLevelItem(r));
            return;
        }
    QFAIL("no such row");
}

} // namespace

class TestDocument : public QObject {
    Q_OBJECT

private slots:
    void init() {
        settings_ = std::make_unique<TempSettings>();
        files_ = std::make_unique<QTemporaryDir>();
    }
    void cleanup() {
        files_.reset();
        settings_.reset();
    }

    void noDocumentDisablesTheSongCommands() {
        Messages messages;
        RunningApp run;
        // Handlers stand in for the commands' own so that only the rules decide.
        for (int id : {Res::ID_CHANNEL_REMOVE, Res::ID_CHANNEL_DUPLICATE, Res::ID_CHANNEL_SOLO,
                       Res::ID_CHANNEL_MUTE, Res::ID_PLAY, Res::ID_PLAY_SOLO, Res::ID_STOP,
                       Res::ID_VIEW_POLYPHONY})
            run.Frame().SetHandler(id, [] {});
        run.Doc().SetTransferProgram(QStringLiteral("/bin/true"));
        QVERIFY(run.Doc().IsNoDocument());
        QCOMPARE(run.Doc().GetDocTitle(), QStringLiteral("No Document Loaded"));
        QCOMPARE(run.Frame().windowTitle(), QStringLiteral("No Document Loaded[*] - Quellor"));
        for (int id : {Res::ID_FILE_SAVE, Res::ID_FILE_SAVE_AS, Res::ID_FILE_RELOAD, Res::ID_PLAY,
                       Res::ID_PLAY_SOLO, Res::ID_STOP, Res::ID_SEND_IR, Res::ID_VIEW_POLYPHONY,
                       Res::ID_CHANNEL_REMOVE, Res::ID_CHANNEL_DUPLICATE, Res::ID_CHANNEL_SOLO,
                       Res::ID_CHANNEL_MUTE})
            QVERIFY2(!run.Action(id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY(run.Action(Res::ID_FILE_OPEN)->isEnabled());
        QCOMPARE(List(run.Frame())->topLevelItemCount(), 0);
        QVERIFY(!Control<QComboBox>(run.Frame(), "priorityCombo_1003")->isEnabled());
        QVERIFY(!Control<QCheckBox>(run.Frame(), "vibraCheck_1021")->isEnabled());

        // A disabled command does not run from its key either.
        bool saved = false;
        run.Frame().SetHandler(Res::ID_FILE_SAVE, [&saved] { saved = true; });
        run.Frame().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&run.Frame()));
        QTest::keyClick(&run.Frame(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!saved);

        QVERIFY(run.Frame().OpenDocumentFile(DemoSong()));
        QTest::keyClick(&run.Frame(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(saved);
        for (int id : {Res::ID_FILE_SAVE, Res::ID_FILE_RELOAD, Res::ID_PLAY, Res::ID_SEND_IR,
                       Res::ID_CHANNEL_REMOVE, Res::ID_CHANNEL_DUPLICATE, Res::ID_CHANNEL_MUTE})
            QVERIFY2(run.Action(id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY(!run.Action(Res::ID_STOP)->isEnabled());
    }

    void oneUsedChannelKeepsOnlyDuplicate() {
        Messages messages;
        RunningApp run({WriteBytes(*files_, QStringLiteral("one.mid"), OneChannelSong())});
        for (int id : {Res::ID_CHANNEL_REMOVE, Res::ID_CHANNEL_DUPLICATE, Res::ID_CHANNEL_SOLO,
                       Res::ID_CHANNEL_MUTE})
            run.Frame().SetHandler(id, [] {});
        QCOMPARE(RowChannels(run.Frame()), QStringList{"4"});
        QVERIFY(run.Action(Res::ID_CHANNEL_DUPLICATE)->isEnabled());
        QVERIFY(!run.Action(Res::ID_CHANNEL_REMOVE)->isEnabled());
        QVERIFY(!run.Action(Res::ID_CHANNEL_SOLO)->isEnabled());
        QVERIFY(!run.Action(Res::ID_CHANNEL_MUTE)->isEnabled());
    }

    void openingTheDemoShowsItsChannelsInPriorityOrder() {
        Messages messages;
        RunningApp run({DemoSong()});
        QVERIFY(messages.boxes.empty());
        QWidget& f = run.Frame();
        QCOMPARE(RowChannels(f), (QStringList{"5", "10", "1", "3", "2", "4"}));
        QCOMPARE(Column(f, 1),
                 (QStringList{"Vibraphone", "Percussive", "Flute", "Electric Bass(finger)",
                              "Acoustic Grand", "String Ensemble 1"}));
        QCOMPARE(Column(f, 2), (QStringList{"1", "3", "4", "5", "8", "10"}));
        QCOMPARE(FieldText(f, "songNameText_1005"), QStringLiteral("Quellor Demo"));
        QCOMPARE(FieldText(f, "sourceMipText_1006"), QStringLiteral("no"));
        QCOMPARE(FieldText(f, "sequencePolyphonyText_1007"), QStringLiteral("10"));
        QCOMPARE(run.Frame().windowTitle(), QStringLiteral("demo.mid[*] - Quellor"));

        // The first row is selected and is the current channel.
        QCOMPARE(List(f)->currentItem(), List(f)->topLevelItem(0));
        QVERIFY(List(f)->topLevelItem(0)->isSelected());
        QCOMPARE(run.Doc().GetCurrentChannel(), 4);
        QCOMPARE(FieldText(f, "polyphonyText_1002"), QStringLiteral("1"));
        QCOMPARE(FieldText(f, "instrumentText_1001"), QStringLiteral("Vibraphone"));
        auto* priority = Control<QComboBox>(f, "priorityCombo_1003");
        QCOMPARE(ComboTexts(priority), (QStringList{"1", "2", "3", "4", "5", "6"}));
        QCOMPARE(priority->currentIndex(), 0);

        // The panel follows the row the user moves to.
        SelectRowOfChannel(f, QStringLiteral("2"));
        QCOMPARE(run.Doc().GetCurrentChannel(), 1);
        QCOMPARE(FieldText(f, "polyphonyText_1002"), QStringLiteral("3"));
        QCOMPARE(FieldText(f, "instrumentText_1001"), QStringLiteral("Acoustic Grand"));
        QCOMPARE(priority->currentText(), QStringLiteral("5"));
        auto* mip = Control<QComboBox>(f, "mipCombo_1004");
        QCOMPARE(ComboTexts(mip), (QStringList{"0", "1", "2", "3"}));
        QCOMPARE(mip->currentText(), QStringLiteral("3"));
        QVERIFY(!run.Doc().IsModified());
    }

    void vibraBoxFollowsTheChannelsPolyphony_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("monophonic flute") << "1" << true;
        QTest::newRow("monophonic bass") << "3" << true;
        QTest::newRow("three-voice piano") << "2" << false;
        QTest::newRow("two-voice drums") << "10" << false;
    }
    void vibraBoxFollowsTheChannelsPolyphony() {
        QFETCH(QString, row);
        QFETCH(bool, enabled);
        Messages messages;
        RunningApp run({DemoSong()});
        SelectRowOfChannel(run.Frame(), row);
        QCOMPARE(Control<QCheckBox>(run.Frame(), "vibraCheck_1021")->isEnabled(), enabled);
    }

    void vibraChannelShowsAsSuch() {
        Messages messages;
        RunningApp run({DemoSong()});
        QWidget& f = run.Frame();
        SelectRowOfChannel(f, QStringLiteral("1"));
        Control<QCheckBox>(f, "vibraCheck_1021")->click();
        QCOMPARE(run.Doc().vibraChannel, 0);
        QCOMPARE(run.Doc().priority[0], 2);
        QVERIFY(run.Doc().IsModified());
        QCOMPARE(RowChannels(f).at(1), QStringLiteral("1"));
        QCOMPARE(Column(f, 1).at(1), QStringLiteral("Vibra (Flute)"));
        QCOMPARE(FieldText(f, "instrumentText_1001"), QStringLiteral("Vibra (Flute)"));
        QCOMPARE(run.Frame().View().ChannelImageIndex(0), 3);
        QVERIFY(!Control<QComboBox>(f, "mipCombo_1004")->isEnabled());
        QVERIFY(Control<QComboBox>(f, "priorityCombo_1003")->isEnabled());
        // The vibra channel adds nothing to the sums.
        QCOMPARE(Column(f, 2), (QStringList{"1", "1", "3", "4", "7", "9"}));
    }

    void priorityComboMovesTheChannel() {
        Messages messages;
        RunningApp run({DemoSong()});
        QWidget& f = run.Frame();
        QSignalSpy hints(&run.Doc(), &CQuellorDoc::updated);
        SelectRowOfChannel(f, QStringLiteral("2"));
        Choose(Control<QComboBox>(f, "priorityCombo_1003"), 0);
        QCOMPARE(hints.size(), 1);
        QCOMPARE(hints.at(0).at(0).toInt(), 2); // channel index 1, partial
        QCOMPARE(run.Doc().priority[1], 1);
        QCOMPARE(RowChannels(f), (QStringList{"2", "5", "10", "1", "3", "4"}));
        QCOMPARE(Column(f, 2), (QStringList{"3", "4", "6", "7", "8", "10"}));
        QVERIFY(run.Doc().IsModified());
        QVERIFY(run.Frame().isWindowModified());
        // The moved channel stays the current one, its row selected.
        QCOMPARE(run.Doc().GetCurrentChannel(), 1);
        QCOMPARE(List(f)->currentItem()->text(0), QStringLiteral("2"));
        QCOMPARE(Control<QComboBox>(f, "priorityCombo_1003")->currentText(), QStringLiteral("1"));
    }

    void polyphonyComboChangesTheSums() {
        Messages messages;
        RunningApp run({DemoSong()});
        QWidget& f = run.Frame();
        SelectRowOfChannel(f, QStringLiteral("2"));
        Choose(Control<QComboBox>(f, "mipCombo_1004"), 1);
        QCOMPARE(run.Doc().polyphony[1], 1);
        QCOMPARE(Column(f, 2), (QStringList{"1", "3", "4", "5", "6", "8"}));
        QCOMPARE(RowChannels(f), (QStringList{"5", "10", "1", "3", "2", "4"}));
        QVERIFY(run.Doc().IsModified());
        // The declared polyphony does not change the notes the song plays at once.
        QCOMPARE(FieldText(f, "sequencePolyphonyText_1007"), QStringLiteral("10"));
    }

    void mutedChannelShowsMutedImageAndNoSum() {
        Messages messages;
        RunningApp run({DemoSong()});
        CQuellorDoc& doc = run.Doc();
        doc.enabled[9] = false;
        doc.ComputeMipTable();
        doc.ComputeSequencePolyphony();
        doc.UpdateAllViews(10);
        QCOMPARE(run.Frame().View().ChannelImageIndex(9), 0);
        QCOMPARE(Column(run.Frame(), 2), (QStringList{"1", "0", "2", "3", "6", "8"}));
        QCOMPARE(FieldText(run.Frame(), "sequencePolyphonyText_1007"),
                 QString::number(doc.sequencePolyphony));
        QVERIFY(!doc.IsModified());
    }

    void sourceMipText_data() {
        QTest::addColumn<bool>("hasMip");
        QTest::addColumn<int>("anomalies");
        QTest::addColumn<int>("vibra");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << false << 0 << -1 << "no";
        QTest::newRow("sound") << true << 0 << -1 << "yes";
        QTest::newRow("one fall, no vibra") << true << 1 << -1 << "DEFECTIVE!";
        QTest::newRow("one fall, vibra") << true << 1 << 0 << "yes";
        QTest::newRow("two falls, vibra") << true << 2 << 0 << "DEFECTIVE!";
        QTest::newRow("two falls, no vibra") << true << 2 << -1 << "DEFECTIVE!";
    }
    void sourceMipText() {
        QFETCH(bool, hasMip);
        QFETCH(int, anomalies);
        QFETCH(int, vibra);
        QFETCH(QString, text);
        Messages messages;
        RunningApp run({DemoSong()});
        run.Doc().hasMipMessage = hasMip;
        run.Doc().mipAnomalyCount = anomalies;
        run.Doc().vibraChannel = vibra;
        run.Doc().UpdateAllViews(0);
        QCOMPARE(FieldText(run.Frame(), "sourceMipText_1006"), text);
    }

    void savingTwiceKeepsOneMipMessage() {
        const QString path = CopyOfDemo(*files_);
        QCOMPARE(CountMipMessages(ReadAll(path)), 0);
        Messages messages;
        RunningApp run({path});
        SelectRowOfChannel(run.Frame(), QStringLiteral("2"));
        Choose(Control<QComboBox>(run.Frame(), "priorityCombo_1003"), 0);
        run.Action(Res::ID_FILE_SAVE)->trigger();
        QVERIFY(messages.boxes.empty());
        QVERIFY(!run.Doc().IsModified());
        QCOMPARE(CountMipMessages(ReadAll(path)), 1);
        run.Action(Res::ID_FILE_SAVE)->trigger();
        QCOMPARE(CountMipMessages(ReadAll(path)), 1);

        // Read back, the file carries the new order in its MIP message.
        SongFile saved;
        QVERIFY(saved.LoadFile(path.toStdString()));
        QVERIFY(saved.hasMipMessage);
        QCOMPARE(saved.mipAnomalyCount, 0);
        QCOMPARE(saved.priority[1], 1);
        QCOMPARE(saved.priority[4], 2);
    }

    void savingLeavesMutedChannelsOut() {
        const QString path = CopyOfDemo(*files_);
        Messages messages;
        RunningApp run({path});
        run.Doc().enabled[2] = false; // channel 3
        run.Doc().ComputeMipTable();
        QVERIFY(run.Frame().OnFileSave());
        SongFile saved;
        QVERIFY(saved.LoadFile(path.toStdString()));
        QVERIFY(!saved.used[2]);
        QCOMPARE(saved.priority[2], 0); // no entry in the MIP message
        QVERIFY(saved.used[1]);
        // The song in memory keeps the channel.
        QVERIFY(run.Doc().used[2]);
        QCOMPARE(RowChannels(run.Frame()).size(), 6);
    }

    void textStrippingDecidesTheMetaEvents() {
        const QString path = CopyOfDemo(*files_);
        Messages messages;
        RunningApp run({path});
        QVERIFY(run.app.GetStripSwitch(0));
        QVERIFY(run.Frame().OnFileSave());
        QVERIFY(!ReadAll(path).contains("Quellor Demo"));
        QVERIFY(run.Frame().OpenDocumentFile(DemoSong()));
        run.Action(Res::ID_STRIP_TEXT)->trigger();
        const QString kept = files_->filePath(QStringLiteral("kept.mid"));
        QVERIFY(run.Doc().OnSaveDocument(kept));
        QVERIFY(ReadAll(kept).contains("Quellor Demo"));
    }

    void failedSaveKeepsFileAndModifiedFlag_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("missing folder") << "missing/demo.mid";
        QTest::newRow("a folder in the way") << "folder.mid";
    }
    void failedSaveKeepsFileAndModifiedFlag() {
        QFETCH(QString, target);
        QDir(files_->path()).mkdir(QStringLiteral("folder.mid"));
        QFile::copy(DemoSong(), files_->filePath(QStringLiteral("folder.mid/inside.mid")));
        const QString path = CopyOfDemo(*files_);
        const QByteArray before = ReadAll(path);
        Messages messages;
        RunningApp run({path});
        Choose(Control<QComboBox>(run.Frame(), "mipCombo_1004"), 0);
        QVERIFY(run.Doc().IsModified());
        const QString full = files_->filePath(target);
        QVERIFY(!run.Doc().OnSaveDocument(full));
        QCOMPARE(int(messages.boxes.size()), 1);
        QCOMPARE(messages.boxes[0].icon, UserPrompt::Icon::Critical);
        QVERIFY2(messages.boxes[0].text.contains(QDir::toNativeSeparators(full)),
                 qPrintable(messages.boxes[0].text));
        QVERIFY(run.Doc().IsModified());
        QCOMPARE(run.Doc().GetPathName(), path);
        QCOMPARE(ReadAll(path), before);
        QVERIFY(QFile::exists(files_->filePath(QStringLiteral("folder.mid/inside.mid"))));
        // Nothing is left behind beside the targets.
        QCOMPARE(QDir(files_->path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("demo.mid")});
    }

    void reloadOffersToSaveThenReadsTheFileAgain() {
        const QString path = CopyOfDemo(*files_);
        Messages messages;
        RunningApp run({path});
        SelectRowOfChannel(run.Frame(), QStringLiteral("2"));
        Choose(Control<QComboBox>(run.Frame(), "priorityCombo_1003"), 0);

        messages.answers = {QMessageBox::Cancel};
        run.Action(Res::ID_FILE_RELOAD)->trigger();
        QCOMPARE(messages.boxes.back().text, QStringLiteral("Save changes to demo.mid?"));
        QCOMPARE(messages.boxes.back().icon, UserPrompt::Icon::Question);
        QCOMPARE(run.Doc().priority[1], 1);
        QVERIFY(run.Doc().IsModified());

        messages.answers = {QMessageBox::No};
        run.Action(Res::ID_FILE_RELOAD)->trigger();
        QCOMPARE(run.Doc().priority[1], 5);
        QVERIFY(!run.Doc().IsModified());
        QCOMPARE(RowChannels(run.Frame()), (QStringList{"5", "10", "1", "3", "2", "4"}));
        QCOMPARE(ReadAll(path), ReadAll(DemoSong()));
    }

    void reloadAfterSaveAsReadsTheNewFile() {
        const QString path = CopyOfDemo(*files_);
        Messages messages;
        RunningApp run({path});
        SelectRowOfChannel(run.Frame(), QStringLiteral("2"));
        Choose(Control<QComboBox>(run.Frame(), "priorityCombo_1003"), 0);
        const QString other = files_->filePath(QStringLiteral("other.mid"));
        QVERIFY(run.Doc().OnSaveDocument(other));
        QCOMPARE(run.Frame().windowTitle(), QStringLiteral("other.mid[*] - Quellor"));
        // The song keeps its own name; only the window shows the new file.
        QCOMPARE(FieldText(run.Frame(), "songNameText_1005"), QStringLiteral("Quellor Demo"));
        run.Action(Res::ID_FILE_RELOAD)->trigger();
        QVERIFY(messages.boxes.empty());
        QCOMPARE(run.Doc().GetPathName(), other);
        QCOMPARE(run.Doc().priority[1], 1); // as saved, from its MIP message
        QCOMPARE(FieldText(run.Frame(), "sourceMipText_1006"), QStringLiteral("yes"));
    }

    void failingOpenKeepsTheSong_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing.mid" << QByteArray() << "No such file or directory";
        QTest::newRow("text") << "notes.mid" << QByteArray("just some words\n")
                              << "is not a Standard MIDI File";
        QTest::newRow("empty") << "empty.mid" << QByteArray("") << "is not a Standard MIDI File";
        QTest::newRow("folder") << "folder.mid" << QByteArray() << "Is a directory";
    }
    void failingOpenKeepsTheSong() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        const QString path = files_->filePath(name);
        if (name == QLatin1String("folder.mid")) {
            QDir(files_->path()).mkdir(name);
        } else if (name != QLatin1String("missing.mid")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        Messages messages;
        RunningApp run({DemoSong()});
        Choose(Control<QComboBox>(run.Frame(), "mipCombo_1004"), 0);
        const QStringList sums = Column(run.Frame(), 2);
        QVERIFY(!run.Frame().OpenDocumentFile(path));
        QCOMPARE(int(messages.boxes.size()), 2); // the save prompt, then the failure
        const auto& box = messages.boxes.back();
        QCOMPARE(box.icon, UserPrompt::Icon::Critical);
        QVERIFY2(box.text.contains(QDir::toNativeSeparators(path)), qPrintable(box.text));
        QVERIFY2(box.text.contains(reason), qPrintable(box.text));
        QCOMPARE(run.Doc().GetDocTitle(), QStringLiteral("demo.mid"));
        QCOMPARE(Column(run.Frame(), 2), sums);
        QCOMPARE(FieldText(run.Frame(), "songNameText_1005"), QStringLiteral("Quellor Demo"));
        QVERIFY(run.Doc().IsModified());
        QCOMPARE(run.Doc().GetPath(), QFileInfo(DemoSong()).absoluteFilePath().toStdString());
    }

    void badFileOnTheCommandLineStartsEmpty() {
        Messages messages;
        const QString path = files_->filePath(QStringLiteral("absent.mid"));
        RunningApp run({path});
        QCOMPARE(int(messages.boxes.size()), 1);
        QVERIFY(messages.boxes[0].text.contains(QDir::toNativeSeparators(path)));
        QVERIFY(run.Doc().IsNoDocument());
        QVERIFY(run.Frame().isVisible());
        QVERIFY(run.app.RecentFiles().isEmpty());
    }

    void fileWithDataLeftOutOpensWithAWarning() {
        Messages messages;
        const QString path =
            WriteBytes(*files_, QStringLiteral("broken.mid"), SongWithBrokenSysEx());
        RunningApp run({path});
        QVERIFY(!run.Doc().IsNoDocument());
        QCOMPARE(int(messages.boxes.size()), 1);
        QCOMPARE(messages.boxes[0].icon, UserPrompt::Icon::Warning);
        const QString& text = messages.boxes[0].text;
        QVERIFY2(text.contains(QStringLiteral("1 unterminated SysEx message")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("will not bring the missing data back")));
        QVERIFY(text.contains(QDir::toNativeSeparators(path)));
        QCOMPARE(RowChannels(run.Frame()), QStringList{"1"});
    }

    void openingUnmutesAndClearsTheVibraChannel() {
        Messages messages;
        RunningApp run({DemoSong()});
        run.Doc().enabled[1] = false;
        run.Doc().vibraChannel = 0;
        QVERIFY(run.Frame().OpenDocumentFile(DemoSong()));
        QVERIFY(run.Doc().enabled[1]);
        QCOMPARE(run.Doc().vibraChannel, -1);
        QCOMPARE(run.Frame().View().ChannelImageIndex(1), 1);
    }

    void droppedFileOpensLikeOpen() {
        const QString path = CopyOfDemo(*files_, QStringLiteral("dropped.mid"));
        Messages messages;
        RunningApp run({DemoSong()});
        Choose(Control<QComboBox>(run.Frame(), "mipCombo_1004"), 0);
        QVERIFY(run.Frame().acceptDrops());
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(&run.Frame(), &enter);
        QVERIFY(enter.isAccepted());
        messages.answers = {QMessageBox::No};
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&run.Frame(), &drop);
        QCOMPARE(messages.boxes.at(0).text, QStringLiteral("Save changes to demo.mid?"));
        QCOMPARE(run.Doc().GetPathName(), path);
        QCOMPARE(run.app.RecentFiles().first(), path);

        QMimeData remote;
        remote.setUrls({QUrl(QStringLiteral("https://example.org/song.mid"))});
        QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &remote, Qt::LeftButton,
                                Qt::NoModifier);
        refused.setAccepted(false);
        QCoreApplication::sendEvent(&run.Frame(), &refused);
        QVERIFY(!refused.isAccepted());
    }

    void closingAModifiedSongAsksFirst() {
        Messages messages;
        RunningApp run({DemoSong()});
        Choose(Control<QComboBox>(run.Frame(), "mipCombo_1004"), 0);
        messages.answers = {QMessageBox::Cancel};
        QVERIFY(!run.Frame().close());
        QVERIFY(run.Frame().isVisible());
        messages.answers = {QMessageBox::No};
        QVERIFY(run.Frame().close());
    }

    void sendViaIrHandsOverWhatSaveWrites() {
        // A stand-in transfer program that notes where and with what it was started.
        const QString bin = files_->filePath(QStringLiteral("bin"));
        QDir().mkpath(bin);
        const QString log = files_->filePath(QStringLiteral("sent.txt"));
        {
            QFile script(bin + QStringLiteral("/bluetooth-sendto"));
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(
                QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$PWD\" \"$#\" \"$1\" > '%1.part'\n"
                               "mv '%1.part' '%1'\n")
                    .arg(log)
                    .toUtf8());
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", bin.toLocal8Bit() + ":" + oldPath);
        const QString program = CQuellorDoc::FindTransferProgram();
        qputenv("PATH", oldPath);
        QCOMPARE(program, bin + QStringLiteral("/bluetooth-sendto"));

        const QString path = CopyOfDemo(*files_, QStringLiteral("my song.mid"));
        Messages messages;
        QString folder;
        {
            RunningApp run({path});
            run.Doc().SetTransferProgram(program);
            SelectRowOfChannel(run.Frame(), QStringLiteral("2"));
            Choose(Control<QComboBox>(run.Frame(), "priorityCombo_1003"), 0);
            run.Action(Res::ID_SEND_IR)->trigger();
            QTRY_VERIFY(QFile::exists(log));
            QVERIFY(messages.boxes.empty());
            folder = run.Doc().GetTempFolder();
            QVERIFY(!folder.isEmpty());
            QVERIFY(!folder.startsWith(QCoreApplication::applicationDirPath()));
            const QString copy = QDir(folder).filePath(QStringLiteral("my song.mid"));
            const QStringList lines = QString::fromUtf8(ReadAll(log)).split('\n');
            QCOMPARE(lines.at(0), folder);
            QCOMPARE(lines.at(1), QStringLiteral("1")); // one argument, spaces and all
            QCOMPARE(lines.at(2), copy);
            // The copy is what Save writes: the new priorities in an up-to-date MIP message.
            const QString saved = files_->filePath(QStringLiteral("saved.mid"));
            QVERIFY(run.Doc().OnSaveDocument(saved));
            QCOMPARE(ReadAll(copy), ReadAll(saved));
            QCOMPARE(CountMipMessages(ReadAll(copy)), 1);

            // When the copy cannot be written nothing is started.
            QFile::remove(log);
            QFile::remove(copy);
            QVERIFY(QDir(folder).mkdir(QStringLiteral("saved.mid")));
            QVERIFY(run.Doc().OnOpenDocument(saved));
            QVERIFY(!run.Doc().OnSendViaIr());
            QCOMPARE(int(messages.boxes.size()), 1);
            QCOMPARE(messages.boxes[0].icon, UserPrompt::Icon::Critical);
            QTest::qWait(300);
            QVERIFY(!QFile::exists(log));
        }
        // The private folder goes with the program; the file it was sent from stays.
        QVERIFY(!QDir(folder).exists());
        QVERIFY(QFile::exists(path));
    }

    void keysReachTheirCommands_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("id");
        QTest::newRow("Space plays") << int(Qt::Key_Space) << 0 << Res::ID_PLAY;
        QTest::newRow("Ctrl+Space plays solo")
            << int(Qt::Key_Space) << int(Qt::ControlModifier) << Res::ID_PLAY_SOLO;
        QTest::newRow("Ctrl+B batch")
            << int(Qt::Key_B) << int(Qt::ControlModifier) << Res::ID_FILE_BATCH;
        QTest::newRow("F5 reloads") << int(Qt::Key_F5) << 0 << Res::ID_FILE_RELOAD;
        QTest::newRow("Ctrl+F5 sends")
            << int(Qt::Key_F5) << int(Qt::ControlModifier) << Res::ID_SEND_IR;
        QTest::newRow("Delete removes") << int(Qt::Key_Delete) << 0 << Res::ID_CHANNEL_REMOVE;
        QTest::newRow("F3 graph") << int(Qt::Key_F3) << 0 << Res::ID_VIEW_POLYPHONY;
    }
    void keysReachTheirCommands() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, id);
        Messages messages;
        RunningApp run({DemoSong()});
        run.Doc().SetTransferProgram(QStringLiteral("/bin/true"));
        int runs = 0;
        run.Frame().SetHandler(id, [&runs] { ++runs; });
        run.Frame().UpdateActions();
        run.Frame().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&run.Frame()));
        // With the channel list focused, as after a click on a row.
        List(run.Frame())->setFocus();
        QTest::keyClick(List(run.Frame()), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(runs, 1);
    }

    void playRendersTheAudibleChannels() {
        Messages messages;
        RunningApp run({DemoSong()});
        auto noteOnChannels = [&run] {
            std::set<int> channels;
            for (const auto& m : run.output->Messages())
                if (m.bytes.size() == 3 && (m.bytes[0] & 0xF0) == 0x90 && m.bytes[2] > 0)
                    channels.insert(m.bytes[0] & 0x0F);
            return channels;
        };
        run.Doc().enabled[1] = false;
        run.Doc().RenderForPlayback();
        QTRY_VERIFY(noteOnChannels().size() >= 3);
        QVERIFY(!noteOnChannels().count(1));
        run.Doc().StopPlayback();

        // Play Solo of the muted current channel sounds nothing at all.
        run.output->Clear();
        run.Doc().SetCurrentChannel(1);
        run.Doc().RenderChannelForPlayback();
        QTest::qWait(400);
        run.Doc().StopPlayback();
        QVERIFY(noteOnChannels().empty());
        // Play Solo of an audible channel sounds that channel alone.
        run.output->Clear();
        run.Doc().SetCurrentChannel(9);
        run.Doc().RenderChannelForPlayback();
        QTRY_VERIFY(!noteOnChannels().empty());
        run.Doc().StopPlayback();
        QCOMPARE(noteOnChannels(), std::set<int>{9});
    }

private:
    std::unique_ptr<TempSettings> settings_;
    std::unique_ptr<QTemporaryDir> files_;
};

QTEST_MAIN(TestDocument)
#include "TestDocument.moc"
