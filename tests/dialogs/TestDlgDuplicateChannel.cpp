// The Duplicate Channel dialog: the channels it offers and the destination it returns.
#include "app/CDlgDuplicateChannel.h"

#include "song/ChannelCommands.h"
#include "song/SongData.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <vector>

class TestDlgDuplicateChannel : public QObject {
    Q_OBJECT

private slots:
    void offersTheFreeChannels_data() {
        QTest::addColumn<QList<int>>("used");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<int>("firstChoice");
        QTest::newRow("channels 1-4 and 10 used")
            << QList<int>{0, 1, 2, 3, 9}
            << QStringList{"5", "6", "7", "8", "9", "11", "12", "13", "14", "15", "16"} << 4;
        QTest::newRow("percussion channel free but never offered")
            << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 15} << QStringList{"15"} << 14;
        QTest::newRow("no channel left")
            << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15} << QStringList{} << -1;
    }
    void offersTheFreeChannels() {
        QFETCH(QList<int>, used);
        QFETCH(QStringList, offered);
        QFETCH(int, firstChoice);
        SongData song;
        for (int ch : used)
            song.SetChannelUsed(ch, true);
        CDlgDuplicateChannel dialog;
        dialog.SetData(2, ChannelCommands::DuplicateCandidates(song), "Acoustic Grand Piano");
        const auto* combo = dialog.findChild<QComboBox*>("destinationCombo");
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items, offered);
        QCOMPARE(dialog.GetDestination(), firstChoice);
        QCOMPARE(dialog.findChild<QLabel*>("sourceLabel")->text(), "Source Channel 3 Instr.:");
        QCOMPARE(dialog.findChild<QLineEdit*>("instrumentEdit")->text(), "Acoustic Grand Piano");
    }

    void returnsTheChosenChannel_data() {
        QTest::addColumn<std::vector<int>>("destinations");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("destination");
        const std::vector<int> free = {4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15};
        QTest::newRow("OK at once") << free << "" << true << 4;
        QTest::newRow("12 chosen") << free << "12" << true << 11;
        QTest::newRow("cancelled") << free << "12" << false << 11;
        QTest::newRow("indexes outside 0-15 left out")
            << std::vector<int>{-1, 16, 3} << "" << true << 3;
        QTest::newRow("nothing offered") << std::vector<int>{} << "" << true << -1;
    }
    void returnsTheChosenChannel() {
        QFETCH(std::vector<int>, destinations);
        QFETCH(QString, choice);
        QFETCH(bool, ok);
        QFETCH(int, destination);
        CDlgDuplicateChannel dialog;
        dialog.SetData(0, destinations, "Bass");
        dialog.open();
        auto* box = dialog.findChild<QComboBox*>("destinationCombo");
        // Pick with the keyboard, as a user would.
        box->setFocus();
        while (!choice.isEmpty() && box->currentText() != choice &&
               box->currentIndex() < box->count() - 1)
            QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentText(), choice.isEmpty() ? box->itemText(0) : choice);
        QTest::mouseClick(dialog.findChild<QPushButton*>(ok ? "okButton" : "cancelButton"),
                          Qt::LeftButton);
        QCOMPARE(dialog.result(), ok ? QDialog::Accepted : QDialog::Rejected);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.GetDestination(), destination);
    }
};

QTEST_MAIN(TestDlgDuplicateChannel)
#include "TestDlgDuplicateChannel.moc"
