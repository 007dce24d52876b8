// The Batch Processor dialog: its control rules, its folder histories and runs over folders of
// real songs, including stopping and closing while the worker is busy.
#include "CDlgBatch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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

// Holds the worker after it finished file `holdAt` until the test lets it go, so that a stop
// or a close lands while a file is being processed.
class PacedBatch : public CDlgBatch {
public:
    explicit PacedBatch(std::size_t holdAt) : holdAt_(holdAt) {}

    std::atomic<bool> reached{false};
    QSemaphore release;

protected:
    void workerFileDone(std::size_t index, std::size_t) override {
        if (index != holdAt_)
            return;
        reached = true;
        release.tryAcquire(1, 20000);
    }

private:
    std::size_t holdAt_;
};

QStringList Statuses(const CDlgBatch& dialog) {
    const auto* list = dialog.findChild<QTreeWidget*>("fileList");
    QStringList statuses;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        statuses << list->topLevelItem(i)->text(1);
    return statuses;
}

QStringList Titles(const CDlgBatch& dialog) {
    const auto* list = dialog.findChild<QTreeWidget*>("fileList");
    QStringList titles;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        titles << list->topLevelItem(i)->text(0);
    return titles;
}

QString Processed(const CDlgBatch& dialog) {
    return dialog.findChild<QLineEdit*>("processedEdit")->text();
}

template <class T> T* Control(const CDlgBatch& dialog, const char* name) {
    T* control = dialog.findChild<T*>(name);
    Q_ASSERT(control);
    return control;
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

} // namespace

class TestDlgBatch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void controlStates_data();
    void controlStates();
    void midiActionsGovernTheVibraBox();
    void historiesFillTheCombos();
    void browseInsertsTheChosenFolder();
    void runListsEveryFileWithItsResult();
    void stopFinishesTheCurrentFileOnly();
    void closeDuringRunWaitsForTheCurrentFileThenSavesHistories();

private:
    // A new folder holding the first `count` real songs as "01.mid", "02.mid", ...
    QString songFolder(const QString& name, int count);
    QString emptyFolder(const QString& name);

    QTemporaryDir root_;
    QStringList songs_;
};

void TestDlgBatch::initTestCase() {
    QVERIFY(root_.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root_.filePath("config"));
    const QDir songs(QStringLiteral(QUELLOR_SONGS_DIR));
    for (const QString& name : songs.entryList({"*.mid"}, QDir::Files, QDir::Name))
        songs_ << songs.filePath(name);
    if (songs_.size() < 10)
        QSKIP("the openmsx songs are not installed");
}

void TestDlgBatch::init() {
    QSettings store = Store();
    store.clear();
}

QString TestDlgBatch::emptyFolder(const QString& name) {
    const QString path = root_.filePath(name);
    QDir(path).removeRecursively();
    if (!QDir().mkpath(path))
        qFatal("cannot create %s", qPrintable(path));
    return path;
}

QString TestDlgBatch::songFolder(const QString& name, int count) {
    const QString path = emptyFolder(name);
    for (int i = 0; i < count; ++i)
        QFile::copy(songs_[i], QStringLiteral("%1/%2.mid").arg(path).arg(i + 1, 2, 10, QChar('0')));
    return path;
}

void TestDlgBatch::controlStates_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("runnable");

    QTest::newRow("no paths") << ""
                              << "" << false;
    QTest::newRow("source only") << "/in"
                                 << "" << false;
    QTest::newRow("destination only") << ""
                                      << "/out" << false;
    QTest::newRow("both paths") << "/in"
                                << "/out" << true;
}

void TestDlgBatch::controlStates() {
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(bool, runnable);

    CDlgBatch dialog;
    TypePaths(dialog, source, destination);
    QCOMPARE(Control<QPushButton>(dialog, "runButton")->isEnabled(), runnable);
    QCOMPARE(Control<QTreeWidget>(dialog, "fileList")->isEnabled(), runnable);
    QVERIFY(!Control<QPushButton>(dialog, "stopButton")->isEnabled());

    // Emptying a path takes "Run!" away again.
    if (runnable) {
        Control<QComboBox>(dialog, "destinationCombo")->clearEditText();
        QVERIFY(!Control<QPushButton>(dialog, "runButton")->isEnabled());
    }
}

void TestDlgBatch::midiActionsGovernTheVibraBox() {
    CDlgBatch dialog;
    dialog.show();
    auto* vibra = Control<QCheckBox>(dialog, "addVibraCheck");
    auto* remove = Control<QRadioButton>(dialog, "removeSpMidiRadio");
    auto* leave = Control<QRadioButton>(dialog, "leaveSpMidiRadio");
    auto* update = Control<QRadioButton>(dialog, "updateSpMidiRadio");
    QVERIFY(update->isChecked());
    QVERIFY(vibra->isChecked() && vibra->isEnabled());

    ClickBox(remove);
    QVERIFY(!vibra->isChecked());
    QVERIFY(!vibra->isEnabled());

    ClickBox(update);
    QVERIFY(vibra->isEnabled());
    QVERIFY(!vibra->isChecked()); // cleared, not restored

    ClickBox(vibra);
    QVERIFY(vibra->isChecked());
    ClickBox(leave);
    QVERIFY(!vibra->isChecked());
    QVERIFY(!vibra->isEnabled());

    // The SMAF controls never show.
    QVERIFY(!dialog.findChild<QWidget*>("smafActionGroup")->isVisible());
}

void TestDlgBatch::historiesFillTheCombos() {
    {
        QSettings store = Store();
        store.setValue("SourcePathHistory/1", "/src/new");
        store.setValue("SourcePathHistory/2", "/src/old");
        store.setValue("DestinationPathHistory/1", "/dst");
    }
    CDlgBatch dialog;
    auto* source = Control<QComboBox>(dialog, "sourceCombo");
    auto* destination = Control<QComboBox>(dialog, "destinationCombo");
    QCOMPARE(source->count(), 2);
    QCOMPARE(source->itemText(0), QString("/src/new"));
    QCOMPARE(source->itemText(1), QString("/src/old"));
    QCOMPARE(destination->count(), 1);
    // The paths start empty; choosing history items makes the dialog runnable.
    QVERIFY(source->currentText().isEmpty());
    QVERIFY(destination->currentText().isEmpty());
    QVERIFY(!Control<QPushButton>(dialog, "runButton")->isEnabled());
    source->setCurrentIndex(1);
    destination->setCurrentIndex(0);
    QVERIFY(Control<QPushButton>(dialog, "runButton")->isEnabled());
}

void TestDlgBatch::browseInsertsTheChosenFolder() {
    CDlgBatch dialog;
    QStringList titles;
    QString answer;
    dialog.SetFolderPicker([&](QWidget*, const QString& title, const QString&) {
        titles << title;
        return answer;
    });
    auto* source = Control<QComboBox>(dialog, "sourceCombo");
    auto* destination = Control<QComboBox>(dialog, "destinationCombo");
    source->addItem("/older");

    answer = "/picked/in";
    QTest::mouseClick(Control<QPushButton>(dialog, "sourceBrowseButton"), Qt::LeftButton);
    answer = "";
    QTest::mouseClick(Control<QPushButton>(dialog, "destinationBrowseButton"), Qt::LeftButton);
    QCOMPARE(titles, QStringList({"Select the Source Folder", "Select the Destination Folder"}));
    QCOMPARE(source->itemText(0), QString("/picked/in"));
    QCOMPARE(source->currentText(), QString("/picked/in"));
    QCOMPARE(destination->count(), 0); // cancelled: nothing changes
    QVERIFY(!Control<QPushButton>(dialog, "runButton")->isEnabled());

    answer = "/picked/out";
    QTest::mouseClick(Control<QPushButton>(dialog, "destinationBrowseButton"), Qt::LeftButton);
    QCOMPARE(destination->currentText(), QString("/picked/out"));
    QVERIFY(Control<QPushButton>(dialog, "runButton")->isEnabled());
}

void TestDlgBatch::runListsEveryFileWithItsResult() {
    const QString source = songFolder("run-in", 4);
    const QString destination = emptyFolder("run-out");
    {
        QFile broken(source + "/Broken.MID");
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("this is no MIDI file");
    }
    QVERIFY(QDir().mkpath(source + "/folder.mid"));
    QFile::copy(songs_[0], source + "/notes.txt");

    auto dialog = std::make_unique<CDlgBatch>();
    dialog->show();
    TypePaths(*dialog, source, destination);

    // Each row shows its result, and "Processed:" counts, as its file finishes.
    QStringList seen;
    connect(dialog.get(), &CDlgBatch::fileProcessed, this, [&](int index, int count, int result) {
        const QString status = Statuses(*dialog).at(index);
        seen << QStringLiteral("%1 %2 %3").arg(Processed(*dialog)).arg(result).arg(status);
        QCOMPARE(count, 6);
    });
    QSignalSpy finished(dialog.get(), &CDlgBatch::runFinished);
    QTest::mouseClick(Control<QPushButton>(*dialog, "runButton"), Qt::LeftButton);
    QVERIFY(dialog->IsRunning());
    QVERIFY(!Control<QPushButton>(*dialog, "runButton")->isEnabled());
    QVERIFY(Control<QPushButton>(*dialog, "stopButton")->isEnabled());
    // Sorted ignoring case; "notes.txt" is no song.
    QCOMPARE(Titles(*dialog), QStringList({"01", "02", "03", "04", "Broken", "folder"}));

    QVERIFY(finished.wait(60000));
    QCOMPARE(seen, QStringList({"1/6 1 OK", "2/6 1 OK", "3/6 1 OK", "4/6 1 OK", "5/6 2 Failed",
                                "6/6 2 Failed"}));
    QCOMPARE(Statuses(*dialog), QStringList({"OK", "OK", "OK", "OK", "Failed", "Failed"}));
    QCOMPARE(Processed(*dialog), QString("6/6"));
    QVERIFY(!dialog->IsRunning());
    QVERIFY(Control<QPushButton>(*dialog, "runButton")->isEnabled());
    QVERIFY(!Control<QPushButton>(*dialog, "stopButton")->isEnabled());
    QCOMPARE(QDir(destination).entryList({"*.mid"}, QDir::Files, QDir::Name),
             QStringList({"01.mid", "02.mid", "03.mid", "04.mid"}));

    // A second run with the same folders adds nothing to the histories.
    QTest::mouseClick(Control<QPushButton>(*dialog, "runButton"), Qt::LeftButton);
    QVERIFY(finished.wait(60000));
    dialog.reset();
    QSettings store = Store();
    QCOMPARE(store.value("SourcePathHistory/1").toString(), source);
    QCOMPARE(store.value("DestinationPathHistory/1").toString(), destination);
    QVERIFY(!store.contains("SourcePathHistory/2"));
}

void TestDlgBatch::stopFinishesTheCurrentFileOnly() {
    const QString source = songFolder("stop-in", 10);
    const QString destination = emptyFolder("stop-out");
    PacedBatch dialog(2);
    TypePaths(dialog, source, destination);
    QSignalSpy finished(&dialog, &CDlgBatch::runFinished);
    QTest::mouseClick(Control<QPushButton>(dialog, "runButton"), Qt::LeftButton);
    // The worker is busy with the third file.
    QTRY_VERIFY_WITH_TIMEOUT(dialog.reached.load(), 30000);
    QTest::mouseClick(Control<QPushButton>(dialog, "stopButton"), Qt::LeftButton);
    QVERIFY(dialog.IsRunning());
    dialog.release.release();

    QVERIFY(finished.wait(30000));
    QCOMPARE(Processed(dialog), QString("3/10"));
    QCOMPARE(Statuses(dialog), QStringList({"OK", "OK", "OK", "-", "-", "-", "-", "-", "-", "-"}));
    QCOMPARE(QDir(destination).entryList({"*.mid"}, QDir::Files).size(), 3);
    QVERIFY(!Control<QPushButton>(dialog, "stopButton")->isEnabled());

    // The stop request does not carry over into the next run.
    dialog.release.release();
    QTest::mouseClick(Control<QPushButton>(dialog, "runButton"), Qt::LeftButton);
    QVERIFY(finished.wait(60000));
    QCOMPARE(Processed(dialog), QString("10/10"));
}

void TestDlgBatch::closeDuringRunWaitsForTheCurrentFileThenSavesHistories() {
    const QString source = songFolder("close-in", 10);
    const QString destination = emptyFolder("close-out");
    auto dialog = std::make_unique<PacedBatch>(2);
    dialog->show();
    TypePaths(*dialog, source, destination);
    QTest::mouseClick(Control<QPushButton>(*dialog, "runButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->reached.load(), 30000);

    // The worker goes on only after the close began; closing must wait for it.
    std::thread releaser([&dialog] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        dialog->release.release();
    });
    QElapsedTimer clock;
    clock.start();
    dialog->close();
    const qint64 waited = clock.elapsed();
    releaser.join();

    QVERIFY(waited >= 250);
    QVERIFY(!dialog->isVisible());
    QVERIFY(!dialog->IsRunning());
    QCOMPARE(Statuses(*dialog), QStringList({"OK", "OK", "OK", "-", "-", "-", "-", "-", "-", "-"}));
    QCOMPARE(Processed(*dialog), QString("3/10"));
    QCOMPARE(QDir(destination).entryList({"*.mid"}, QDir::Files).size(), 3);
    {
        QSettings store = Store();
        QCOMPARE(store.value("SourcePathHistory/1").toString(), source);
        QCOMPARE(store.value("DestinationPathHistory/1").toString(), destination);
    }
    // Reports still queued from the stopped run change nothing.
    QTest::qWait(50);
    QCOMPARE(Processed(*dialog), QString("3/10"));
    dialog.reset();
}

QTEST_MAIN(TestDlgBatch)
#include "TestDlgBatch.moc"
