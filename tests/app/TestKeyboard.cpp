// The keyboard: Space on a focused box is the box's and Play's elsewhere; mnemonics that
// clash with no menu; the file keys Ctrl+W, Ctrl+Shift+S and Ctrl+Q.
#include "resources/MenuTable.h"
#include "resources/resource.h"
#include "tests/app/AppTestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include <set>

using namespace apptest;

namespace {

// The mnemonic letter of a caption ("&File" -> 'F'), 0 without one.
QChar Mnemonic(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toUpper();
    }
    return QChar();
}

} // namespace

class TestKeyboard : public AppTest {
    Q_OBJECT

private slots:
    void spaceTogglesAFocusedBoxAndPlaysElsewhere() {
        CMainFrame& f = OpenDemo();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        int mono = -1;
        for (int ch = 0; ch < 16 && mono < 0; ++ch)
            if (run->Doc().used[ch] && run->Doc().maxPolyphony[ch] == 1)
                mono = ch;
        QVERIFY(mono >= 0);
        ClickRow(f, QString::number(mono + 1));
        auto* box = Control<QCheckBox>(f, "vibraCheck_1021");
        QVERIFY(box->isEnabled());
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        QTest::keyClick(box, Qt::Key_Space);
        QCOMPARE(run->Doc().vibraChannel, mono);
        QVERIFY(!run->Doc().IsPlaying());
        QTest::keyClick(box, Qt::Key_Space);
        QCOMPARE(run->Doc().vibraChannel, -1);
        QVERIFY(!run->Doc().IsPlaying());

        List(f)->setFocus();
        QTRY_VERIFY(List(f)->hasFocus());
        QTest::keyClick(List(f), Qt::Key_Space);
        QVERIFY(run->Doc().IsPlaying());
        run->Action(Res::ID_STOP)->trigger();
    }

    // Alt with the box's letter reaches the box, not a menu; every entry of Options has a
    // letter of its own within its menu.
    void mnemonicsClashWithNoMenu() {
        CMainFrame& f = OpenDemo();
        std::set<QChar> taken;
        for (QAction* menu : f.menuBar()->actions()) {
            const QChar letter = Mnemonic(menu->text());
            QVERIFY2(!letter.isNull(), qPrintable(menu->text()));
            QVERIFY2(taken.insert(letter).second, qPrintable(menu->text()));
        }
        for (QLabel* label : f.View().findChildren<QLabel*>())
            if (!Mnemonic(label->text()).isNull())
                QVERIFY2(taken.insert(Mnemonic(label->text())).second, qPrintable(label->text()));
        const QString vibra = Control<QCheckBox>(f, "vibraCheck_1021")->text();
        QVERIFY2(!Mnemonic(vibra).isNull() && !taken.count(Mnemonic(vibra)), qPrintable(vibra));
        QCOMPARE(QString(vibra).remove('&'), "Use channel as vibra trigger");

        QMenu* options = f.menuBar()->actions().at(MenuTable::kOptionsMenuPosition)->menu();
        QCOMPARE(QString(options->title()).remove('&'), "Options");
        std::set<QChar> submenus;
        for (QAction* entry : options->actions()) {
            if (entry->isSeparator())
                continue;
            QVERIFY2(submenus.insert(Mnemonic(entry->text())).second, qPrintable(entry->text()));
            std::set<QChar> items;
            for (QAction* item : entry->menu()->actions())
                QVERIFY2(!Mnemonic(item->text()).isNull() &&
                             items.insert(Mnemonic(item->text())).second,
                         qPrintable(item->text()));
        }
        QVERIFY(!submenus.count(QChar()));
    }

    void fileKeys() {
        CMainFrame& f = OpenDemo();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QVERIFY(run->Action(Res::ID_FILE_SAVE_AS)
                    ->shortcuts()
                    .contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)));
        QVERIFY(run->Action(Res::ID_EDIT_REDO)
                    ->shortcuts()
                    .contains(QKeySequence(Qt::CTRL | Qt::Key_Y)));
        // Ctrl+W closes the song, after the save prompt (answered Cancel: it stays).
        MoveToTop(f, "4");
        answers.push_back(QMessageBox::Cancel);
        QTest::keyClick(&f, Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(OnlyBox(UserPrompt::Icon::Question).isEmpty(), false);
        QVERIFY(!run->Doc().IsNoDocument());
        answers.push_back(QMessageBox::No);
        QTest::keyClick(&f, Qt::Key_W, Qt::ControlModifier);
        QVERIFY(run->Doc().IsNoDocument());
        QVERIFY(!run->Action(Res::ID_FILE_CLOSE)->isEnabled());
        // Ctrl+Q ends the program as Exit does.
        QTest::keyClick(&f, Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY(!f.isVisible());
    }
};

QTEST_MAIN(TestKeyboard)
#include "TestKeyboard.moc"
