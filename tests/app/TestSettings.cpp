// The persisted switches, their menu marks and the start-up and shut-down sequences.
#include "AppTestSupport.h"
#include "MenuTable.h"
#include "resource.h"

#include "InstrumentMap.h"
#include "SongSwitches.h"

#include <QLabel>
#include <QMenu>
#include <QStatusBar>

using namespace apptest;

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void init() { settings_ = std::make_unique<TempSettings>(); }
    void cleanup() { settings_.reset(); }

    void firstStartReadsDefaultsAndWritesAllAtExit() {
        Messages messages;
        RunningApp run;
        QVERIFY(run.app.GetStripSwitch(0));
        QVERIFY(run.app.GetStripSwitch(1));
        QVERIFY(run.app.GetStripSwitch(2));
        QVERIFY(run.app.GetPrioOblix());
        QCOMPARE(run.app.GetVibraMode(), 0u);
        run.Exit();
        for (const char* key : {"EnableTextStripping", "EnableSysexStripping",
                                "EnableControlStripping", "EnablePrioOblix"})
            QCOMPARE(settings_->Raw(QString::fromLatin1(key)), QStringLiteral("1"));
        QCOMPARE(settings_->Raw(QStringLiteral("VibraMode")), QStringLiteral("0"));
        QCOMPARE(settings_->Raw(QStringLiteral("MIDIOutputDeviceIndex")), QStringLiteral("0"));
        QCOMPARE(settings_->Raw(QStringLiteral("InstrumentMapIndex")), QStringLiteral("0"));
        QVERIFY(messages.boxes.empty());
    }

    void storedValues_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("checkedId");
        QTest::addColumn<int>("uncheckedId");
        QTest::addColumn<QString>("writtenBack");
        using namespace Res;
        QTest::newRow("5 counts as on") << "EnableTextStripping"
                                        << "5" << ID_STRIP_TEXT << 0 << "1";
        QTest::newRow("0 is off") << "EnableSysexStripping"
                                  << "0" << 0 << ID_STRIP_SYSEX << "0";
        QTest::newRow("not a number reads as absent") << "EnableControlStripping"
                                                      << "many" << ID_STRIP_CONTROLS << 0 << "1";
        QTest::newRow("channel-number proposal") << "EnablePrioOblix"
                                                 << "0" << ID_PRIO_CHANNEL << ID_PRIO_OBLIX << "0";
        QTest::newRow("vibra mode 2 stays 2") << "VibraMode"
                                              << "2" << ID_VIBRA_DP2 << ID_VIBRA_DP1 << "2";
        QTest::newRow("vibra mode 0") << "VibraMode"
                                      << "0" << ID_VIBRA_DP1 << ID_VIBRA_DP2 << "0";
    }
    void storedValues() {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(int, checkedId);
        QFETCH(int, uncheckedId);
        QFETCH(QString, writtenBack);
        settings_->Write(key, stored);
        Messages messages;
        RunningApp run;
        if (checkedId)
            QVERIFY(run.Action(checkedId)->isChecked());
        if (uncheckedId)
            QVERIFY(!run.Action(uncheckedId)->isChecked());
        run.Exit();
        QCOMPARE(settings_->Raw(key), writtenBack);
    }

    void vibraModeTwoSelectsTheNewProgramChange() {
        settings_->Write(QStringLiteral("VibraMode"), 2);
        Messages messages;
        RunningApp run;
        // The writer's vibra setup uses program change 124 for any mode but 0.
        const auto setup = run.Doc().BuildVibraSetupEvents(0, 3);
        QVERIFY(!setup.empty());
        const auto& program = setup.back();
        QCOMPARE(int(program.GetData()[0]), 0xC3);
        QCOMPARE(int(program.GetData()[1]), 124);
    }

    void togglingTwiceRestoresSwitchAndMark_data() {
        QTest::addColumn<int>("id");
        QTest::newRow("text") << Res::ID_STRIP_TEXT;
        QTest::newRow("sysex") << Res::ID_STRIP_SYSEX;
        QTest::newRow("controls") << Res::ID_STRIP_CONTROLS;
    }
    void togglingTwiceRestoresSwitchAndMark() {
        QFETCH(int, id);
        Messages messages;
        RunningApp run;
        const int index = id - Res::ID_STRIP_TEXT;
        QVERIFY(run.app.GetStripSwitch(index));
        run.Action(id)->trigger();
        QVERIFY(!run.app.GetStripSwitch(index));
        QVERIFY(!run.Action(id)->isChecked());
        run.Action(id)->trigger();
        QVERIFY(run.app.GetStripSwitch(index));
        QVERIFY(run.Action(id)->isChecked());
    }

    void priorityChoiceMovesTheRadioMark() {
        Messages messages;
        RunningApp run;
        run.Action(Res::ID_PRIO_CHANNEL)->trigger();
        QVERIFY(!SongSwitches::GetPrioOblix());
        QVERIFY(run.Action(Res::ID_PRIO_CHANNEL)->isChecked());
        QVERIFY(!run.Action(Res::ID_PRIO_OBLIX)->isChecked());
        run.Exit();
        QCOMPARE(settings_->Raw(QStringLiteral("EnablePrioOblix")), QStringLiteral("0"));
    }

    void startedEngineListsPortsAndMarksTheSavedDevice() {
        settings_->Write(QStringLiteral("MIDIOutputDeviceIndex"), 2);
        settings_->Write(QStringLiteral("InstrumentMapIndex"), 1);
        Messages messages;
        RunningApp run({}, true, {"Port A", "Port B"});
        QVERIFY(messages.boxes.empty());
        QMenu* output = run.app.OptionsSubmenu(MenuTable::kMidiOutputPosition);
        QVERIFY(output);
        QStringList captions;
        for (QAction* action : output->actions())
            captions << action->text();
        QCOMPARE(captions, (QStringList{"Default Device", "Port A", "Port B"}));
        QVERIFY(run.Action(Res::ID_MIDI_OUTPUT_FIRST + 2)->isChecked());
        QVERIFY(!run.Action(Res::ID_MIDI_OUTPUT_FIRST)->isChecked());
        QVERIFY(run.Action(Res::ID_MAP_GM)->isChecked());
        // Choosing another output moves the mark and is what the engine writes at exit.
        run.Action(Res::ID_MIDI_OUTPUT_FIRST + 1)->trigger();
        QVERIFY(run.Action(Res::ID_MIDI_OUTPUT_FIRST + 1)->isChecked());
        run.Exit();
        QCOMPARE(settings_->Raw(QStringLiteral("MIDIOutputDeviceIndex")), QStringLiteral("1"));
    }

    void failedEngineSaysSoAndStillShowsTheSwitches() {
        settings_->Write(QStringLiteral("EnableTextStripping"), 0);
        settings_->Write(QStringLiteral("MIDIOutputDeviceIndex"), 1);
        Messages messages;
        RunningApp run({}, false, {"Port A"});
        QCOMPARE(int(messages.boxes.size()), 1);
        QCOMPARE(messages.boxes[0].icon, UserPrompt::Icon::Critical);
        QCOMPARE(messages.boxes[0].text,
                 QStringLiteral("Sound init failed\n\nQuellor will not be able to playback\n"
                                "any MIDI songs"));
        QMenu* output = run.app.OptionsSubmenu(MenuTable::kMidiOutputPosition);
        QCOMPARE(output->actions().size(), 1);
        QVERIFY(!run.Action(Res::ID_MIDI_OUTPUT_FIRST)->isEnabled());
        QVERIFY(!run.Action(Res::ID_MIDI_OUTPUT_FIRST)->isChecked());
        // The switches in force are the ones marked.
        QVERIFY(!run.Action(Res::ID_STRIP_TEXT)->isChecked());
        QVERIFY(run.Action(Res::ID_STRIP_SYSEX)->isChecked());
        run.Action(Res::ID_STRIP_TEXT)->trigger();
        QVERIFY(run.Action(Res::ID_STRIP_TEXT)->isChecked());
        // Play needs the engine.
        run.Frame().SetHandler(Res::ID_PLAY, [] {});
        QVERIFY(!run.Action(Res::ID_PLAY)->isEnabled());
        // The engine did not start: the device index stays as stored, the map is kept.
        run.Action(Res::ID_MAP_GM)->trigger();
        run.Exit();
        QCOMPARE(settings_->Raw(QStringLiteral("MIDIOutputDeviceIndex")), QStringLiteral("1"));
        QCOMPARE(settings_->Raw(QStringLiteral("InstrumentMapIndex")), QStringLiteral("1"));
    }

    void optionsSubmenusByPosition() {
        Messages messages;
        RunningApp run;
        const std::pair<int, const char*> expected[] = {
            {MenuTable::kMidiOutputPosition, "MIDI Output"},
            {MenuTable::kInstrumentMappingPosition, "Instrument Mapping"},
            {MenuTable::kVibraTriggerPosition, "Vibra Trigger"},
            {MenuTable::kEventStrippingPosition, "Event Stripping"},
            {MenuTable::kPriorityProposalPosition, "Priority Proposal"}};
        for (const auto& [position, title] : expected) {
            QMenu* menu = run.app.OptionsSubmenu(position);
            QVERIFY2(menu, title);
            QCOMPARE(menu->title(), QString::fromLatin1(title));
        }
        QVERIFY(!run.app.OptionsSubmenu(1));
    }

    void mapPaneFollowsTheInstrumentMap() {
        settings_->Write(QStringLiteral("InstrumentMapIndex"), 1);
        Messages messages;
        RunningApp run({DemoSong()});
        auto* pane = Control<QLabel>(run.Frame(), "pane_59000");
        run.Frame().UpdateActions();
        QCOMPARE(pane->text(), QStringLiteral("Map: GM"));
        run.Action(Res::ID_MAP_SPMIDI)->trigger();
        QCOMPARE(pane->text(), QStringLiteral("Map: SP"));
        QVERIFY(run.Action(Res::ID_MAP_SPMIDI)->isChecked());
        QCOMPARE(GetInstrumentMapIndex(), 0u);
        run.Exit();
        QCOMPARE(settings_->Raw(QStringLiteral("InstrumentMapIndex")), QStringLiteral("0"));
    }

    void recentFilesAreKeptFourDeep() {
        QTemporaryDir dir;
        QStringList paths;
        for (int i = 0; i < 5; ++i)
            paths << CopyOfDemo(dir, QStringLiteral("song%1.mid").arg(i));
        {
            Messages messages;
            RunningApp run;
            for (const QString& path : paths)
                QVERIFY(run.Frame().OpenDocumentFile(path));
            // Opening a listed file again moves it to the top.
            QVERIFY(run.Frame().OpenDocumentFile(paths[2]));
        }
        QSettings file(settings_->File(), QSettings::IniFormat);
        file.beginGroup(QStringLiteral("Recent File List"));
        QCOMPARE(file.value("File1").toString(), paths[2]);
        QCOMPARE(file.value("File2").toString(), paths[4]);
        QCOMPARE(file.value("File3").toString(), paths[3]);
        QCOMPARE(file.value("File4").toString(), paths[1]);
        QVERIFY(!file.contains("File5"));
        file.endGroup();

        // The next start offers them; one that fails to open leaves the list.
        QFile::remove(paths[4]);
        Messages messages;
        RunningApp run;
        QVERIFY(run.Action(Res::ID_FILE_MRU_FILE1 + 1)->isVisible());
        run.Action(Res::ID_FILE_MRU_FILE1 + 1)->trigger();
        QCOMPARE(run.app.RecentFiles(), (QStringList{paths[2], paths[3], paths[1]}));
        QVERIFY(!run.Action(Res::ID_FILE_MRU_FILE1 + 3)->isVisible());
    }

private:
    std::unique_ptr<TempSettings> settings_;
};

QTEST_MAIN(TestSettings)
#include "TestSettings.moc"
