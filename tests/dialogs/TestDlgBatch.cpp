// The Batch Processor dialog: its control rules, its folder histories and runs over folders of
// real songs, including stopping and closing while the worker is busy, the question before
// a missing destination folder is made, and the rows' reasons and the summary of a run.
#include "app/CDlgBatch.h"
#include "app/CheckWords.h"
#include "app/UserPrompt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <atomic>
#include <memory>
#include <thread>

namespace {

// Holds the worker after it finished the third file until the test lets it go, so that a
// stop or a close lands while a file is being processed. It runs one job: each file is
// reported before the next starts.
class PacedBatch : public CDlgBatch {
public:
    PacedBatch() { SetJobs(1); }

    std::atomic<bool> reached{false};
    std::atomic<bool> closing{false};
    QSemaphore release;

    void done(int result) override {
        closing = true;
        CDlgBatch::done(result);
    }

protected:
    void WorkerFileDone(std::size_t index, std::size_t) override {
        if (index != 2)
            return;
        reached = true;
        release.tryAcquire(1, 20000);
    }
};

template <class T> T* Control(const CDlgBatch& dialog, const char* name) {
    T* control = dialog.findChild<T*>(name);
    if (control == nullptr)
        qFatal("no control %s", name);
    return control;
}

// One column of the file list: 0 the titles, 1 the results; or the column's tool tips.
QStringList Column(const CDlgBatch& dialog, int column, bool toolTips = false) {
    const auto* list = Control<QTreeWidget>(dialog, "fileList");
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        texts << (toolTips ? item->toolTip(column) : item->text(column));
    }
    return texts;
}

QString Processed(const CDlgBatch& dialog) {
    return Control<QLineEdit>(dialog, "processedEdit")->text();
}

QString Summary(const CDlgBatch& dialog) {
    return Control<QLabel>(dialog, "summaryLabel")->text();
}

// Answers every message box with `answer` and remembers their texts, until destroyed.
class Prompts {
public:
    explicit Prompts(QMessageBox::StandardButton answer) {
        UserPrompt::SetHandler([this, answer](UserPrompt::Icon icon, const QString& text,
                                              QMessageBox::StandardButtons) {
            texts << text;
            icons << icon;
            return answer;
        });
    }
    ~Prompts() { UserPrompt::SetHandler({}); }
    Prompts(const Prompts&) = delete;
    Prompts& operator=(const Prompts&) = delete;
    QStringList texts;
    QList<UserPrompt::Icon> icons;
};

void Click(const CDlgBatch& dialog, const char* button) {
    QTest::mouseClick(Control<QPushButton>(dialog, button), Qt::LeftButton);
}

// Clicks a radio button or check box on its indicator; its middle may lie beyond its text.
void ClickBox(QAbstractButton* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

void TypePaths(CDlgBatch& dialog, const QString& source, const QString& destination) {
    QTest::keyClicks(Control<QComboBox>(dialog, "sourceCombo")->lineEdit(), source);
    QTest::keyClicks(Control<QComboBox>(dialog, "destinationCombo")->lineEdit(), destination);
}

QSettings Store() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "ORBANTA", "Quellor");
}

// The results with a written file's counts cut to its errors: "OK, 0 errors, 3 warnings"
// reads "OK, 0 errors". Any other text stays, and fails the comparison that follows.
QStringList Errors(QStringList results) {
    static const QRegularExpression counts(
        QStringLiteral("^(.*OK, \\d+ errors?), \\d+ warnings?$"));
    for (QString& text : results) {
        const QRegularExpressionMatch m = counts.match(text);
        if (m.hasMatch())
            text = m.captured(1);
    }
    return results;
}

const QStringList kStoppedAfterThree = {
    "OK, 0 errors", "OK, 0 errors", "OK, 0 errors", "-", "-", "-", "-", "-", "-", "-"};

} // namespace

class TestDlgBatch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(root_.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root_.filePath("config"));
        const QDir songs(QStringLiteral(QUELLOR_SONGS_DIR));
        for (const QString& name : songs.entryList({"*.mid"}, QDir::Files, QDir::Name))
            songs_ << songs.filePath(name);
        if (songs_.size() < 10)
            QSKIP("the openmsx songs are not installed");
    }

    void init() { Store().clear(); }
    void cleanup() { UserPrompt::SetHandler({}); }

    void controlStates_data() {
        QTest::addColumn<bool>("source");
        QTest::addColumn<bool>("destination");
        QTest::newRow("no paths") << false << false;
        QTest::newRow("source only") << true << false;
        QTest::newRow("destination only") << false << true;
        QTest::newRow("both paths") << true << true;
    }

    void controlStates() {
        QFETCH(bool, source);
        QFETCH(bool, destination);
        CDlgBatch dialog;
        TypePaths(dialog, source ? "/in" : "", destination ? "/out" : "");
        QCOMPARE(Control<QPushButton>(dialog, "runButton")->isEnabled(), source && destination);
        QCOMPARE(Control<QTreeWidget>(dialog, "fileList")->isEnabled(), source && destination);
        QVERIFY(!Control<QPushButton>(dialog, "stopButton")->isEnabled());
        // Emptying a path takes "Run!" away again.
        Control<QComboBox>(dialog, "destinationCombo")->clearEditText();
        QVERIFY(!Control<QPushButton>(dialog, "runButton")->isEnabled());
    }

    void midiActionsGovernTheVibraBox() {
        CDlgBatch dialog;
        dialog.show();
        auto* vibra = Control<QCheckBox>(dialog, "addVibraCheck");
        auto* update = Control<QRadioButton>(dialog, "updateSpMidiRadio");
        QVERIFY(update->isChecked());
        QVERIFY(vibra->isChecked() && vibra->isEnabled());
        // Removing or leaving the MIP message clears and disables the box; it stays cleared.
        for (const char* other : {"removeSpMidiRadio", "leaveSpMidiRadio"}) {
            ClickBox(Control<QRadioButton>(dialog, other));
            QVERIFY(!vibra->isChecked() && !vibra->isEnabled());
            ClickBox(update);
            QVERIFY(vibra->isEnabled() && !vibra->isChecked());
            ClickBox(vibra);
            QVERIFY(vibra->isChecked());
        }
        // The SMAF controls never show.
        QVERIFY(!Control<QWidget>(dialog, "smafActionGroup")->isVisible());
    }

    void combosOfferTheHistoriesAndThePickedFolders() {
        Store().setValue("SourcePathHistory/1", "/src/new");
        Store().setValue("SourcePathHistory/2", "/src/old");
        CDlgBatch dialog;
        QString answer;
        dialog.SetFolderPicker(
            [&answer](QWidget*, const QString&, const QString&) { return answer; });
        auto* source = Control<QComboBox>(dialog, "sourceCombo");
        auto* destination = Control<QComboBox>(dialog, "destinationCombo");
        // The paths start empty, the histories in the lists.
        QCOMPARE(source->count(), 2);
        QCOMPARE(source->itemText(1), QString("/src/old"));
        QVERIFY(source->currentText().isEmpty());
        source->setCurrentIndex(1);
        // A cancelled pick changes nothing; a picked folder goes first and is chosen.
        Click(dialog, "destinationBrowseButton");
        QCOMPARE(destination->count(), 0);
        QVERIFY(!Control<QPushButton>(dialog, "runButton")->isEnabled());
        answer = "/picked/out";
        Click(dialog, "destinationBrowseButton");
        QCOMPARE(destination->itemText(0), answer);
        QCOMPARE(destination->currentText(), answer);
        QVERIFY(Control<QPushButton>(dialog, "runButton")->isEnabled());
    }

    void runListsEveryFileWithItsResult() {
        const QString source = songFolder("run-in", 4);
        const QString destination = songFolder("run-out", 0);
        QFile broken(source + "/Broken.MID");
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("no MIDI file") > 0);
        broken.close();
        QVERIFY(QDir().mkpath(source + "/folder.mid"));
        QFile::copy(songs_[0], source + "/notes.txt");
        // Both want the output dup.mid: the first (by exact name "dup.MID") is written, the
        // other one left alone.
        QFile::copy(songs_[0], source + "/dup.MID");
        QFile::copy(songs_[1], source + "/dup.mid");

        auto dialog = std::make_unique<CDlgBatch>();
        dialog->show();
        TypePaths(*dialog, source, destination);
        // Each row shows its result, and "Processed:" counts, as its file finishes.
        QStringList seen;
        connect(dialog.get(), &CDlgBatch::fileProcessed, this, [&](int index) {
            seen << Processed(*dialog) + " " + Column(*dialog, 1).at(index);
        });
        QSignalSpy finished(dialog.get(), &CDlgBatch::runFinished);
        Click(*dialog, "runButton");
        QVERIFY(dialog->IsRunning());
        QVERIFY(!Control<QPushButton>(*dialog, "runButton")->isEnabled());
        QVERIFY(Control<QPushButton>(*dialog, "stopButton")->isEnabled());
        // Sorted ignoring case; "notes.txt" is no song, the folder "folder.mid" no file.
        QCOMPARE(Column(*dialog, 0), QStringList({"01", "02", "03", "04", "Broken", "dup", "dup"}));

        QVERIFY(finished.wait(60000));
        // The rows fill in list order. A written file's row says what the SP-MIDI checker
        // found in it, a failed one why.
        QCOMPARE(Errors(seen),
                 QStringList({"1/7 OK, 0 errors", "2/7 OK, 0 errors", "3/7 OK, 0 errors",
                              "4/7 OK, 0 errors", "5/7 Failed: not a Standard MIDI File",
                              "6/7 OK, 0 errors",
                              "7/7 Skipped: another file of this run was already written to "
                              "dup.mid"}));
        QCOMPARE(Summary(*dialog), QString("5 processed, 1 failed, 1 skipped"));
        // The counts are the written file's, as the batch command prints them.
        const BatchProcessor::FileOutcome first = BatchProcessor::ProcessBatchFile(
            root_.filePath("first.mid").toStdString(), (source + "/01.mid").toStdString(), {});
        QVERIFY(first.ok);
        QCOMPARE(Column(*dialog, 1).at(0), "OK, " + TallyText(first.findings));
        // The whole message when the pointer rests on the status.
        const QStringList why = Column(*dialog, 1, true);
        QCOMPARE(why.mid(0, 4), QStringList(4));
        QVERIFY2(why[4].contains("Broken.MID\nis not a Standard MIDI File"), qPrintable(why[4]));
        QVERIFY2(
            why[6].startsWith("Another file of this run was already written to\n" + destination),
            qPrintable(why[6]));
        QVERIFY(!dialog->IsRunning());
        QVERIFY(Control<QPushButton>(*dialog, "runButton")->isEnabled());
        QVERIFY(!Control<QPushButton>(*dialog, "stopButton")->isEnabled());
        QCOMPARE(QDir(destination).entryList({"*.mid"}, QDir::Files, QDir::Name),
                 QStringList({"01.mid", "02.mid", "03.mid", "04.mid", "dup.mid"}));
        QCOMPARE(QFileInfo(destination + "/dup.mid").size(),
                 QFileInfo(destination + "/01.mid").size());

        dialog.reset();
        QCOMPARE(Store().value("SourcePathHistory/1").toString(), source);

        // The next time, the path fields start at the paths of this run.
        CDlgBatch again;
        QCOMPARE(Control<QComboBox>(again, "sourceCombo")->currentText(), source);
        QCOMPARE(Control<QComboBox>(again, "destinationCombo")->currentText(), destination);
        QVERIFY(Control<QPushButton>(again, "runButton")->isEnabled());
    }

    void aMissingDestinationIsMadeOnlyWhenTheUserSaysSo() {
        const QString source = songFolder("ask-in", 2);
        const QString destination = root_.filePath("ask-out/new");
        {
            // No: nothing runs, nothing is made or remembered.
            Prompts prompts(QMessageBox::No);
            CDlgBatch dialog;
            QSignalSpy processed(&dialog, &CDlgBatch::fileProcessed);
            TypePaths(dialog, source, destination);
            Click(dialog, "runButton");
            QCOMPARE(prompts.texts.size(), 1);
            QCOMPARE(prompts.icons.at(0), UserPrompt::Icon::Question);
            QVERIFY2(prompts.texts[0].contains(destination), qPrintable(prompts.texts[0]));
            QVERIFY(!dialog.IsRunning());
            QCOMPARE(Column(dialog, 0), QStringList());
            QVERIFY(!QFileInfo::exists(destination));
        }
        QVERIFY(!Store().contains("DestinationPathHistory/1"));
        QVERIFY(!Store().contains("SourcePathHistory/1"));
        {
            // Yes: the folder is made, with its missing parent, and the run goes into it.
            Prompts prompts(QMessageBox::Yes);
            CDlgBatch dialog;
            QSignalSpy finished(&dialog, &CDlgBatch::runFinished);
            TypePaths(dialog, source, destination);
            Click(dialog, "runButton");
            QCOMPARE(prompts.texts.size(), 1);
            QVERIFY(finished.wait(60000));
            QCOMPARE(Summary(dialog), QString("2 processed, 0 failed, 0 skipped"));
            QCOMPARE(QDir(destination).entryList({"*.mid"}, QDir::Files).size(), 2);
        }
        QCOMPARE(Store().value("DestinationPathHistory/1").toString(), destination);
        {
            // A destination that is a file is refused, and a missing source is not remembered.
            Prompts prompts(QMessageBox::Yes);
            QFile file(root_.filePath("ask-file"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            CDlgBatch dialog;
            Control<QComboBox>(dialog, "sourceCombo")->setEditText(root_.filePath("no-such"));
            Control<QComboBox>(dialog, "destinationCombo")->setEditText(file.fileName());
            Click(dialog, "runButton");
            QCOMPARE(prompts.icons, QList<UserPrompt::Icon>{UserPrompt::Icon::Critical});
            QVERIFY(!dialog.IsRunning());
            QSignalSpy finished(&dialog, &CDlgBatch::runFinished);
            Control<QComboBox>(dialog, "destinationCombo")->setEditText(destination);
            Click(dialog, "runButton");
            QVERIFY(finished.wait(60000));
            QCOMPARE(Summary(dialog), QString("0 processed, 0 failed, 0 skipped"));
        }
        QCOMPARE(Store().value("SourcePathHistory/1").toString(), source);
        QVERIFY(!Store().contains("SourcePathHistory/2"));
    }

    void aParallelRunFillsItsRowsInOrderAndStopsCleanly() {
        const QString source = songFolder("parallel-in", 10);
        for (int copy = 0; copy < 4; ++copy)
            for (int i = 0; i < 10; ++i)
                QFile::copy(songs_[i], QStringLiteral("%1/%2-%3.mid").arg(source).arg(i).arg(copy));
        const QString destination = songFolder("parallel-out", 0);
        CDlgBatch dialog;
        dialog.SetJobs(3);
        TypePaths(dialog, source, destination);
        // Each report finds every row before its own filled in already.
        int next = 0;
        bool ordered = true;
        connect(&dialog, &CDlgBatch::fileProcessed, this, [&](int index) {
            ordered = ordered && index == next++;
            const QStringList results = Column(dialog, 1);
            ordered = ordered && !results.mid(0, index + 1).contains("-");
            if (index == 2)
                Click(dialog, "stopButton");
        });
        QSignalSpy finished(&dialog, &CDlgBatch::runFinished);
        Click(dialog, "runButton");
        QVERIFY(finished.wait(60000));
        QVERIFY(ordered);
        // What was started was finished: the rows up to there are done, the rest untouched.
        const int done = next;
        QVERIFY(done >= 3);
        const QStringList results = Column(dialog, 1);
        QCOMPARE(results.count("-"), 50 - done);
        QVERIFY(!results.mid(0, done).contains("-"));
        QCOMPARE(Summary(dialog), done < 50 ? QStringLiteral("Stopped after %1 of 50").arg(done)
                                            : QString("50 processed, 0 failed, 0 skipped"));
        QCOMPARE(QDir(destination).entryList(QDir::Files | QDir::Hidden).size(), done);
    }

    void stopFinishesTheCurrentFileOnly() {
        PacedBatch dialog;
        QSignalSpy finished(&dialog, &CDlgBatch::runFinished);
        startHeldRun(dialog, "stop");
        Click(dialog, "stopButton");
        QVERIFY(dialog.IsRunning());
        dialog.release.release();
        QVERIFY(finished.wait(30000));
        QCOMPARE(Processed(dialog), QString("3/10"));
        QCOMPARE(Errors(Column(dialog, 1)), kStoppedAfterThree);
        QCOMPARE(Summary(dialog), QString("Stopped after 3 of 10"));
        QCOMPARE(QDir(destination_).entryList({"*.mid"}, QDir::Files).size(), 3);
        QVERIFY(!Control<QPushButton>(dialog, "stopButton")->isEnabled());

        // The stop request does not carry over into the next run.
        dialog.release.release();
        Click(dialog, "runButton");
        QVERIFY(finished.wait(60000));
        QCOMPARE(Processed(dialog), QString("10/10"));
        QCOMPARE(Summary(dialog), QString("10 processed, 0 failed, 0 skipped"));
    }

    void closeDuringRunWaitsForTheCurrentFileThenSavesHistories() {
        auto dialog = std::make_unique<PacedBatch>();
        dialog->show();
        startHeldRun(*dialog, "close");
        // The worker goes on only after the close began; closing must wait for it, so when
        // the close returns the worker has been let go.
        std::atomic<bool> released{false};
        std::thread releaser([&dialog, &released] {
            while (!dialog->closing)
                std::this_thread::yield();
            released = true;
            dialog->release.release();
        });
        dialog->close();
        const bool waited = released;
        releaser.join();

        QVERIFY(waited);
        QVERIFY(!dialog->isVisible());
        QVERIFY(!dialog->IsRunning());
        QCOMPARE(Errors(Column(*dialog, 1)), kStoppedAfterThree);
        QCOMPARE(QDir(destination_).entryList({"*.mid"}, QDir::Files).size(), 3);
        QCOMPARE(Store().value("DestinationPathHistory/1").toString(), destination_);
        // Reports still queued from the stopped run change nothing: a marker posted now is
        // handled after all of them.
        bool drained = false;
        QMetaObject::invokeMethod(
            dialog.get(), [&drained] { drained = true; }, Qt::QueuedConnection);
        QTRY_VERIFY(drained);
        QCOMPARE(Processed(*dialog), QString("3/10"));
    }

private:
    // A new folder holding the first `count` real songs as "01.mid", "02.mid", ...
    QString songFolder(const QString& name, int count) {
        const QString path = root_.filePath(name);
        if (!QDir().mkpath(path))
            qFatal("cannot create %s", qPrintable(path));
        for (int i = 0; i < count; ++i)
            QFile::copy(songs_[i],
                        QStringLiteral("%1/%2.mid").arg(path).arg(i + 1, 2, 10, QChar('0')));
        return path;
    }

    // Runs over ten songs into `destination_` and returns once the worker holds at the third.
    void startHeldRun(PacedBatch& dialog, const QString& name) {
        destination_ = songFolder(name + "-out", 0);
        TypePaths(dialog, songFolder(name + "-in", 10), destination_);
        Click(dialog, "runButton");
        QTRY_VERIFY_WITH_TIMEOUT(dialog.reached.load(), 30000);
    }

    QTemporaryDir root_;
    QStringList songs_;
    QString destination_;
};

QTEST_MAIN(TestDlgBatch)
#include "TestDlgBatch.moc"
