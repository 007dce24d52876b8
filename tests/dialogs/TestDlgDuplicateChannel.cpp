// The Duplicate Channel dialog: the channels it offers and the destination it returns.
#include "CDlgDuplicateChannel.h"

#include "ChannelCommands.h"
#include "SongData.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <vector>

class TestDlgDuplicateChannel : public QObject {
    Q_OBJECT

private slots:
    void offersTheFreeChannels_data();
    void offersTheFreeChannels();
    void returnsTheChosenChannel_data();
    void returnsTheChosenChannel();
};

namespace {

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

void TestDlgDuplicateChannel::offersTheFreeChannels_data() {
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

void TestDlgDuplicateChannel::offersTheFreeChannels() {
    QFETCH(QList<int>, used);
    QFETCH(QStringList, offered);
    QFETCH(int, firstChoice);

    SongData song;
    for (int ch : used)
        song.SetChannelUsed(ch, true);
    CDlgDuplicateChannel dialog;
    dialog.SetData(2, ChannelCommands::DuplicateCandidates(song), "Acoustic Grand Piano");
    QCOMPARE(Items(dialog.findChild<QComboBox*>("destinationCombo")), offered);
    QCOMPARE(dialog.GetDestination(), firstChoice);
    QCOMPARE(dialog.findChild<QLabel*>("sourceLabel")->text(), QString("Source Channel 3 Instr.:"));
    QCOMPARE(dialog.findChild<QLineEdit*>("instrumentEdit")->text(),
             QString("Acoustic Grand Piano"));
}

void TestDlgDuplicateChannel::returnsTheChosenChannel_data() {
    QTest::addColumn<std::vector<int>>("destinations");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("destination");

    const std::vector<int> free = {4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15};
    QTest::newRow("OK at once") << free << ""
                                << "okButton" << int(QDialog::Accepted) << 4;
    QTest::newRow("12 chosen") << free << "12"
                               << "okButton" << int(QDialog::Accepted) << 11;
    QTest::newRow("last chosen") << free << "16"
                                 << "okButton" << int(QDialog::Accepted) << 15;
    QTest::newRow("cancelled") << free << "12"
                               << "cancelButton" << int(QDialog::Rejected) << 11;
    QTest::newRow("indexes outside 0-15 left out") << std::vector<int>{-1, 16, 3} << ""
                                                   << "okButton" << int(QDialog::Accepted) << 3;
    QTest::newRow("nothing offered") << std::vector<int>{} << ""
                                     << "okButton" << int(QDialog::Accepted) << -1;
}

void TestDlgDuplicateChannel::returnsTheChosenChannel() {
    QFETCH(std::vector<int>, destinations);
    QFETCH(QString, choice);
    QFETCH(QString, button);
    QFETCH(int, result);
    QFETCH(int, destination);

    CDlgDuplicateChannel dialog;
    dialog.SetData(0, destinations, "Bass");
    dialog.open();
    auto* box = dialog.findChild<QComboBox*>("destinationCombo");
    if (!choice.isEmpty()) {
        // Pick with the keyboard, as a user would.
        box->setFocus();
        while (box->currentText() != choice && box->currentIndex() < box->count() - 1)
            QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentText(), choice);
    }
    QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(dialog.result(), result);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.GetDestination(), destination);
}

QTEST_MAIN(TestDlgDuplicateChannel)
#include "TestDlgDuplicateChannel.moc"
