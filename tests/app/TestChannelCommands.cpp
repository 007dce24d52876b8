// The channel commands as a user reaches them: their enabling on menus, toolbar, pop-up and
// keys; mute, solo, remove, duplicate; dragging rows to new priorities; the Polyphony
// Sequence window's boxes; Play, Play Solo and Stop with the progress bar.
#include "AppTestSupport.h"
#include "TestFiles.h"
#include "resource.h"

#include "CDlgDuplicateChannel.h"
#include "CDlgPolyphony.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>

#include <functional>

using namespace apptest;

namespace {

// A format 0 song of one 480-tick note on each channel index given, all at once.
QString WriteSong(const QTemporaryDir& dir, const std::vector<int>& channels) {
    testfiles::Bytes events;
    for (int ch : channels) // note on
        events.insert(events.end(), {0x00, std::uint8_t(0x90 | ch), 0x3C, 0x64});
    for (std::size_t i = 0; i < channels.size(); ++i) { // note off, all after 480 ticks
        const std::uint8_t off = std::uint8_t(0x80 | channels[i]);
        if (i == 0)
            events.insert(events.end(), {0x83, 0x60, off, 0x3C, 0x00});
        else
            events.insert(events.end(), {0x00, off, 0x3C, 0x00});
    }
    const auto bytes =
        testfiles::Cat({testfiles::Header(0, 1, 480), testfiles::TrackChunk(events)});
    const QString path = dir.filePath(QStringLiteral("song%1.mid").arg(channels.size()));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    return path;
}

QPoint RowCenter(QWidget& root, const QString& channelNumber) {
    QTreeWidget* list = List(root);
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        if (list->topLevelItem(r)->text(0) == channelNumber)
            return list->visualItemRect(list->topLevelItem(r)).center();
    return {};
}

void ClickRow(QWidget& root, const QString& channelNumber) {
    QTest::mouseClick(List(root)->viewport(), Qt::LeftButton, {}, RowCenter(root, channelNumber));
}

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

// Presses on a row and moves far enough to pick it up.
void PickUpRow(QWidget& root, const QString& channelNumber) {
    const QPoint start = RowCenter(root, channelNumber);
    QTest::mousePress(List(root)->viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(List(root)->viewport(),
                     start + QPoint(0, QApplication::startDragDistance() + 2));
}

// Runs `answer` on the Duplicate Channel dialog once it is up.
void AnswerDuplicateDialog(std::function<void(CDlgDuplicateChannel&)> answer) {
    QTimer::singleShot(0, [answer] {
        if (auto* dialog = qobject_cast<CDlgDuplicateChannel*>(QApplication::activeModalWidget()))
            answer(*dialog);
    });
}

} // namespace

class TestChannelCommands : public QObject {
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

    void enablingRules_data() {
        QTest::addColumn<int>("channels");
        QTest::newRow("no song") << 0;
        QTest::newRow("one used channel") << 1;
        QTest::newRow("six used channels") << 6;
    }
    // With the real handlers in place only the rules keep a command from running.
    void enablingRules() {
        QFETCH(int, channels);
        Messages messages;
        RunningApp run(channels == 0   ? QStringList()
                       : channels == 1 ? QStringList{WriteSong(*files_, {3})}
                                       : QStringList{DemoSong()});
        CMainFrame& f = run.Frame();
        const bool loaded = channels > 0;
        const bool several = channels > 1;
        for (int id : {Res::ID_CHANNEL_REMOVE, Res::ID_CHANNEL_SOLO, Res::ID_CHANNEL_MUTE})
            QCOMPARE(run.Action(id)->isEnabled(), several);
        for (int id : {Res::ID_CHANNEL_DUPLICATE, Res::ID_VIEW_POLYPHONY, Res::ID_FILE_RELOAD,
                       Res::ID_PLAY, Res::ID_PLAY_SOLO})
            QCOMPARE(run.Action(id)->isEnabled(), loaded);
        auto* toolBar = f.findChild<QToolBar*>(QStringLiteral("toolBar_128"));
        QCOMPARE(toolBar->widgetForAction(run.Action(Res::ID_PLAY))->isEnabled(), loaded);
        QVERIFY(!toolBar->widgetForAction(run.Action(Res::ID_STOP))->isEnabled());

        // The pop-up shows only over a selected row, in its order, under the same rules.
        QTreeWidget* list = List(f);
        if (loaded)
            ClickRow(f, list->topLevelItem(0)->text(0));
        emit list->customContextMenuRequested(QPoint(5, 5));
        QMenu* popup = f.ChannelPopup();
        QCOMPARE(popup->isVisible(), loaded);
        QStringList items;
        for (QAction* action : popup->actions())
            items << (action->isSeparator() ? QStringLiteral("-")
                                            : action->text() + (action->isEnabled() ? "+" : ""));
        popup->close();
        const QString on = several ? QStringLiteral("+") : QString();
        QCOMPARE(items, (QStringList{"Mute Channel" + on, "Solo Channel" + on, "-",
                                     loaded ? "Duplicate Channel...+" : "Duplicate Channel...", "-",
                                     "Remove Channel...\tDel" + on}));

        // Delete asks (answered No) only where Remove is enabled.
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(int(messages.boxes.size()), several ? 1 : 0);
        QCOMPARE(run.Doc().CountUsedChannels(), channels);
        // The double-click is no command: it mutes even the only channel.
        if (channels == 1) {
            DoubleClickRow(f, QStringLiteral("4"));
            QCOMPARE(f.View().ChannelImageIndex(3), 0);
        }
    }

    void muteAndSoloChangeTheSumsButNotTheFile() {
        Messages messages;
        RunningApp run({DemoSong()});
        CMainFrame& f = run.Frame();
        const QStringList allAudible{"1", "3", "4", "5", "8", "10"};
        ClickRow(f, QStringLiteral("2"));
        run.Action(Res::ID_CHANNEL_MUTE)->trigger();
        // The piano's row reads 0 and the rows after it lose its three voices.
        QCOMPARE(Column(f, 2), (QStringList{"1", "3", "4", "5", "0", "7"}));
        QCOMPARE(f.View().ChannelImageIndex(1), 0);
        QVERIFY(run.Action(Res::ID_CHANNEL_MUTE)->isChecked());
        DoubleClickRow(f, QStringLiteral("2"));
        QCOMPARE(Column(f, 2), allAudible);
        QVERIFY(!run.Action(Res::ID_CHANNEL_MUTE)->isChecked());

        run.Action(Res::ID_CHANNEL_SOLO)->trigger();
        QCOMPARE(Column(f, 2), (QStringList{"0", "0", "0", "0", "3", "0"}));
        QVERIFY(run.Action(Res::ID_CHANNEL_SOLO)->isChecked());
        QCOMPARE(Control<QLineEdit>(f, "sequencePolyphonyText_1007")->text(), QStringLiteral("3"));
        // Solo on the drums while the piano is soloed: the drums alone; again: all audible.
        ClickRow(f, QStringLiteral("10"));
        QVERIFY(!run.Action(Res::ID_CHANNEL_SOLO)->isChecked());
        run.Action(Res::ID_CHANNEL_SOLO)->trigger();
        QCOMPARE(Column(f, 2), (QStringList{"0", "2", "0", "0", "0", "0"}));
        run.Action(Res::ID_CHANNEL_SOLO)->trigger();
        QCOMPARE(Column(f, 2), allAudible);
        QVERIFY(!run.Doc().IsModified());
    }

    void removeAsksFirst_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void removeAsksFirst() {
        QFETCH(bool, yes);
        Messages messages;
        messages.answers.push_back(yes ? QMessageBox::Yes : QMessageBox::No);
        RunningApp run({DemoSong()});
        CMainFrame& f = run.Frame();
        ClickRow(f, QStringLiteral("1"));
        const auto before = run.Doc().priority;
        run.Action(Res::ID_CHANNEL_REMOVE)->trigger();
        QCOMPARE(int(messages.boxes.size()), 1);
        QCOMPARE(messages.boxes[0].icon, UserPrompt::Icon::Question);
        QCOMPARE(messages.boxes[0].text,
                 QStringLiteral("Do you really want to remove\nchannel #1 (Instrument: Flute)"));
        QCOMPARE(run.Doc().IsModified(), yes);
        const QStringList rows = yes ? QStringList{"5", "10", "3", "2", "4"}
                                     : QStringList{"5", "10", "1", "3", "2", "4"};
        QCOMPARE(RowChannels(f), rows);
        QCOMPARE(SelectedRow(f), yes ? QStringLiteral("5") : QStringLiteral("1"));
        if (!yes)
            return;
        // The others keep their priorities, gap and all.
        for (int ch : {1, 2, 3, 4, 9})
            QCOMPARE(run.Doc().priority[ch], before[ch]);
        // The first row is the current channel now: the panel and Play Solo act on it.
        QCOMPARE(run.Doc().GetCurrentChannel(), 4);
        QCOMPARE(Control<QLineEdit>(f, "instrumentText_1001")->text(),
                 QStringLiteral("Vibraphone"));
    }

    void duplicateOffersTheFreeChannels() {
        Messages messages;
        RunningApp run({DemoSong()});
        CMainFrame& f = run.Frame();
        ClickRow(f, QStringLiteral("3"));
        QStringList offered;
        QString label;
        AnswerDuplicateDialog([&](CDlgDuplicateChannel& dialog) {
            auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("destinationCombo"));
            for (int i = 0; i < combo->count(); ++i)
                offered << combo->itemText(i);
            label = dialog.findChild<QLabel*>(QStringLiteral("sourceLabel"))->text();
            combo->setCurrentIndex(combo->findText(QStringLiteral("12")));
            dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        });
        run.Action(Res::ID_CHANNEL_DUPLICATE)->trigger();
        QCOMPARE(offered, (QStringList{"6", "7", "8", "9", "11", "12", "13", "14", "15", "16"}));
        QCOMPARE(label, QStringLiteral("Source Channel 3 Instr.:"));
        QVERIFY(run.Doc().used[11]);
        QVERIFY(RowChannels(f).contains(QStringLiteral("12")));
        QVERIFY(run.Doc().IsModified());

        AnswerDuplicateDialog([](CDlgDuplicateChannel& dialog) { dialog.reject(); });
        run.Action(Res::ID_CHANNEL_DUPLICATE)->trigger();
        QCOMPARE(run.Doc().CountUsedChannels(), 7);

        List(f)->clearSelection();
        run.Action(Res::ID_CHANNEL_DUPLICATE)->trigger();
        QCOMPARE(int(messages.boxes.size()), 1);
        QCOMPARE(messages.boxes[0].icon, UserPrompt::Icon::Information);
        QCOMPARE(messages.boxes[0].text,
                 QStringLiteral("Only one channel may be duplicated at a time."));
    }

    void duplicateWithOnlyChannelTenFree() {
        Messages messages;
        RunningApp run({WriteSong(*files_, {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15})});
        ClickRow(run.Frame(), QStringLiteral("1"));
        // A dialog would be refused, leaving no box.
        AnswerDuplicateDialog([](CDlgDuplicateChannel& dialog) { dialog.reject(); });
        run.Action(Res::ID_CHANNEL_DUPLICATE)->trigger();
        QCOMPARE(int(messages.boxes.size()), 1);
        QCOMPARE(messages.boxes[0].text, QStringLiteral("No channel left."));
    }

    void polyphonyBoxesAndListMutesAgree() {
        Messages messages;
        RunningApp run({DemoSong()});
        CMainFrame& f = run.Frame();
        run.Action(Res::ID_VIEW_POLYPHONY)->trigger();
        CDlgPolyphony* window = f.View().PolyphonyWindow();
        QVERIFY(window && window->isVisible());
        auto* box2 = window->findChild<QCheckBox*>(QStringLiteral("channelBox2"));
        ClickRow(f, QStringLiteral("2"));
        run.Action(Res::ID_CHANNEL_MUTE)->trigger();
        QVERIFY(!box2->isChecked());
        box2->click();
        QCOMPARE(f.View().ChannelImageIndex(1), 1);
        QCOMPARE(Column(f, 2).at(4), QStringLiteral("8"));
        window->findChild<QPushButton*>(QStringLiteral("noneButton"))->click();
        QCOMPARE(Column(f, 2), (QStringList{"0", "0", "0", "0", "0", "0"}));
        // Closing only hides it; the command shows the same window again.
        window->close();
        run.Action(Res::ID_VIEW_POLYPHONY)->trigger();
        QCOMPARE(f.View().PolyphonyWindow(), window);
        QVERIFY(window->isVisible());
    }

    void dragSetsThePriority_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("priority");
        QTest::newRow("last row to the top edge") << "4"
                                                  << "top" << 1;
        QTest::newRow("first row below the last") << "5"
                                                  << "bottom" << 6;
        QTest::newRow("out of the list") << "2"
                                         << "outside" << 5;
    }
    void dragSetsThePriority() {
        QFETCH(QString, row);
        QFETCH(QString, where);
        QFETCH(int, priority);
        Messages messages;
        RunningApp run({DemoSong()});
        CMainFrame& f = run.Frame();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        CQuellorView& view = f.View();
        QTreeWidget* list = List(f);
        auto* image = view.findChild<QLabel*>(QStringLiteral("dragImage"));

        PickUpRow(f, row);
        QCOMPARE(QWidget::mouseGrabber(), &view);
        QVERIFY(image->isVisible());
        QVERIFY(!RowChannels(f).contains(row));

        const QRect area = list->contentsRect();
        const bool outside = where == QLatin1String("outside");
        const QPoint target =
            outside ? list->mapTo(&view, QPoint(list->width() + 20, area.top()))
                    : list->mapTo(&view, QPoint(area.center().x(), where == QLatin1String("top")
                                                                       ? area.top()
                                                                       : area.bottom()));
        QTest::mouseMove(QWidget::mouseGrabber(), target);
        QCOMPARE(view.cursor().shape(), outside ? Qt::ForbiddenCursor : Qt::ArrowCursor);
        QCOMPARE(image->isVisible(), !outside);
        // Live: the model follows the pointer before the button is released.
        QCOMPARE(run.Doc().priority[row.toInt() - 1], priority);
        QCOMPARE(run.Doc().IsModified(), !outside);

        QTest::mouseRelease(QWidget::mouseGrabber(), Qt::LeftButton, {}, target);
        QVERIFY(!view.IsDragging());
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QCOMPARE(RowChannels(f).indexOf(row), priority - 1);
        QCOMPARE(SelectedRow(f), row);
        QCOMPARE(Column(f, 2).last(), QStringLiteral("10"));
    }

    void dragEndsWhenTheMouseIsTakenAway_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("top");
        QTest::newRow("another widget grabs the mouse") << "grab"
                                                        << "4";
        QTest::newRow("the window is deactivated") << "deactivate"
                                                   << "4";
        QTest::newRow("the file is reloaded") << "reload"
                                              << "5";
    }
    void dragEndsWhenTheMouseIsTakenAway() {
        QFETCH(QString, how);
        QFETCH(QString, top);
        Messages messages;
        RunningApp run({DemoSong()});
        CMainFrame& f = run.Frame();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        CQuellorView& view = f.View();
        PickUpRow(f, QStringLiteral("4"));
        QTest::mouseMove(&view, List(f)->mapTo(&view, List(f)->contentsRect().topLeft()));
        QCOMPARE(run.Doc().priority[3], 1);

        QWidget other;
        if (how == QLatin1String("grab")) {
            other.grabMouse();
            QTRY_VERIFY(!view.IsDragging());
            other.releaseMouse();
        } else if (how == QLatin1String("deactivate")) {
            QEvent deactivate(QEvent::WindowDeactivate);
            QCoreApplication::sendEvent(&f, &deactivate);
        } else {
            // Reload asks to save the dragged order (No) and reads the file afresh.
            run.Action(Res::ID_FILE_RELOAD)->trigger();
        }
        QVERIFY(!view.IsDragging());
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QTest::mouseRelease(&view, Qt::LeftButton);
        QCOMPARE(List(f)->topLevelItemCount(), 6);
        QCOMPARE(RowChannels(f).first(), top);
        QCOMPARE(view.cursor().shape(), Qt::ArrowCursor);
    }

    void playStopAndTheProgressBar() {
        Messages messages;
        RunningApp run({DemoSong()});
        CMainFrame& f = run.Frame();
        CQuellorView& view = f.View();
        auto* bar = Control<QProgressBar>(f, "progress_1070");
        run.Action(Res::ID_PLAY)->trigger();
        QCOMPARE(view.ProgressTimerInterval(), 20);
        QVERIFY(run.Action(Res::ID_STOP)->isEnabled());
        QTRY_VERIFY(bar->value() > 0);
        run.Action(Res::ID_STOP)->trigger();
        QCOMPARE(view.ProgressTimerInterval(), 0);
        QVERIFY(!run.Doc().IsPlaying());
        QVERIFY(!run.Action(Res::ID_STOP)->isEnabled());
        run.Action(Res::ID_PLAY_SOLO)->trigger();
        QCOMPARE(view.ProgressTimerInterval(), 50);

        // A song that ends by itself stops the timer; the bar stays where it got to.
        QVERIFY(f.OpenDocumentFile(WriteSong(*files_, {0, 1})));
        bar->setValue(0);
        run.Action(Res::ID_PLAY)->trigger();
        QTRY_COMPARE(view.ProgressTimerInterval(), 0);
        QVERIFY(!run.Doc().IsPlaying());
        QVERIFY(bar->value() > 0);
    }

private:
    std::unique_ptr<TempSettings> settings_;
    std::unique_ptr<QTemporaryDir> files_;
};

QTEST_MAIN(TestChannelCommands)
#include "TestChannelCommands.moc"
