// The Batch Processor dialog: its control rules, its folder histories and runs over folders of
// real songs, including stopping and closing while the worker is busy.
#include "app/CDlgBatch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
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
// stop or a close lands while a file is being processed.
class PacedBatch : public CDlgBatch {
public:
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
        // Sorted ignoring case; "notes.txt" is no song.
        QCOMPARE(Column(*dialog, 0), QStringList({"01", "02", "03", "04", "Broken", "folder"}));

        QVERIFY(finished.wait(60000));
        // A written file's row says what the SP-MIDI checker found in it.
        QCOMPARE(Errors(seen),
                 QStringList({"1/6 OK, 0 errors", "2/6 OK, 0 errors", "3/6 OK, 0 errors",
                              "4/6 OK, 0 errors", "5/6 Failed", "6/6 Failed"}));
        // A failed file says why when the pointer rests on its status.
        const QStringList why = Column(*dialog, 1, true);
        QCOMPARE(why.mid(0, 4), QStringList(4));
        QVERIFY2(why[4].contains("Broken.MID\nis not a Standard MIDI File"), qPrintable(why[4]));
        QVERIFY2(why[5].startsWith("Cannot open the file\n" + source), qPrintable(why[5]));
        QVERIFY(!dialog->IsRunning());
        QVERIFY(Control<QPushButton>(*dialog, "runButton")->isEnabled());
        QVERIFY(!Control<QPushButton>(*dialog, "stopButton")->isEnabled());
        QCOMPARE(QDir(destination).entryList({"*.mid"}, QDir::Files, QDir::Name),
                 QStringList({"01.mid", "02.mid", "03.mid", "04.mid"}));

        dialog.reset();
        QCOMPARE(Store().value("SourcePathHistory/1").toString(), source);
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
        QCOMPARE(QDir(destination_).entryList({"*.mid"}, QDir::Files).size(), 3);
        QVERIFY(!Control<QPushButton>(dialog, "stopButton")->isEnabled());

        // The stop request does not carry over into the next run.
        dialog.release.release();
        Click(dialog, "runButton");
        QVERIFY(finished.wait(60000));
        QCOMPARE(Processed(dialog), QString("10/10"));
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
