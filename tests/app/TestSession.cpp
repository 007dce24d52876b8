// A whole session as a user has it: open, reorder, change a polyphony, make a vibra trigger,
// mute, save, quit, start again on the saved file; the saved file is checked with the
// command-line tool's analysis.
#include "resources/resource.h"
#include "tests/app/AppTestSupport.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace apptest;

namespace {

QJsonObject CliInfo(const QString& path) {
    QProcess cli;
    cli.start(QStringLiteral(QUELLOR_CLI), {"info", path, "--json"});
    if (!cli.waitForFinished(30000) || cli.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
}

} // namespace

class TestSession : public AppTest {
    Q_OBJECT

private slots:
    void editSaveAndReopen() {
        const QString path = CopyOfDemo(*files, "session.mid");
        CMainFrame& f = Start({path}).Frame();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        // Strings (channel 4) first, the piano (channel 2) down to two voices.
        ClickRow(f, "4");
        Choose(PriorityCombo(f), 0);
        ClickRow(f, "2");
        Choose(MipCombo(f), 2);
        // The bass (channel 3) drives the vibra motor.
        ClickRow(f, "3");
        Control<QCheckBox>(f, "vibraCheck_1021")->click();
        // The flute (channel 1) muted.
        ClickRow(f, "1");
        run->Action(Res::ID_CHANNEL_MUTE)->trigger();
        QCOMPARE(RowChannels(f), (QStringList{"4", "3", "5", "10", "1", "2"}));
        // The piano's chords need more than its two voices: Save asks first.
        answers.push_back(QMessageBox::Save);
        QTest::keyClick(&f, Qt::Key_S, Qt::ControlModifier);
        QVERIFY2(OnlyBox(UserPrompt::Icon::Warning).contains("Channel 2 sounds up to"),
                 qPrintable(OnlyBox(UserPrompt::Icon::Warning)));
        boxes.clear();
        QVERIFY(!run->Doc().IsModified());
        f.close();
        run.reset();
        QVERIFY(boxes.empty()); // nothing left to save at exit

        const QJsonObject info = CliInfo(path);
        QVERIFY(!info.isEmpty());
        QCOMPARE(info.value("sourceMip").toString(), "yes");
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
        Start().Action(Res::ID_FILE_MRU_FILE1)->trigger();
        QCOMPARE(run->Doc().GetPathName(), path);
        QCOMPARE(RowChannels(run->Frame()), (QStringList{"4", "3", "5", "10", "2"}));
        QCOMPARE(Column(run->Frame(), 2), (QStringList{"2", "2", "3", "5", "7"}));
        QVERIFY(boxes.empty());
    }
};

QTEST_MAIN(TestSession)
#include "TestSession.moc"
