// The document and the channel view: the no-document state, opening, the combos, saving,
// reloading, failing opens and Send via IR.
#include "resources/resource.h"
#include "tests/app/AppTestSupport.h"

#include "song/SongFile.h"

#include <QCheckBox>
#include <QSignalSpy>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace apptest;

namespace {

QCheckBox* VibraBox(QWidget& root) {
    return Control<QCheckBox>(root, "vibraCheck_1021");
}

} // namespace

class TestDocument : public AppTest {
    Q_OBJECT

private slots:
    void noDocumentDisablesTheSongCommandsAndTheirKeys() {
        CMainFrame& f = Start().Frame();
        // Stand-in handlers, so that only the rules decide.
        for (int id : {Res::ID_PLAY, Res::ID_PLAY_SOLO, Res::ID_STOP, Res::ID_VIEW_POLYPHONY})
            f.SetHandler(id, [] {});
        run->Doc().SetTransferProgram("/bin/true");
        QVERIFY(run->Doc().IsNoDocument());
        QCOMPARE(run->Doc().GetDocTitle(), "No Document Loaded");
        for (int id : {Res::ID_FILE_SAVE, Res::ID_FILE_SAVE_AS, Res::ID_FILE_RELOAD, Res::ID_PLAY,
                       Res::ID_PLAY_SOLO, Res::ID_STOP, Res::ID_SEND_IR, Res::ID_VIEW_POLYPHONY})
            QVERIFY2(!run->Action(id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY(!PriorityCombo(f)->isEnabled());
        QVERIFY(!VibraBox(f)->isEnabled());

        // A disabled command does not run from its key either; enabled, the keys reach
        // Save, Play, Play Solo and Batch.
        int runs = 0;
        for (int id : {Res::ID_FILE_SAVE, Res::ID_PLAY, Res::ID_PLAY_SOLO, Res::ID_FILE_BATCH})
            f.SetHandler(id, [&runs] { ++runs; });
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QTest::keyClick(&f, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(runs, 0);
        QVERIFY(f.OpenDocumentFile(DemoSong()));
        f.UpdateActions();
        List(f)->setFocus();
        QTest::keyClick(List(f), Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(List(f), Qt::Key_Space);
        QTest::keyClick(List(f), Qt::Key_Space, Qt::ControlModifier);
        QTest::keyClick(List(f), Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(runs, 4);
        QVERIFY(run->Action(Res::ID_FILE_SAVE_AS)->isEnabled());
    }

    void openingTheDemoShowsItsChannelsInPriorityOrderAndTheVibraBox() {
        CMainFrame& f = OpenDemo();
        QVERIFY(boxes.empty());
        QCOMPARE(RowChannels(f), (QStringList{"5", "10", "1", "3", "2", "4"}));
        QCOMPARE(Column(f, 1),
                 (QStringList{"Vibraphone", "Percussive", "Flute", "Electric Bass(finger)",
                              "Acoustic Grand", "String Ensemble 1"}));
        QCOMPARE(Column(f, 2), (QStringList{"1", "3", "4", "5", "8", "10"}));
        QCOMPARE(Field(f, "songNameText_1005"), "Quellor Demo");
        QCOMPARE(Field(f, "sourceMipText_1006"), "no");
        QCOMPARE(Field(f, "sequencePolyphonyText_1007"), "10");
        QCOMPARE(f.windowTitle(), "demo.mid[*] - Quellor");
        // The first row is selected and is the current channel.
        QVERIFY(List(f)->topLevelItem(0)->isSelected());
        QCOMPARE(List(f)->currentItem(), List(f)->topLevelItem(0));
        QCOMPARE(run->Doc().GetCurrentChannel(), 4);
        QCOMPARE(PriorityCombo(f)->count(), 6);

        // The panel follows the row: voices 0 to the channel's most, the vibra box only for
        // channels that play one note at a time.
        const std::tuple<QString, int, bool> rows[] = {
            {"2", 3, false}, {"10", 2, false}, {"3", 1, true}, {"1", 1, true}};
        for (const auto& [channel, voices, vibra] : rows) {
            ClickRow(f, channel);
            const int row = RowChannels(f).indexOf(channel);
            QCOMPARE(run->Doc().GetCurrentChannel() + 1, channel.toInt());
            QCOMPARE(Field(f, "instrumentText_1001"), Column(f, 1).at(row));
            QCOMPARE(Field(f, "polyphonyText_1002"), QString::number(voices));
            QCOMPARE(PriorityCombo(f)->currentIndex(), row);
            QCOMPARE(MipCombo(f)->count(), voices + 1);
            QCOMPARE(MipCombo(f)->currentText(), QString::number(voices));
            QCOMPARE(VibraBox(f)->isEnabled(), vibra);
        }
        QVERIFY(!run->Doc().IsModified());

        // The flute made the vibra channel: second place, its own image, no voices counted.
        VibraBox(f)->click();
        QCOMPARE(run->Doc().vibraChannel, 0);
        QVERIFY(run->Doc().IsModified());
        QCOMPARE(RowChannels(f).at(1), "1");
        QCOMPARE(Column(f, 1).at(1), "Vibra (Flute)");
        QCOMPARE(f.View().ChannelImageIndex(0), 3);
        QVERIFY(!MipCombo(f)->isEnabled());
        QVERIFY(PriorityCombo(f)->isEnabled());
        QCOMPARE(Column(f, 2), (QStringList{"1", "1", "3", "4", "7", "9"}));
    }

    void combosChangeTheSumsAndRefreshTheirRow() {
        CMainFrame& f = OpenDemo();
        QSignalSpy hints(&run->Doc(), &CQuellorDoc::updated);
        ClickRow(f, "2");
        Choose(MipCombo(f), 1);
        QCOMPARE(run->Doc().polyphony[1], 1);
        QCOMPARE(Column(f, 2), (QStringList{"1", "3", "4", "5", "6", "8"}));
        // The declared voices do not change the notes the song plays at once.
        QCOMPARE(Field(f, "sequencePolyphonyText_1007"), "10");
        QVERIFY(run->Doc().IsModified());

        Choose(PriorityCombo(f), 0);
        QCOMPARE(run->Doc().priority[1], 1);
        QCOMPARE(RowChannels(f), (QStringList{"2", "5", "10", "1", "3", "4"}));
        QCOMPARE(Column(f, 2), (QStringList{"1", "2", "4", "5", "6", "8"}));
        QVERIFY(f.isWindowModified());
        // Both refreshed the row of channel index 1 only; it stays current and selected.
        QCOMPARE(hints.size(), 2);
        QCOMPARE(hints.at(0).at(0).toInt(), 2);
        QCOMPARE(hints.at(1).at(0).toInt(), 2);
        QCOMPARE(run->Doc().GetCurrentChannel(), 1);
        QCOMPARE(List(f)->currentItem()->text(0), "2");
        QCOMPARE(PriorityCombo(f)->currentIndex(), 0);
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
    }
    void sourceMipText() {
        QFETCH(bool, hasMip);
        QFETCH(int, anomalies);
        QFETCH(int, vibra);
        QFETCH(QString, text);
        CMainFrame& f = OpenDemo();
        run->Doc().hasMipMessage = hasMip;
        run->Doc().mipAnomalyCount = anomalies;
        run->Doc().vibraChannel = vibra;
        run->Doc().UpdateAllViews(0);
        QCOMPARE(Field(f, "sourceMipText_1006"), text);
    }

    void savingWritesOneMipMessageWithoutMutedChannels() {
        const QString path = CopyOfDemo(*files);
        QCOMPARE(CountMipMessages(ReadAll(path)), 0);
        CMainFrame& f = Start({path}).Frame();
        MoveToTop(f, "2");
        run->Doc().enabled[2] = false; // channel 3 muted
        run->Action(Res::ID_FILE_SAVE)->trigger();
        QVERIFY(boxes.empty());
        QVERIFY(!run->Doc().IsModified());
        run->Action(Res::ID_FILE_SAVE)->trigger();
        const QByteArray bytes = ReadAll(path);
        QCOMPARE(CountMipMessages(bytes), 1);
        QVERIFY(!bytes.contains("Quellor Demo")); // text stripping is on

        // Read back: the new order in the MIP message, the muted channel left out.
        SongFile saved;
        QVERIFY(saved.LoadFile(path.toStdString()));
        QVERIFY(saved.hasMipMessage);
        QCOMPARE(saved.mipAnomalyCount, 0);
        QCOMPARE(saved.priority[1], 1);
        QCOMPARE(saved.priority[4], 2);
        QVERIFY(!saved.used[2]);
        QCOMPARE(saved.priority[2], 0);
        // The song in memory keeps the channel.
        QCOMPARE(RowChannels(f).size(), 6);

        run->Action(Res::ID_STRIP_TEXT)->trigger();
        QVERIFY(run->Doc().OnSaveDocument(FilePath("kept.mid")));
        QVERIFY(ReadAll(FilePath("kept.mid")).contains("Quellor Demo"));
    }

    void failedSaveKeepsFileAndModifiedFlag_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("sizeLimit"); // of any file written; 0 for none
        QTest::newRow("missing folder") << "missing/demo.mid" << 0;
        QTest::newRow("a folder in the way") << "folder.mid" << 0;
        // Never replaced by a regular file, nor opened (without a reader it would block).
        QTest::newRow("a FIFO in the way") << "fifo.mid" << 0;
        // The song's own file, while the disk fills up in the middle of the write: the song
        // takes about 2000 bytes.
        QTest::newRow("disk full") << "demo.mid" << 1000;
    }
    void failedSaveKeepsFileAndModifiedFlag() {
        QFETCH(QString, target);
        QFETCH(int, sizeLimit);
        QDir(files->path()).mkdir("folder.mid");
        QFile::copy(DemoSong(), FilePath("folder.mid/inside.mid"));
        QCOMPARE(::mkfifo(QFile::encodeName(FilePath("fifo.mid")).constData(), 0600), 0);
        const QString path = CopyOfDemo(*files);
        const QByteArray before = ReadAll(path);
        Start({path});
        Choose(MipCombo(run->Frame()), 0);
        const QString full = FilePath(target);
        rlimit limit{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        if (sizeLimit > 0) {
            rlimit small = limit;
            small.rlim_cur = rlim_t(sizeLimit);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        const bool ok = run->Doc().OnSaveDocument(full);
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, previous);
        QVERIFY(!ok);
        const QString text = OnlyBox(UserPrompt::Icon::Critical);
        QVERIFY2(text.contains(QDir::toNativeSeparators(full)), qPrintable(text));
        QVERIFY2(sizeLimit == 0 || text.contains("File too large"), qPrintable(text));
        QVERIFY(run->Doc().IsModified());
        QCOMPARE(run->Doc().GetPathName(), path);
        QCOMPARE(ReadAll(path), before);
        QVERIFY(QFile::exists(FilePath("folder.mid/inside.mid")));
        QVERIFY(QFileInfo(FilePath("fifo.mid")).exists() &&
                !QFileInfo(FilePath("fifo.mid")).isFile());
        // Nothing is left behind beside the targets.
        QCOMPARE(QDir(files->path()).entryList(QDir::Files), QStringList{"demo.mid"});
    }

    void reloadAndCloseOfferToSaveFirst() {
        const QString path = CopyOfDemo(*files);
        CMainFrame& f = Start({path}).Frame();
        MoveToTop(f, "2");
        run->Doc().enabled[3] = false;
        run->Doc().vibraChannel = 0;

        answers = {QMessageBox::Cancel};
        run->Action(Res::ID_FILE_RELOAD)->trigger();
        QCOMPARE(boxes.back().text, "Save changes to demo.mid?");
        QCOMPARE(run->Doc().priority[1], 1);
        QVERIFY(run->Doc().IsModified());
        answers = {QMessageBox::No};
        run->Action(Res::ID_FILE_RELOAD)->trigger();
        QVERIFY(!run->Doc().IsModified());
        QCOMPARE(RowChannels(f), (QStringList{"5", "10", "1", "3", "2", "4"}));
        // Read afresh: every channel audible again, no vibra channel.
        QVERIFY(run->Doc().enabled[3]);
        QCOMPARE(run->Doc().vibraChannel, -1);
        QCOMPARE(ReadAll(path), ReadAll(DemoSong()));

        // After Save As, Reload reads the new file, which has its MIP message now.
        MoveToTop(f, "2");
        const QString other = FilePath("other.mid");
        QVERIFY(run->Doc().OnSaveDocument(other));
        QCOMPARE(f.windowTitle(), "other.mid[*] - Quellor");
        QCOMPARE(Field(f, "songNameText_1005"), "Quellor Demo");
        const auto shown = boxes.size();
        run->Action(Res::ID_FILE_RELOAD)->trigger();
        QCOMPARE(boxes.size(), shown);
        QCOMPARE(run->Doc().priority[1], 1);
        QCOMPARE(Field(f, "sourceMipText_1006"), "yes");

        // Closing a changed song asks too; Cancel keeps the window.
        Choose(MipCombo(f), 0);
        answers = {QMessageBox::Cancel};
        QVERIFY(!f.close());
        QVERIFY(f.isVisible());
        QVERIFY(f.close());
    }

    void failingOpenKeepsTheSong_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("atStart");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        const QString noSmf = "is not a Standard MIDI File";
        QTest::newRow("missing") << "missing.mid" << false << QByteArray() << "No such file";
        QTest::newRow("text") << "notes.mid" << false << QByteArray("just some words\n") << noSmf;
        QTest::newRow("empty") << "empty.mid" << false << QByteArray("") << noSmf;
        QTest::newRow("folder") << "folder.mid" << false << QByteArray() << "Is a directory";
        QTest::newRow("missing, named on the command line")
            << "missing.mid" << true << QByteArray() << "No such file";
    }
    void failingOpenKeepsTheSong() {
        QFETCH(QString, name);
        QFETCH(bool, atStart);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        const QString path = FilePath(name);
        if (!content.isNull())
            WriteBytes(path, content);
        else if (name == QLatin1String("folder.mid"))
            QDir(files->path()).mkdir(name);
        if (atStart) {
            // The program starts with no document instead of ending.
            Start({path});
            QVERIFY(OnlyBox(UserPrompt::Icon::Critical).contains(reason));
            QVERIFY(run->Doc().IsNoDocument());
            QVERIFY(run->Frame().isVisible());
            QVERIFY(run->app.RecentFiles().isEmpty());
            return;
        }
        CMainFrame& f = OpenDemo();
        Choose(MipCombo(f), 0);
        const QStringList sums = Column(f, 2);
        QVERIFY(!f.OpenDocumentFile(path));
        boxes.erase(boxes.begin()); // the save prompt, then the failure
        const QString text = OnlyBox(UserPrompt::Icon::Critical);
        QVERIFY2(text.contains(QDir::toNativeSeparators(path)) && text.contains(reason),
                 qPrintable(text));
        QCOMPARE(run->Doc().GetPathName(), DemoSong());
        QCOMPARE(Column(f, 2), sums);
        QCOMPARE(Field(f, "songNameText_1005"), "Quellor Demo");
        QVERIFY(run->Doc().IsModified());
    }

    void fileWithDataLeftOutOpensWithAWarning() {
        using namespace testfiles;
        const QString path =
            WriteBytes(FilePath("broken.mid"),
                       Cat({Header(0, 1, 480), TrackChunk({
                                                   0x00, 0xF0, 0x03, 0x43, 0x12, 0x00, // no F7
                                                   0x00, 0x90, 0x3C, 0x64,             // note on
                                                   0x83, 0x60, 0x80, 0x3C, 0x00,       // note off
                                               })}));
        Store("EnableSysexStripping", 0); // stripped SysEx is not missed
        Start({path});
        const QString text = OnlyBox(UserPrompt::Icon::Warning);
        QVERIFY2(text.contains("1 unterminated SysEx message"), qPrintable(text));
        QVERIFY(text.contains("will not bring the missing data back"));
        QVERIFY(text.contains(QDir::toNativeSeparators(path)));
        QCOMPARE(RowChannels(run->Frame()), QStringList{"1"});
    }

    void sendViaIrHandsOverWhatSaveWrites() {
        // A stand-in transfer program on PATH that notes where and with what it was started.
        const QString bin = FilePath("bin");
        const QString log = FilePath("sent.txt");
        QDir().mkpath(bin);
        WriteBytes(bin + "/bluetooth-sendto",
                   QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$PWD\" \"$#\" \"$1\" > '%1.part'\n"
                                  "mv '%1.part' '%1'\n")
                       .arg(log)
                       .toUtf8());
        QFile::setPermissions(bin + "/bluetooth-sendto", QFile::ReadOwner | QFile::ExeOwner);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", bin.toLocal8Bit() + ":" + oldPath);
        const QString path = CopyOfDemo(*files, "my song.mid");
        CMainFrame& f = Start({path}).Frame();
        qputenv("PATH", oldPath);
        MoveToTop(f, "2");
        run->Action(Res::ID_SEND_IR)->trigger();
        QTRY_VERIFY(QFile::exists(log));
        QVERIFY(boxes.empty());
        const QString folder = run->Doc().GetTempFolder();
        QVERIFY(!folder.startsWith(QCoreApplication::applicationDirPath()));
        const QString copy = QDir(folder).filePath("my song.mid");
        // Started in the private folder with one argument, spaces and all.
        QCOMPARE(QString::fromUtf8(ReadAll(log)).split('\n').mid(0, 3),
                 (QStringList{folder, "1", copy}));
        // The copy is what Save writes: the new priorities in an up-to-date MIP message.
        const QString saved = FilePath("saved.mid");
        QVERIFY(run->Doc().OnSaveDocument(saved));
        QCOMPARE(ReadAll(copy), ReadAll(saved));

        // When the copy cannot be written nothing is started.
        QFile::remove(log);
        QVERIFY(QDir(folder).mkdir("saved.mid"));
        QVERIFY(run->Doc().OnOpenDocument(saved));
        // A sender that cannot start would add a message of its own: one message, about the
        // copy, means nothing was started.
        run->Doc().SetTransferProgram(FilePath("no-such-sender"));
        QVERIFY(!run->Doc().OnSendViaIr());
        QVERIFY(OnlyBox(UserPrompt::Icon::Critical).startsWith("Cannot write the copy"));
        // The private folder goes with the program; the file it was sent from stays.
        run.reset();
        QVERIFY(!QDir(folder).exists());
        QVERIFY(QFile::exists(path));
    }
};

QTEST_MAIN(TestDocument)
#include "TestDocument.moc"
