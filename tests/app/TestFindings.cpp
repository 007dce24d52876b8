// The SP-MIDI check in the program: the count beside the map pane, the panel of findings
// that selects a finding's channel, and the question before saving a song with errors.
#include "tests/app/AppTestSupport.h"

#include "app/CFindingsPanel.h"
#include "resources/resource.h"

#include <QListWidget>
#include <QToolButton>

using namespace apptest;
using testfiles::Bytes;

namespace {

// A chord of three on channel 1 and one note on channel 2, 500 ms at 480 ticks a quarter.
Bytes ChordAndNote() {
    const Bytes events = testfiles::Hex("00 90 3C 64 00 90 40 64 00 90 43 64 00 91 30 64 "
                                        "83 60 80 3C 00 00 80 40 00 00 80 43 00 00 81 30 00");
    return testfiles::Cat({testfiles::Header(0, 1, 480), testfiles::TrackChunk(events)});
}

QString PaneText(CMainFrame& f) {
    return f.FindingsPane()->text();
}

} // namespace

class TestFindings : public AppTest {
    Q_OBJECT

private slots:
    void countFollowsEveryEditAndSelectsTheChannel() {
        const QString path = WriteBytes(FilePath("chord.mid"), ChordAndNote());
        CMainFrame& f = Start({path}).Frame();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(f.FindingsPane()->isVisible());
        QCOMPARE(PaneText(f), QString("Check: 0 errors, 0 warnings"));

        // Channel 1 down to one voice: its chord no longer fits its share.
        ClickRow(f, "1");
        Choose(MipCombo(f), 1);
        QCOMPARE(PaneText(f), QString("Check: 1 error, 0 warnings"));

        // The panel opens from the pane; a finding selects its channel's row.
        CFindingsPanel* panel = f.FindingsPanel();
        QVERIFY(!panel->isVisible());
        QTest::mouseClick(f.FindingsPane(), Qt::LeftButton);
        QTRY_VERIFY(panel->isVisible());
        QListWidget* list = panel->List();
        QCOMPARE(list->count(), 1);
        QVERIFY2(list->item(0)->text().startsWith("Error: Channel 1 sounds up to 3 notes"),
                 qPrintable(list->item(0)->text()));
        QVERIFY(list->item(0)->toolTip().contains("polyphony to 3"));
        ClickRow(f, "2");
        QCOMPARE(List(f)->currentItem()->text(0), QString("2"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        QCOMPARE(List(f)->currentItem()->text(0), QString("1"));
        QCOMPARE(run->Doc().GetCurrentChannel(), 0);

        // Back to three voices: the error goes. A second click hides the panel.
        Choose(MipCombo(f), 3);
        QCOMPARE(PaneText(f), QString("Check: 0 errors, 0 warnings"));
        QCOMPARE(list->count(), 0);
        QTest::mouseClick(f.FindingsPane(), Qt::LeftButton);
        QTRY_VERIFY(!panel->isVisible());
    }

    void savingWithErrorsAsksOncePerDocument() {
        const QString path = WriteBytes(FilePath("chord.mid"), ChordAndNote());
        const QByteArray before = ReadAll(path);
        CMainFrame& f = Start({path}).Frame();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        ClickRow(f, "1");
        Choose(MipCombo(f), 1);

        // Cancel (the default answer): nothing is written.
        QVERIFY(!f.OnFileSave());
        QVERIFY2(OnlyBox(UserPrompt::Icon::Warning)
                     .startsWith("What Save writes has 1 error that phones will misplay:\n\n"
                                 "Channel 1 sounds up to 3 notes"),
                 qPrintable(OnlyBox(UserPrompt::Icon::Warning)));
        QCOMPARE(ReadAll(path), before);
        QVERIFY(run->Doc().IsModified());

        // Save anyway: written, and this document does not ask again.
        boxes.clear();
        answers.push_back(QMessageBox::Save);
        QVERIFY(f.OnFileSave());
        QCOMPARE(boxes.size(), std::size_t(1));
        QVERIFY(ReadAll(path) != before);
        Choose(MipCombo(f), 1);
        QVERIFY(f.OnFileSave());
        QCOMPARE(boxes.size(), std::size_t(1));

        // The next document asks again; a song without errors never asks.
        boxes.clear();
        QVERIFY(f.OpenDocumentFile(path));
        QCOMPARE(PaneText(f), QString("Check: 1 error, 0 warnings"));
        QVERIFY(!f.OnFileSave());
        QCOMPARE(boxes.size(), std::size_t(1));
        boxes.clear();
        const QString clean = WriteBytes(FilePath("clean.mid"), ChordAndNote());
        QVERIFY(f.OpenDocumentFile(clean));
        QVERIFY(f.OnFileSave());
        QVERIFY(boxes.empty());
    }
};

QTEST_MAIN(TestFindings)
#include "TestFindings.moc"
