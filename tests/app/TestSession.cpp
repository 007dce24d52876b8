// A whole session as a user has it: open, reorder, change a polyphony, make a vibra trigger,
// mute, save, quit, start again on the saved file; the saved file is checked with the
// command-line tool's analysis.
#include "AppTestSupport.h"
#include "resource.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace apptest;

namespace {

QJsonObject CliInfo(const QString& path) {
    QProcess cli;
    cli.start(QStringLiteral(QUELLOR_CLI),
              {QStringLiteral("info"), path, QStringLiteral("--json")});
    if (!cli.waitForFinished(30000) || cli.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
}

void SelectRow(QWidget& root, const QString& channelNumber) {
    QTreeWidget* list = List(root);
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        if (list->topLevelItem(r)->text(0) == channelNumber) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->topLevelItem(r)).center());
            return;
        }
}

} // namespace

class TestSession : public QObject {
    Q_OBJECT

private slots:
    void editSaveAndReopen() {
        TempSettings settings;
        QTemporaryDir files;
        const QString path = CopyOfDemo(files, QStringLiteral("session.mid"));
        Messages messages;
        {
            RunningApp run({path});
            QWidget& f = run.Frame();
            QVERIFY(QTest::qWaitForWindowExposed(&f));

            // Strings (channel 4) first, the piano (channel 2) down to two voices.
            SelectRow(f, QStringLiteral("4"));
            QCOMPARE(run.Doc().GetCurrentChannel(), 3);
            Choose(Control<QComboBox>(f, "priorityCombo_1003"), 0);
            SelectRow(f, QStringLiteral("2"));
            Choose(Control<QComboBox>(f, "mipCombo_1004"), 2);
            // The bass (channel 3) drives the vibra motor.
            SelectRow(f, QStringLiteral("3"));
            Control<QCheckBox>(f, "vibraCheck_1021")->click();
            // The flute (channel 1) muted from the list's pop-up.
            SelectRow(f, QStringLiteral("1"));
            run.Action(Res::ID_CHANNEL_MUTE)->trigger();

            QCOMPARE(RowChannels(f), (QStringList{"4", "3", "5", "10", "1", "2"}));
            QVERIFY(run.Doc().IsModified());
            QTest::keyClick(&f, Qt::Key_S, Qt::ControlModifier);
            QVERIFY(!run.Doc().IsModified());
            QVERIFY(messages.boxes.empty());
            run.Frame().close();
        }
        QVERIFY(messages.boxes.empty()); // nothing left to save at exit

        const QJsonObject info = CliInfo(path);
        QVERIFY(!info.isEmpty());
        QCOMPARE(info.value("sourceMip").toString(), QStringLiteral("yes"));
        QCOMPARE(info.value("vibraChannel").toInt(), 3);
        QStringList order;
        QStringList polyphony;
        for (const QJsonValue& channel : info.value("channels").toArray()) {
            order << QString::number(channel.toObject().value("channel").toInt());
            polyphony << QString::number(channel.toObject().value("polyphony").toInt());
        }
        // The muted flute is not in the file; the rest keep the order and voices set (the
        // vibra trigger declares none).
        QCOMPARE(order, (QStringList{"4", "3", "5", "10", "2"}));
        QCOMPARE(polyphony, (QStringList{"2", "0", "1", "2", "2"}));

        // The next start offers the file first and shows it as saved.
        RunningApp again;
        again.Action(Res::ID_FILE_MRU_FILE1)->trigger();
        QCOMPARE(again.Doc().GetPathName(), path);
        QCOMPARE(RowChannels(again.Frame()), (QStringList{"4", "3", "5", "10", "2"}));
        QCOMPARE(Control<QLineEdit>(again.Frame(), "sourceMipText_1006")->text(),
                 QStringLiteral("yes"));
        QVERIFY(Column(again.Frame(), 1).at(1).startsWith(QStringLiteral("Vibra (")));
        QCOMPARE(Column(again.Frame(), 2), (QStringList{"2", "2", "3", "5", "7"}));
        QVERIFY(messages.boxes.empty());
    }
};

QTEST_MAIN(TestSession)
#include "TestSession.moc"
