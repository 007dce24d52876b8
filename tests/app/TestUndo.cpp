// Undo and Redo: every edit of the song is one step that Undo takes back exactly (the
// channel records, the sums and, for remove and duplicate, the events) and Redo makes again;
// the modified mark follows the steps and the state last saved.
#include "resources/resource.h"
#include "tests/app/AppTestSupport.h"

#include "app/CDlgDuplicateChannel.h"
#include "app/CDlgPolyphony.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <QUndoStack>

#include <functional>
#include <vector>

using namespace apptest;

namespace {

// What an edit may change, compared as a whole.
struct SongState {
    std::array<bool, 16> used, enabled;
    std::array<int, 16> priority, polyphony, mip, maxPolyphony, program;
    int vibraChannel, sequencePolyphony;
    std::vector<std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>> tracks;
    bool operator==(const SongState&) const = default;
};

SongState StateOf(const SongData& song) {
    SongState s{
        song.used,         song.enabled, song.priority,     song.polyphony,         song.mip,
        song.maxPolyphony, song.program, song.vibraChannel, song.sequencePolyphony, {}};
    for (const Track& track : song.tracks) {
        auto& events = s.tracks.emplace_back();
        for (const EventRef e : track.events)
            events.emplace_back(
                e.GetTime(), std::vector<std::uint8_t>(e.GetData(), e.GetData() + e.GetLength()));
    }
    return s;
}

int ChannelMessages(const SongData& song, int channel) {
    int count = 0;
    for (const Track& track : song.tracks)
        for (const EventRef e : track.events)
            count += e.IsChannelMessage() && (e.GetCode() & 0x0F) == channel;
    return count;
}

using Edit = std::function<void(CMainFrame&)>;

} // namespace

Q_DECLARE_METATYPE(Edit)

class TestUndo : public AppTest {
    Q_OBJECT

    void AddEdits() {
        QTest::addColumn<Edit>("edit");
        QTest::newRow("priority combo") << Edit([](CMainFrame& f) { MoveToTop(f, "4"); });
        QTest::newRow("polyphony combo") << Edit([](CMainFrame& f) {
            ClickRow(f, "2");
            Choose(MipCombo(f), 0);
        });
        QTest::newRow("mute") << Edit([this](CMainFrame& f) {
            ClickRow(f, "3");
            run->Action(Res::ID_CHANNEL_MUTE)->trigger();
        });
        QTest::newRow("double-click mute") << Edit([](CMainFrame& f) {
            const QPoint at = RowCenter(f, "5");
            QWidget* viewport = List(f)->viewport();
            QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        });
        QTest::newRow("solo") << Edit([this](CMainFrame& f) {
            ClickRow(f, "10");
            run->Action(Res::ID_CHANNEL_SOLO)->trigger();
        });
        QTest::newRow("remove") << Edit([this](CMainFrame& f) {
            answers.push_back(QMessageBox::Yes);
            ClickRow(f, "1");
            run->Action(Res::ID_CHANNEL_REMOVE)->trigger();
        });
        QTest::newRow("duplicate") << Edit([this](CMainFrame& f) {
            ClickRow(f, "3");
            AnswerDuplicateDialog("12");
            run->Action(Res::ID_CHANNEL_DUPLICATE)->trigger();
        });
        QTest::newRow("vibra box") << Edit([this](CMainFrame& f) {
            for (int ch = 0; ch < 16; ++ch)
                if (run->Doc().used[ch] && run->Doc().maxPolyphony[ch] == 1) {
                    ClickRow(f, QString::number(ch + 1));
                    break;
                }
            auto* box = Control<QCheckBox>(f, "vibraCheck_1021");
            QVERIFY(box->isEnabled());
            box->click();
        });
        QTest::newRow("polyphony window box") << Edit([this](CMainFrame& f) {
            run->Action(Res::ID_VIEW_POLYPHONY)->trigger();
            f.View().PolyphonyWindow()->findChild<QCheckBox*>("channelBox2")->click();
        });
        QTest::newRow("polyphony window None") << Edit([this](CMainFrame& f) {
            run->Action(Res::ID_VIEW_POLYPHONY)->trigger();
            f.View().PolyphonyWindow()->findChild<QPushButton*>("noneButton")->click();
        });
        QTest::newRow("drag") << Edit([](CMainFrame& f) {
            QVERIFY(QTest::qWaitForWindowExposed(&f));
            QTreeWidget* list = List(f);
            const QPoint start = RowCenter(f, "4");
            QTest::mousePress(list->viewport(), Qt::LeftButton, {}, start);
            QTest::mouseMove(list->viewport(),
                             start + QPoint(0, QApplication::startDragDistance() + 2));
            // Over two rows on the way to the top: still one step.
            for (int row : {2, 1, 0})
                QTest::mouseMove(
                    &f.View(),
                    list->viewport()->mapTo(
                        &f.View(), list->visualItemRect(list->topLevelItem(row)).center()));
            QTest::mouseRelease(&f.View(), Qt::LeftButton, {},
                                list->viewport()->mapTo(&f.View(), QPoint(5, 5)));
            QVERIFY(!f.View().IsDragging());
        });
    }

private slots:
    void everyEditIsOneStepUndoneExactly_data() { AddEdits(); }
    void everyEditIsOneStepUndoneExactly() {
        QFETCH(Edit, edit);
        CMainFrame& f = OpenDemo();
        QAction* undo = run->Action(Res::ID_EDIT_UNDO);
        QAction* redo = run->Action(Res::ID_EDIT_REDO);
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
        const SongState before = StateOf(run->Doc());
        edit(f);
        if (QTest::currentTestFailed())
            return;
        const SongState after = StateOf(run->Doc());
        QVERIFY(after != before);
        QCOMPARE(run->Doc().UndoStack()->count(), 1);
        QVERIFY(run->Doc().IsModified());
        QVERIFY(f.isWindowModified());
        QVERIFY(undo->isEnabled());

        undo->trigger();
        QVERIFY(StateOf(run->Doc()) == before);
        QVERIFY(!run->Doc().IsModified());
        QVERIFY(!f.isWindowModified());
        QVERIFY(!undo->isEnabled() && redo->isEnabled());
        // The list shows the song as it was.
        for (int ch = 0; ch < 16; ++ch)
            QCOMPARE(f.View().FindRowOfChannel(ch) >= 0, before.used[ch]);

        redo->trigger();
        QVERIFY(StateOf(run->Doc()) == after);
        QVERIFY(run->Doc().IsModified());
        undo->trigger();
        QVERIFY(StateOf(run->Doc()) == before);
    }

    // Remove takes the channel's events with it; Undo brings every one back, Redo takes them
    // again. The keys do what the menu does.
    void undoAfterRemoveBringsTheEventsBack() {
        CMainFrame& f = OpenDemo();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        const int events = ChannelMessages(run->Doc(), 0);
        QVERIFY(events > 0);
        answers.push_back(QMessageBox::Yes);
        ClickRow(f, "1");
        run->Action(Res::ID_CHANNEL_REMOVE)->trigger();
        QCOMPARE(ChannelMessages(run->Doc(), 0), 0);
        QCOMPARE(f.View().FindRowOfChannel(0), -1);
        QTest::keyClick(&f, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(ChannelMessages(run->Doc(), 0), events);
        QVERIFY(f.View().FindRowOfChannel(0) >= 0);
        QTest::keyClick(&f, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(ChannelMessages(run->Doc(), 0), 0);
        QTest::keyClick(&f, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(ChannelMessages(run->Doc(), 0), 0); // nothing left to redo
        QTest::keyClick(&f, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&f, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(ChannelMessages(run->Doc(), 0), 0);
        // The removed channel is not the current one: the panel shows a channel of the song.
        QVERIFY(run->Doc().used[run->Doc().GetCurrentChannel()]);
    }

    // The mark follows the steps: back at the saved state the song is unmodified, a step
    // away from it (either way) modified; a new file starts with no steps.
    void modifiedFollowsTheSavedState() {
        const QString path = CopyOfDemo(*files, "song.mid");
        CMainFrame& f = Start({path}).Frame();
        QUndoStack* stack = run->Doc().UndoStack();
        MoveToTop(f, "4");
        MoveToTop(f, "3");
        QCOMPARE(stack->count(), 2);
        QVERIFY(f.OnFileSave());
        QVERIFY(!run->Doc().IsModified());
        run->Action(Res::ID_EDIT_UNDO)->trigger();
        QVERIFY(run->Doc().IsModified());
        run->Action(Res::ID_EDIT_REDO)->trigger();
        QVERIFY(!run->Doc().IsModified());
        run->Action(Res::ID_EDIT_UNDO)->trigger();
        run->Action(Res::ID_EDIT_UNDO)->trigger();
        QVERIFY(run->Doc().IsModified());
        // Choosing the place a channel already has is no step.
        ClickRow(f, "1");
        Choose(PriorityCombo(f), PriorityCombo(f)->currentIndex());
        QCOMPARE(stack->index(), 0);
        answers.push_back(QMessageBox::No); // the save prompt
        run->Action(Res::ID_FILE_RELOAD)->trigger();
        QCOMPARE(stack->count(), 0);
        QVERIFY(!run->Doc().IsModified());
        QVERIFY(!run->Action(Res::ID_EDIT_UNDO)->isEnabled());
    }
};

QTEST_MAIN(TestUndo)
#include "TestUndo.moc"
