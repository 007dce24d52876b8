// The main window as a desktop user handles it: resizing and maximising give the room to
// the channel list, a long song name is elided with the whole name in its tool tip, and
// every toolbar button and option explains itself; Send via IR says why it is off.
#include "app/CDlgHelp.h"
#include "app/COOBmpToolBar.h"
#include "resources/MenuTable.h"
#include "resources/StringTable.h"
#include "resources/resource.h"
#include "tests/app/AppTestSupport.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolButton>
#include <QToolTip>

#include <algorithm>
#include <functional>

using namespace apptest;

namespace {

QLineEdit* SongName(QWidget& root) {
    return Control<QLineEdit>(root, "songNameText_1005");
}

// Every item of a menu and of its submenus, the submenus' own items included.
void ForEachItem(QMenu* menu, const std::function<void(QAction*)>& visit) {
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        visit(action);
        if (action->menu())
            ForEachItem(action->menu(), visit);
    }
}

} // namespace

class TestWindows : public AppTest {
    Q_OBJECT

private slots:
    void mainWindowResizesAndTheListTakesTheRoom() {
        CMainFrame& f = OpenDemo();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(f.windowFlags() & Qt::WindowMaximizeButtonHint);
        QCOMPARE(f.minimumSizeHint(), f.sizeHint());
        f.resize(1, 1);
        // The form's natural size is the view's smallest, so the window never gets smaller
        // than the fixed size it had.
        CQuellorView& view = f.View();
        QCOMPARE(view.minimumSize(), view.sizeHint());
        QTRY_COMPARE(f.size(), f.minimumSize());
        QVERIFY(f.width() >= f.sizeHint().width() && f.height() >= f.sizeHint().height());
        QTRY_COMPARE(view.size(), view.minimumSize());
        QTreeWidget* list = List(f);
        const QSize listBefore = list->size();
        const int nameWidth = SongName(f)->width();
        const QPoint comboAt = PriorityCombo(f)->mapTo(&f, QPoint());

        // The room goes to the list; the panels keep their size and stay on the right edge.
        const QSize viewBefore = view.size();
        f.resize(f.size() + QSize(300, 200));
        QTRY_COMPARE(view.width(), viewBefore.width() + 300);
        QTRY_VERIFY(view.height() >= viewBefore.height() + 198);
        QCOMPARE(list->size() - listBefore, view.size() - viewBefore);
        QCOMPARE(SongName(f)->width(), nameWidth);
        QCOMPARE(PriorityCombo(f)->mapTo(&f, QPoint()), comboAt + QPoint(300, 0));
        // The instrument names take the list's new width.
        QVERIFY(list->columnWidth(1) > 300);

        f.showMaximized();
        QTRY_VERIFY(f.windowState() & Qt::WindowMaximized);
        QTRY_VERIFY(list->width() > listBefore.width() + 300 ||
                    list->height() > listBefore.height() + 200);
    }

    void longSongNamesAreElidedInTheMiddle() {
        CMainFrame& f = OpenDemo();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QLineEdit* name = SongName(f);
        QCOMPARE(name->text(), QStringLiteral("Quellor Demo"));
        QVERIFY(name->toolTip().isEmpty());

        const QString longName = QStringLiteral("Overture to the Opera in Three Acts, Second "
                                                "Version for Small Orchestra and Choir, Finale");
        run->Doc().title = longName.toStdString();
        run->Doc().UpdateAllViews(0);
        const QString shown = name->text();
        QVERIFY2(shown != longName && shown.contains(QChar(0x2026)), qPrintable(shown));
        QVERIFY(shown.startsWith(QStringLiteral("Overture")));
        QVERIFY(shown.endsWith(QStringLiteral("Finale")));
        QVERIFY(name->fontMetrics().horizontalAdvance(shown) < name->width());
        QCOMPARE(name->toolTip(), longName);

        // A wider window has no more room for the name: the panels keep their width. The
        // name shows whole again after a short one is opened.
        f.resize(f.sizeHint() + QSize(400, 0));
        QTRY_COMPARE(name->text(), shown);
        run->Doc().title = "Short";
        run->Doc().UpdateAllViews(0);
        QCOMPARE(name->text(), QStringLiteral("Short"));
        QVERIFY(name->toolTip().isEmpty());
    }

    void everyToolbarButtonAndOptionExplainsItself() {
        CMainFrame& f = OpenDemo();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        auto* bar = f.findChild<COOBmpToolBar*>("toolBar_128");
        int buttons = 0;
        for (QAction* action : bar->actions()) {
            if (action->isSeparator())
                continue;
            QWidget* button = bar->widgetForAction(action);
            const QString tip = button->toolTip();
            // The name, then on a line of its own what the command does.
            QVERIFY2(tip.contains('\n') && tip.section('\n', 1).size() > 10, qPrintable(tip));
            // The tool tip shows when the pointer rests on the button.
            QHelpEvent hover(QEvent::ToolTip, QPoint(4, 4), button->mapToGlobal(QPoint(4, 4)));
            QApplication::sendEvent(button, &hover);
            QTRY_COMPARE(QToolTip::text(), tip);
            QToolTip::hideText();
            ++buttons;
        }
        // Every command of the toolbar and the Voices drop-down.
        const auto& commands = MenuTable::ToolbarButtons();
        QCOMPARE(buttons, 1 + static_cast<int>(commands.size() -
                                               std::count(commands.begin(), commands.end(), 0)));
        // Keys are named with the command.
        QVERIFY(run->Action(Res::ID_PLAY)->toolTip().startsWith(QStringLiteral("Play (Space)")));
        QVERIFY(
            run->Action(Res::ID_FILE_OPEN)->toolTip().startsWith(QStringLiteral("Open (Ctrl+O)")));

        // "&Options", the parent of its submenus.
        auto* options =
            qobject_cast<QMenu*>(f.OptionsSubmenu(MenuTable::kMidiOutputPosition)->parentWidget());
        QVERIFY(options != nullptr);
        int entries = 0;
        ForEachItem(options, [&entries](QAction* action) {
            QVERIFY2(!action->toolTip().isEmpty() &&
                         action->toolTip() != action->text().remove('&'),
                     qPrintable(action->text()));
            ++entries;
        });
        QVERIFY(entries >= 24); // six submenus and their eighteen entries
        QVERIFY(options->toolTipsVisible());
        for (int position :
             {MenuTable::kVibraTriggerPosition, MenuTable::kPriorityProposalPosition})
            QVERIFY(f.OptionsSubmenu(position)->toolTipsVisible());
        // The two vibra modes name their program changes; "Priority OBLIX" how it weighs.
        QVERIFY(run->Action(Res::ID_VIBRA_DP1)->toolTip().contains("Program Change 125"));
        QVERIFY(run->Action(Res::ID_VIBRA_DP2)->toolTip().contains("Program Change 124"));
        const QString oblix = run->Action(Res::ID_PRIO_OBLIX)->toolTip();
        QVERIFY(oblix.startsWith("Priority OBLIX\n"));
        QVERIFY(oblix.contains("instrument") && oblix.contains("percussion channel second"));

        // The help page explains them at length.
        CDlgHelp help(&f);
        const QString page = help.findChild<QTextBrowser*>("page")->toPlainText();
        for (const char* words : {"Priority OBLIX", "Program Change 125", "Program Change 124",
                                  "Nokia Bug (Series 40 DP1)", "Proper (Series 40 DP2)"})
            QVERIFY2(page.contains(QLatin1String(words)), words);
    }

    void sendViaIrSaysWhyItIsOff() {
        CMainFrame& f = Start().Frame();
        QAction* send = run->Action(Res::ID_SEND_IR);
        // No transfer program: off, and its texts name what to install.
        run->Doc().SetTransferProgram({});
        f.UpdateActions();
        QVERIFY(!send->isEnabled());
        QCOMPARE(send->statusTip(), StringTable::Get(Res::IDS_IR_NEEDS_PROGRAM));
        QVERIFY(send->toolTip().startsWith("Send via IR (Ctrl+F5)\n"));
        QVERIFY(send->toolTip().contains("bluetooth-sendto") &&
                send->toolTip().contains("blueman-sendto"));
        // Resting on the disabled button shows the reason in the status bar.
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        auto* bar = f.findChild<COOBmpToolBar*>("toolBar_128");
        QWidget* button = bar->widgetForAction(send);
        QVERIFY(!button->isEnabled());
        QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), button->mapToGlobal(QPointF(4, 4)));
        QApplication::sendEvent(button, &enter);
        QCOMPARE(f.statusBar()->currentMessage(), StringTable::Get(Res::IDS_IR_NEEDS_PROGRAM));

        // A transfer program but no song: open one first.
        run->Doc().SetTransferProgram("/usr/bin/bluetooth-sendto");
        f.UpdateActions();
        QVERIFY(!send->isEnabled());
        QVERIFY(send->statusTip().contains("until a song is open"));
        QVERIFY(send->statusTip().contains("bluetooth-sendto"));

        // Both: on, with its prompt, and its tool tip names the program.
        QVERIFY(f.OpenDocumentFile(DemoSong()));
        f.UpdateActions();
        QVERIFY(send->isEnabled());
        QCOMPARE(send->statusTip(), StringTable::Prompt(Res::ID_SEND_IR));
        QVERIFY(send->toolTip().contains("to bluetooth-sendto"));
    }
};

QTEST_MAIN(TestWindows)
#include "TestWindows.moc"
