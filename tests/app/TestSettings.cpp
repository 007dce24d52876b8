// The persisted switches, their menu marks and the start-up and shut-down sequences.
#include "resources/MenuTable.h"
#include "resources/resource.h"
#include "tests/app/AppTestSupport.h"

#include "playback/SoundEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>

#include <sys/stat.h>

using namespace apptest;

class TestSettings : public AppTest {
    Q_OBJECT

private slots:
    void firstStartReadsDefaultsAndWritesAllAtExit() {
        Start();
        for (int i = 0; i < 3; ++i)
            QVERIFY(run->app.GetStripSwitch(i));
        QVERIFY(run->app.GetPrioOblix());
        QCOMPARE(run->app.GetVibraMode(), 0u);
        run.reset(); // quits: the settings are written
        for (const char* key : {"EnableTextStripping", "EnableSysexStripping",
                                "EnableControlStripping", "EnablePrioOblix"})
            QCOMPARE(Stored(QString::fromLatin1(key)), "1");
        for (const char* key : {"VibraMode", "MIDIOutputDeviceIndex", "InstrumentMapIndex"})
            QCOMPARE(Stored(QString::fromLatin1(key)), "0");
        QVERIFY(boxes.empty());
    }

    void storedValues_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("checkedId");
        QTest::addColumn<int>("uncheckedId");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("writtenBack");
        using namespace Res;
        QTest::newRow("5 counts as on") << "EnableTextStripping" << ID_STRIP_TEXT << 0 << "5" << 1;
        QTest::newRow("0 is off") << "EnableSysexStripping" << 0 << ID_STRIP_SYSEX << "0" << 0;
        QTest::newRow("not a number reads as absent")
            << "EnableControlStripping" << ID_STRIP_CONTROLS << 0 << "many" << 1;
        QTest::newRow("channel-number proposal")
            << "EnablePrioOblix" << ID_PRIO_CHANNEL << ID_PRIO_OBLIX << "0" << 0;
        QTest::newRow("vibra mode 2 stays 2")
            << "VibraMode" << ID_VIBRA_DP2 << ID_VIBRA_DP1 << "2" << 2;
        QTest::newRow("vibra mode 0") << "VibraMode" << ID_VIBRA_DP1 << ID_VIBRA_DP2 << "0" << 0;
    }
    void storedValues() {
        QFETCH(QString, key);
        QFETCH(int, checkedId);
        QFETCH(int, uncheckedId);
        QFETCH(QString, stored);
        QFETCH(int, writtenBack);
        Store(key, stored);
        Start();
        if (checkedId)
            QVERIFY(run->Action(checkedId)->isChecked());
        if (uncheckedId)
            QVERIFY(!run->Action(uncheckedId)->isChecked());
        if (key == QLatin1String("VibraMode")) {
            // The writer's vibra setup uses program change 124 for any mode but 0.
            const auto setup = run->Doc().BuildVibraSetupEvents(0, 3);
            QVERIFY(!setup.empty());
            QCOMPARE(int(setup.back().GetData()[1]), stored == QLatin1String("0") ? 125 : 124);
        }
        run.reset();
        QCOMPARE(Stored(key), QString::number(writtenBack));
    }

    void menuCommandsMoveTheMarksAndAreWrittenAtExit() {
        Start();
        for (int id : {Res::ID_STRIP_TEXT, Res::ID_STRIP_SYSEX, Res::ID_STRIP_CONTROLS}) {
            run->Action(id)->trigger();
            QVERIFY(!run->app.GetStripSwitch(id - Res::ID_STRIP_TEXT));
            QVERIFY(!run->Action(id)->isChecked());
        }
        run->Action(Res::ID_PRIO_CHANNEL)->trigger();
        QVERIFY(!run->app.GetPrioOblix());
        QVERIFY(run->Action(Res::ID_PRIO_CHANNEL)->isChecked());
        QVERIFY(!run->Action(Res::ID_PRIO_OBLIX)->isChecked());
        run.reset();
        for (const char* key : {"EnableTextStripping", "EnableSysexStripping",
                                "EnableControlStripping", "EnablePrioOblix"})
            QCOMPARE(Stored(QString::fromLatin1(key)), "0");
    }

    void startedEngineListsPortsAndMarksTheSavedDeviceAndMap() {
        Store("MIDIOutputDeviceIndex", 2);
        Store("InstrumentMapIndex", 1);
        Start({}, true, {"Port A", "Port B"});
        QVERIFY(boxes.empty());
        QMenu* output = run->app.OptionsSubmenu(MenuTable::kMidiOutputPosition);
        QCOMPARE(output->actions().size(), 3);
        QCOMPARE(output->actions().at(2)->text(), "Port B");
        QVERIFY(run->Action(Res::ID_MIDI_OUTPUT_FIRST + 2)->isChecked());
        QVERIFY(!run->Action(Res::ID_MIDI_OUTPUT_FIRST)->isChecked());
        QVERIFY(run->Action(Res::ID_MAP_GM)->isChecked());
        // Choosing another output moves the mark and is what the engine writes at exit.
        run->Action(Res::ID_MIDI_OUTPUT_FIRST + 1)->trigger();
        QVERIFY(run->Action(Res::ID_MIDI_OUTPUT_FIRST + 1)->isChecked());
        // The status bar's pane follows the instrument map.
        auto* pane = Control<QLabel>(run->Frame(), "pane_59000");
        QCOMPARE(pane->text(), "Map: GM");
        run->Action(Res::ID_MAP_SPMIDI)->trigger();
        QCOMPARE(pane->text(), "Map: SP");
        QCOMPARE(GetInstrumentMapIndex(), 0u);
        QCOMPARE(run->Doc().switches.instrumentMapIndex, 0u); // names and saving follow
        run.reset();
        QCOMPARE(Stored("MIDIOutputDeviceIndex"), "1");
        QCOMPARE(Stored("InstrumentMapIndex"), "0");
    }

    void failedEngineSaysSoAndStillShowsTheSwitches() {
        Store("EnableTextStripping", 0);
        Store("MIDIOutputDeviceIndex", 1);
        Start({}, false, {"Port A"});
        QVERIFY(OnlyBox(UserPrompt::Icon::Critical).startsWith("Sound init failed"));
        QMenu* output = run->app.OptionsSubmenu(MenuTable::kMidiOutputPosition);
        QCOMPARE(output->actions().size(), 1);
        QVERIFY(!run->Action(Res::ID_MIDI_OUTPUT_FIRST)->isEnabled());
        QVERIFY(!run->Action(Res::ID_MIDI_OUTPUT_FIRST)->isChecked());
        // The switches in force are the ones marked.
        QVERIFY(!run->Action(Res::ID_STRIP_TEXT)->isChecked());
        QVERIFY(run->Action(Res::ID_STRIP_SYSEX)->isChecked());
        // Play needs the engine.
        run->Frame().SetHandler(Res::ID_PLAY, [] {});
        QVERIFY(!run->Action(Res::ID_PLAY)->isEnabled());
        // The engine did not start: the device index stays as stored, the map is kept.
        run->Action(Res::ID_MAP_GM)->trigger();
        run.reset();
        QCOMPARE(Stored("MIDIOutputDeviceIndex"), "1");
        QCOMPARE(Stored("InstrumentMapIndex"), "1");
    }

    void anInstrumentMapOutOfRangeReadsAsTheDefault() {
        Store("InstrumentMapIndex", "4294967295");
        Start();
        QCOMPARE(GetInstrumentMapIndex(), 0u);
        QVERIFY(run->Action(Res::ID_MAP_SPMIDI)->isChecked());
        run.reset();
        QCOMPARE(Stored("InstrumentMapIndex"), "0");
    }

    void aSettingsFileThatIsNoPlainFileOfSensibleSizeIsLeftAlone_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("folder") << "folder";
        QTest::newRow("over 1 MB") << "huge";
    }
    void aSettingsFileThatIsNoPlainFileOfSensibleSizeIsLeftAlone() {
        QFETCH(QString, kind);
        QVERIFY(QDir(config->path()).mkpath(QStringLiteral("ORBANTA")));
        const QByteArray path = QFile::encodeName(SettingsFile());
        QByteArray huge = "[General]\nEnableTextStripping=0\nVibraMode=1\n";
        if (kind == QLatin1String("fifo")) {
            // Opened for reading, a FIFO without a writer would block the start for good.
            QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(SettingsFile()));
        } else {
            huge += QByteArray(2 << 20, ';');
            QFile file(SettingsFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(huge);
        }
        Start();
        QVERIFY(run->app.GetStripSwitch(0)); // the defaults
        QCOMPARE(run->app.GetVibraMode(), 0u);
        run->Frame().OpenDocumentFile(CopyOfDemo(*files, QStringLiteral("song.mid")));
        run.reset(); // nothing is written back either
        const QFileInfo after(SettingsFile());
        if (kind == QLatin1String("fifo")) {
            struct stat st {};
            QCOMPARE(::stat(path.constData(), &st), 0);
            QVERIFY(S_ISFIFO(st.st_mode));
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(after.isDir());
        } else {
            QFile file(SettingsFile());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), huge);
        }
    }

    void recentFilesAreKeptFourDeep() {
        QStringList paths;
        for (int i = 0; i < 5; ++i)
            paths << CopyOfDemo(*files, QStringLiteral("song%1.mid").arg(i));
        Start();
        for (const QString& path : paths + QStringList{paths[2]}) // again: to the top
            QVERIFY(run->Frame().OpenDocumentFile(path));
        run.reset();
        QSettings file(SettingsFile(), QSettings::IniFormat);
        file.beginGroup("Recent File List");
        QCOMPARE(file.childKeys(), (QStringList{"File1", "File2", "File3", "File4"}));
        QCOMPARE(file.value("File1").toString(), paths[2]);
        QCOMPARE(file.value("File4").toString(), paths[1]);

        // The next start offers them; one that fails to open leaves the list.
        QFile::remove(paths[4]);
        Start().Action(Res::ID_FILE_MRU_FILE1 + 1)->trigger();
        QCOMPARE(run->app.RecentFiles(), (QStringList{paths[2], paths[3], paths[1]}));
        QVERIFY(!run->Action(Res::ID_FILE_MRU_FILE1 + 3)->isVisible());
    }
};

QTEST_MAIN(TestSettings)
#include "TestSettings.moc"
