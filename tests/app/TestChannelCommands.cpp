// The channel commands as a user reaches them: their enabling on menus, toolbar, pop-up and
// keys; mute, solo, remove, duplicate; dragging rows to new priorities; the Polyphony
// Sequence window's boxes; Play, Play Solo and Stop with the progress bar.
#include "resources/resource.h"
#include "tests/app/AppTestSupport.h"

#include "app/CDlgDuplicateChannel.h"
#include "app/CDlgPolyphony.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>

#include <set>

using namespace apptest;

namespace {

// Press, release, double-click, release: a user's double-click.
void DoubleClickRow(QWidget& root, const QString& channelNumber) {
    QWidget* viewport = List(root)->viewport();
    const QPoint at = RowCenter(root, channelNumber);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

QString SelectedRow(QWidget& root) {
    const auto selected = List(root)->selectedItems();
    return selected.size() == 1 ? selected.first()->text(0) : QString();
}

// The channels (0-15) that received a sounding note.
std::set<int> NoteOnChannels(const RecordingOutput& output) {
    std::set<int> channels;
    for (const auto& m : output.Messages())
        if (m.bytes.size() == 3 && (m.bytes[0] & 0xF0) == 0x90 && m.bytes[2] > 0)
            channels.insert(m.bytes[0] & 0x0F);
    return channels;
}

} // namespace

class TestChannelCommands : public AppTest {
    Q_OBJECT

private slots:
    void enablingRules_data() {
        QTest::addColumn<int>("channels");
        QTest::newRow("no song") << 0;
        QTest::newRow("one used channel") << 1;
        QTest::newRow("six used channels") << 6;
    }
    // With the real handlers in place only the rules keep a command from running.
    void enablingRules() {
        QFETCH(int, channels);
        CMainFrame& f = Start(channels == 0   ? QStringList()
                              : channels == 1 ? QStringList{WriteSong(*files, {3})}
                                              : QStringList{DemoSong()})
                            .Frame();
        const bool loaded = channels > 0;
        const bool several = channels > 1;
        for (int id : {Res::ID_CHANNEL_REMOVE, Res::ID_CHANNEL_SOLO, Res::ID_CHANNEL_MUTE})
            QCOMPARE(run->Action(id)->isEnabled(), several);
        for (int id : {Res::ID_CHANNEL_DUPLICATE, Res::ID_VIEW_POLYPHONY, Res::ID_FILE_RELOAD,
                       Res::ID_PLAY, Res::ID_PLAY_SOLO})
            QCOMPARE(run->Action(id)->isEnabled(), loaded);
        auto* toolBar = f.findChild<QToolBar*>("toolBar_128");
        QCOMPARE(toolBar->widgetForAction(run->Action(Res::ID_PLAY))->isEnabled(), loaded);

        // The pop-up shows only over a selected row, with the same commands in its order.
        QTreeWidget* list = List(f);
        if (loaded)
            ClickRow(f, list->topLevelItem(0)->text(0));
        emit list->customContextMenuRequested(QPoint(5, 5));
        QMenu* popup = f.ChannelPopup();
        QCOMPARE(popup->isVisible(), loaded);
        QList<QAction*> commands = popup->actions();
        commands.removeIf([](QAction* action) { return action->isSeparator(); });
        popup->close();
        QCOMPARE(commands, (QList<QAction*>{run->Action(Res::ID_CHANNEL_MUTE),
                                            run->Action(Res::ID_CHANNEL_SOLO),
                                            run->Action(Res::ID_CHANNEL_DUPLICATE),
                                            run->Action(Res::ID_CHANNEL_REMOVE)}));

        // Delete asks (answered No) only where Remove is enabled.
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(int(boxes.size()), several ? 1 : 0);
        QCOMPARE(run->Doc().CountUsedChannels(), channels);
        // The double-click is no command: it mutes even the only channel.
        if (channels == 1) {
            DoubleClickRow(f, "4");
            QCOMPARE(f.View().ChannelImageIndex(3), 0);
        }
    }

    // The list's commands and the Polyphony Sequence window's boxes mute the same channels.
    // They change what Save writes (muted channels are left out): the song is modified.
    void muteSoloAndTheWindowsBoxesChangeTheSumsAndMarkTheSong() {
        CMainFrame& f = OpenDemo();
        run->Action(Res::ID_VIEW_POLYPHONY)->trigger();
        CDlgPolyphony* window = f.View().PolyphonyWindow();
        QVERIFY(window && window->isVisible());
        auto* box2 = window->findChild<QCheckBox*>("channelBox2");
        const QStringList allAudible{"1", "3", "4", "5", "8", "10"};
        ClickRow(f, "2");
        run->Action(Res::ID_CHANNEL_MUTE)->trigger();
        // The piano's row reads 0 and the rows after it lose its three voices.
        QCOMPARE(Column(f, 2), (QStringList{"1", "3", "4", "5", "0", "7"}));
        QCOMPARE(f.View().ChannelImageIndex(1), 0);
        QVERIFY(run->Action(Res::ID_CHANNEL_MUTE)->isChecked());
        QVERIFY(!box2->isChecked());
        // The muted row stands out in every column, even while selected; the others do not.
        const auto rowItem = [&f](const QString& number) {
            return List(f)->findItems(number, Qt::MatchExactly, 0).value(0);
        };
        QVERIFY(rowItem("2")->isSelected());
        for (int column = 0; column < 3; ++column) {
            QVERIFY(rowItem("2")->font(column).italic());
            QVERIFY(!rowItem("1")->font(column).italic());
            QVERIFY(rowItem("2")->foreground(column) != rowItem("1")->foreground(column));
        }
        box2->click();
        QCOMPARE(f.View().ChannelImageIndex(1), 1);
        QVERIFY(!rowItem("2")->font(0).italic());
        QCOMPARE(rowItem("2")->foreground(0), rowItem("1")->foreground(0));
        QCOMPARE(Column(f, 2), allAudible);
        box2->click();
        QCOMPARE(f.View().ChannelImageIndex(1), 0);
        DoubleClickRow(f, "2");
        QVERIFY(box2->isChecked());
        QVERIFY(!run->Action(Res::ID_CHANNEL_MUTE)->isChecked());

        run->Action(Res::ID_CHANNEL_SOLO)->trigger();
        QCOMPARE(Column(f, 2), (QStringList{"0", "0", "0", "0", "3", "0"}));
        QVERIFY(run->Action(Res::ID_CHANNEL_SOLO)->isChecked());
        QCOMPARE(Field(f, "sequencePolyphonyText_1007"), "3");
        // Solo on the drums while the piano is soloed: the drums alone; again: all audible.
        ClickRow(f, "10");
        QVERIFY(!run->Action(Res::ID_CHANNEL_SOLO)->isChecked());
        run->Action(Res::ID_CHANNEL_SOLO)->trigger();
        QCOMPARE(Column(f, 2), (QStringList{"0", "2", "0", "0", "0", "0"}));
        run->Action(Res::ID_CHANNEL_SOLO)->trigger();
        QCOMPARE(Column(f, 2), allAudible);
        window->findChild<QPushButton*>("noneButton")->click();
        QCOMPARE(Column(f, 2), (QStringList{"0", "0", "0", "0", "0", "0"}));
        QVERIFY(run->Doc().IsModified());
        // Closing only hides the window; the command shows the same one again.
        window->close();
        run->Action(Res::ID_VIEW_POLYPHONY)->trigger();
        QCOMPARE(f.View().PolyphonyWindow(), window);
        QVERIFY(window->isVisible());
    }

    void removeAsksFirst_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void removeAsksFirst() {
        QFETCH(bool, yes);
        answers.push_back(yes ? QMessageBox::Yes : QMessageBox::No);
        CMainFrame& f = OpenDemo();
        ClickRow(f, "1");
        const auto before = run->Doc().priority;
        run->Action(Res::ID_CHANNEL_REMOVE)->trigger();
        const QString question = OnlyBox(UserPrompt::Icon::Question);
        QVERIFY2(question.contains("#1") && question.contains("Flute"), qPrintable(question));
        QCOMPARE(run->Doc().IsModified(), yes);
        QCOMPARE(RowChannels(f).join(' '), yes ? "5 10 3 2 4" : "5 10 1 3 2 4");
        QCOMPARE(SelectedRow(f), yes ? "5" : "1");
        if (!yes)
            return;
        // The channels after it move up one place; those before it stay.
        for (int ch : {1, 2, 3, 4, 9})
            QCOMPARE(run->Doc().priority[ch], before[ch] - (before[ch] > before[0] ? 1 : 0));
        // The first row is the current channel now: the panel and Play Solo act on it.
        QCOMPARE(run->Doc().GetCurrentChannel(), 4);
        QCOMPARE(Field(f, "instrumentText_1001"), "Vibraphone");
        // The last channel's Priority combo shows its place.
        ClickRow(f, "4");
        QCOMPARE(Control<QComboBox>(f, "priorityCombo_1003")->currentText(), "5");
    }

    void duplicateWithAndWithoutFreeChannels() {
        CMainFrame& f = OpenDemo();
        ClickRow(f, "3");
        AnswerDuplicateDialog("12");
        run->Action(Res::ID_CHANNEL_DUPLICATE)->trigger();
        QVERIFY(run->Doc().used[11]);
        QCOMPARE(Column(f, 1).at(RowChannels(f).indexOf("12")),
                 Column(f, 1).at(RowChannels(f).indexOf("3")));
        QVERIFY(run->Doc().IsModified());
        AnswerDuplicateDialog();
        run->Action(Res::ID_CHANNEL_DUPLICATE)->trigger();
        QCOMPARE(run->Doc().CountUsedChannels(), 7);
        // Without one selected row the command says so.
        List(f)->clearSelection();
        run->Action(Res::ID_CHANNEL_DUPLICATE)->trigger();
        QVERIFY(OnlyBox(UserPrompt::Icon::Information).contains("one channel"));

        // Only channel 10 free: no dialog, a message instead.
        boxes.clear();
        QVERIFY(f.OpenDocumentFile(
            WriteSong(*files, {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15})));
        boxes.clear(); // the save prompt
        ClickRow(f, "1");
        AnswerDuplicateDialog();
        run->Action(Res::ID_CHANNEL_DUPLICATE)->trigger();
        QCOMPARE(OnlyBox(UserPrompt::Icon::Information), "No channel left.");
    }

    void dragSetsThePriority_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("priority"); // while the pointer is over the target
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("finalRow");
        QTest::addColumn<QString>("end");
        QTest::newRow("last row to the top edge") << "4" << 1 << "top" << 0 << "release";
        QTest::newRow("first row below the last") << "5" << 6 << "bottom" << 5 << "release";
        QTest::newRow("out of the list") << "2" << 5 << "outside" << 4 << "release";
        // Qt tells nothing of a lost capture: these end the drag as one would.
        QTest::newRow("another widget grabs the mouse") << "4" << 1 << "top" << 0 << "grab";
        QTest::newRow("the window is deactivated") << "4" << 1 << "top" << 0 << "deactivate";
        QTest::newRow("the file is reloaded (not saved)") << "4" << 1 << "top" << 5 << "reload";
    }
    void dragSetsThePriority() {
        QFETCH(QString, row);
        QFETCH(int, priority);
        QFETCH(QString, where);
        QFETCH(int, finalRow);
        QFETCH(QString, end);
        CMainFrame& f = OpenDemo();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        CQuellorView& view = f.View();
        QTreeWidget* list = List(f);
        auto* image = view.findChild<QLabel*>("dragImage");

        // Pressed on the row and moved far enough to pick it up.
        const QPoint start = RowCenter(f, row);
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(list->viewport(),
                         start + QPoint(0, QApplication::startDragDistance() + 2));
        QCOMPARE(QWidget::mouseGrabber(), &view);
        QVERIFY(image->isVisible());
        QVERIFY(!RowChannels(f).contains(row));

        const QRect area = list->contentsRect();
        const bool outside = where == QLatin1String("outside");
        const QPoint target = list->mapTo(
            &view, outside ? QPoint(list->width() + 20, area.top())
                           : QPoint(area.center().x(),
                                    where == QLatin1String("top") ? area.top() : area.bottom()));
        QTest::mouseMove(&view, target);
        QCOMPARE(view.cursor().shape(), outside ? Qt::ForbiddenCursor : Qt::ArrowCursor);
        QCOMPARE(image->isVisible(), !outside);
        // Live: the model follows the pointer before the button is released.
        QCOMPARE(run->Doc().priority[row.toInt() - 1], priority);
        // The drag is one step, made when it ends.
        QVERIFY(!run->Doc().IsModified());

        QWidget other;
        if (end == QLatin1String("grab")) {
            other.grabMouse();
            QTRY_VERIFY(!view.IsDragging());
            other.releaseMouse();
        } else if (end == QLatin1String("deactivate")) {
            QEvent deactivate(QEvent::WindowDeactivate);
            QCoreApplication::sendEvent(&f, &deactivate);
        } else if (end == QLatin1String("reload")) {
            run->Action(Res::ID_FILE_RELOAD)->trigger();
        }
        QTest::mouseRelease(&view, Qt::LeftButton, {}, target);
        QVERIFY(!view.IsDragging());
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QCOMPARE(view.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(RowChannels(f).indexOf(row), finalRow);
        QCOMPARE(Column(f, 2).last(), "10");
        if (end != QLatin1String("reload")) {
            QCOMPARE(SelectedRow(f), row);
            QCOMPARE(run->Doc().IsModified(), !outside);
        }
    }

    // The row under the pointer is the target: row k of the remaining rows gives priority k,
    // the header 1, below the last row the lowest; the sums follow while the pointer moves and
    // the row picture stays off the header.
    void dragOntoEveryRowGivesThatRowsPlace() {
        CMainFrame& f = OpenDemo();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        CQuellorView& view = f.View();
        QTreeWidget* list = List(f);
        QVERIFY(list->header()->isVisible());
        auto* image = view.findChild<QLabel*>("dragImage");
        const int n = run->Doc().CountUsedChannels();
        const QStringList channels = RowChannels(f);
        for (const QString& row : channels) {
            const int ch = row.toInt() - 1;
            const QPoint start = RowCenter(f, row);
            QTest::mousePress(list->viewport(), Qt::LeftButton, {}, start);
            QTest::mouseMove(list->viewport(),
                             start + QPoint(0, QApplication::startDragDistance() + 2));
            QVERIFY(view.IsDragging());
            const QStringList others = RowChannels(f);
            QCOMPARE(others.size(), n - 1);
            auto moveTo = [&](QPoint viewportPos) {
                QTest::mouseMove(&view, list->viewport()->mapTo(&view, viewportPos));
                const QRect picture(image->mapTo(list, QPoint(0, 0)), image->size());
                QVERIFY(picture.top() >= list->header()->geometry().bottom());
            };
            for (int k = 0; k < others.size(); ++k) {
                const QRect band = list->visualItemRect(list->topLevelItem(k));
                for (int y : {band.top(), band.center().y(), band.bottom()}) {
                    moveTo(QPoint(band.center().x(), y));
                    QCOMPARE(run->Doc().priority[ch], k + 1);
                }
                // The other rows keep their order and show the sums of the moment.
                QCOMPARE(RowChannels(f), others);
                run->Doc().ComputeMipTable();
                for (int r = 0; r < others.size(); ++r)
                    QCOMPARE(Column(f, 2)[r],
                             QString::number(run->Doc().mip[others[r].toInt() - 1]));
            }
            const QRect last = list->visualItemRect(list->topLevelItem(others.size() - 1));
            moveTo(QPoint(last.center().x(), last.bottom() + 3));
            QCOMPARE(run->Doc().priority[ch], n);
            // The header, over the top edge of the list.
            QTest::mouseMove(
                &view, list->mapTo(&view, QPoint(list->width() / 2, list->header()->height() / 2)));
            QCOMPARE(run->Doc().priority[ch], 1);
            const QRect picture(image->mapTo(list, QPoint(0, 0)), image->size());
            QVERIFY(picture.top() >= list->header()->geometry().bottom());
            QTest::mouseRelease(&view, Qt::LeftButton, {}, list->mapTo(&view, QPoint(5, 5)));
            QVERIFY(!view.IsDragging());
            QCOMPARE(RowChannels(f).first(), row);
        }
    }

    // Muting while the song plays is heard at once: the same playback goes on without the
    // channel's notes, which are cut off; Undo (unmuting) brings them back.
    void muteWhilePlayingTakesEffectWithoutARestart() {
        CMainFrame& f = OpenDemo();
        RecordingOutput& output = *run->output;
        // Note-ons of `channel` (-1: any) from message `from` on.
        const auto onsOf = [&output](int channel, std::size_t from) {
            const auto messages = output.Messages();
            int n = 0;
            for (std::size_t i = from; i < messages.size(); ++i) {
                const auto& m = messages[i].bytes;
                n += m.size() == 3 && (m[0] & 0xF0) == 0x90 && m[2] > 0 &&
                     (channel < 0 || (m[0] & 0x0F) == channel);
            }
            return n;
        };
        const auto indexOf = [&output](const std::vector<std::uint8_t>& bytes) {
            const auto messages = output.Messages();
            for (std::size_t i = messages.size(); i-- > 0;)
                if (messages[i].bytes == bytes)
                    return i;
            return std::size_t(0);
        };
        run->Action(Res::ID_PLAY)->trigger();
        QTRY_VERIFY(onsOf(9, 0) > 0);
        ClickRow(f, "10");
        run->Action(Res::ID_CHANNEL_MUTE)->trigger();
        QTRY_VERIFY(indexOf({0xB9, 123, 0}) > 0);
        const std::size_t silenced = indexOf({0xB9, 123, 0});
        // The others play on: three notes of them after the drums' silence.
        QTRY_VERIFY(onsOf(-1, silenced) - onsOf(9, silenced) >= 3);
        QCOMPARE(onsOf(9, silenced), 0);
        QVERIFY(run->Doc().IsPlaying());
        const std::size_t unmuted = output.Messages().size();
        run->Action(Res::ID_EDIT_UNDO)->trigger();
        QVERIFY(run->Doc().enabled[9]);
        QTRY_VERIFY(onsOf(9, unmuted) > 0);
        run->Action(Res::ID_STOP)->trigger();

        // The elapsed and total time beside the bar; a new song starts them again.
        const QString total = f.View().PlayingTimeText().section(" / ", 1);
        QVERIFY(total != "0:00");
        auto* bar = Control<QProgressBar>(f, "progress_1070");
        QVERIFY(bar->value() > 0);
        run->Action(Res::ID_FILE_RELOAD)->trigger();
        QCOMPARE(bar->value(), 0);
        QCOMPARE(f.View().PlayingTimeText(), "0:00 / " + total);
        QCOMPARE(CQuellorView::TimeText(3'723'999), "1:02:03");
        QCOMPARE(CQuellorView::TimeText(59'999), "0:59");
    }

    void playSoundsTheAudibleChannelsWithTheProgressBar() {
        CMainFrame& f = OpenDemo();
        CQuellorView& view = f.View();
        RecordingOutput& output = *run->output;
        auto* bar = Control<QProgressBar>(f, "progress_1070");
        run->Doc().enabled[1] = false;
        run->Action(Res::ID_PLAY)->trigger();
        QCOMPARE(view.ProgressTimerInterval(), 20);
        QVERIFY(run->Action(Res::ID_STOP)->isEnabled());
        QTRY_VERIFY(bar->value() > 0 && NoteOnChannels(output).size() >= 3);
        QVERIFY(!NoteOnChannels(output).count(1));
        run->Action(Res::ID_STOP)->trigger();
        QCOMPARE(view.ProgressTimerInterval(), 0);
        QVERIFY(!run->Doc().IsPlaying());
        QVERIFY(!run->Action(Res::ID_STOP)->isEnabled());

        // Play Solo of the muted current channel sounds nothing at all; of an audible one,
        // that channel alone.
        output.Clear();
        ClickRow(f, "2");
        run->Action(Res::ID_PLAY_SOLO)->trigger();
        QCOMPARE(view.ProgressTimerInterval(), 50);
        // The piano strikes its first chord at 0 ms: once the player is past 500 ms (or has
        // ended), any note of that channel would have been sent.
        const auto pastHalfASecond = [this] {
            std::uint64_t length = 0, position = 0;
            return !run->Doc().IsPlaying() ||
                   (run->Doc().GetProgress(length, position) && position >= 500);
        };
        QTRY_VERIFY(pastHalfASecond());
        run->Action(Res::ID_STOP)->trigger();
        QVERIFY(NoteOnChannels(output).empty());
        ClickRow(f, "10");
        run->Action(Res::ID_PLAY_SOLO)->trigger();
        QTRY_VERIFY(!NoteOnChannels(output).empty());
        run->Action(Res::ID_STOP)->trigger();
        QCOMPARE(NoteOnChannels(output), std::set<int>{9});

        // A song that ends by itself stops the timer; the bar stays where it got to.
        QVERIFY(f.OpenDocumentFile(WriteSong(*files, {0, 1})));
        bar->setValue(0);
        run->Action(Res::ID_PLAY)->trigger();
        QTRY_COMPARE(view.ProgressTimerInterval(), 0);
        QVERIFY(!run->Doc().IsPlaying());
        QVERIFY(bar->value() > 0);
    }
};

QTEST_MAIN(TestChannelCommands)
#include "TestChannelCommands.moc"
