// The phone preview in the program: the voice choice on the toolbar, in the Options menu,
// in the status bar and in the settings, and Play, Play Solo and Stop on a phone's voices.
#include "resources/MenuTable.h"
#include "resources/resource.h"
#include "tests/app/AppTestSupport.h"

#include "playback/PhoneEngine.h"
#include "song/ChannelCommands.h"

#include <QLabel>
#include <QMenu>
#include <QProgressBar>

using namespace apptest;

namespace {

using Samples = std::vector<std::int16_t>;

QComboBox* VoicesCombo(QWidget& root) {
    return Control<QComboBox>(root, "voicesCombo_1080");
}
QString VoicesPane(QWidget& root) {
    return Control<QLabel>(root, "pane_59001")->text();
}
// Pulls what the sound card would until the song has played out.
void PullToTheEnd(CollectingAudioSink::State& audio) {
    while (audio.PullFrames(1024) == 1024) {
    }
}
// What the phone synthesizer makes of a file at `voices`.
Samples PhoneRender(const QString& path, int voices) {
    const QByteArray bytes = ReadAll(path);
    Samples samples;
    PhoneEngine::RenderSong(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), voices, samples);
    return samples;
}

} // namespace

class TestPhonePreview : public AppTest {
    Q_OBJECT

private slots:
    void theVoiceChoiceIsKeptAndShownInEveryPlace() {
        Store("PlaybackVoices", 8);
        CMainFrame& f = Start().Frame();
        QVERIFY(run->Action(Res::ID_VOICES_FULL + 2)->isChecked());
        QVERIFY(!run->Action(Res::ID_VOICES_FULL)->isChecked());
        QCOMPARE(VoicesCombo(f)->currentText(), "8 Voices");
        QCOMPARE(VoicesPane(f), "Voices: 8");

        // The toolbar's drop-down moves the menu's mark and the pane, and the other way round.
        Choose(VoicesCombo(f), 0);
        QCOMPARE(run->Doc().GetPlaybackVoices(), 0);
        QVERIFY(run->Action(Res::ID_VOICES_FULL)->isChecked());
        QCOMPARE(VoicesPane(f), "Voices: all");
        run->Action(Res::ID_VOICES_LAST)->trigger();
        QCOMPARE(VoicesCombo(f)->currentText(), "64 Voices");
        QCOMPARE(VoicesPane(f), "Voices: 64");

        // The Options menu ends with the choices, after the ones it had.
        QMenu* voices = run->app.OptionsSubmenu(MenuTable::kPlaybackVoicesPosition);
        QVERIFY(voices != nullptr);
        QCOMPARE(voices->actions().size(), 8);
        QCOMPARE(voices->actions().first()->text().remove('&'), "Full Synthesizer");
        QCOMPARE(voices->actions().at(1)->text().remove('&'), "Phone, 5 Voices");
        QCOMPARE(run->app.OptionsSubmenu(MenuTable::kPriorityProposalPosition)->title().remove('&'),
                 "Priority Proposal");
        run->Action(Res::ID_VOICES_FULL + 4)->trigger();
        run.reset();
        QCOMPARE(Stored("PlaybackVoices"), "16");

        // A count the program does not offer plays on the full synthesizer.
        Store("PlaybackVoices", 7);
        Start();
        QCOMPARE(run->Doc().GetPlaybackVoices(), 0);
        QCOMPARE(VoicesPane(run->Frame()), "Voices: all");
        run.reset();
        QCOMPARE(Stored("PlaybackVoices"), "0");
    }

    void playOnAPhoneSendsTheSavedSongToTheSoundOutputAndStopEndsIt() {
        Store("PlaybackVoices", 8);
        CMainFrame& f = OpenDemo();
        CollectingAudioSink::State& audio = *run->audio;
        auto* bar = Control<QProgressBar>(f, "progress_1070");
        run->Action(Res::ID_PLAY)->trigger();
        QVERIFY(audio.Started());
        QVERIFY(run->Doc().IsPlaying());
        QVERIFY(run->Action(Res::ID_STOP)->isEnabled());
        QCOMPARE(f.View().ProgressTimerInterval(), 20);
        QVERIFY2(run->output->Messages().empty(), "the synthesizer stays silent");
        // Eight seconds of the song's sixteen: the bar follows what the sound card took.
        QCOMPARE(audio.PullFrames(8 * PhoneEngine::kSampleRate), 8 * PhoneEngine::kSampleRate);
        QTRY_VERIFY(bar->value() > 100 && bar->value() < 160);
        run->Action(Res::ID_STOP)->trigger();
        QVERIFY(!audio.Started());
        QVERIFY(!run->Doc().IsPlaying());
        QVERIFY(!run->Action(Res::ID_STOP)->isEnabled());
        QCOMPARE(f.View().ProgressTimerInterval(), 0);

        // Played to its end, it is the file a save writes, as the phone plays it.
        run->Action(Res::ID_PLAY)->trigger();
        PullToTheEnd(audio);
        QTRY_VERIFY(!run->Doc().IsPlaying());
        QVERIFY(run->Doc().OnSaveDocument(FilePath("saved.mid")));
        QCOMPARE(audio.samples, PhoneRender(FilePath("saved.mid"), 8));
        const Samples before = audio.samples;

        // A mute and a new priority play at once, with no save in between.
        ChannelCommands::ToggleMute(run->Doc(), 4);
        ChannelCommands::SetPriority(run->Doc(), 1, 1);
        run->Doc().UpdateAllViews(0);
        run->Action(Res::ID_PLAY)->trigger();
        PullToTheEnd(audio);
        QVERIFY(audio.samples != before);
        QVERIFY(run->Doc().OnSaveDocument(FilePath("edited.mid")));
        QCOMPARE(audio.samples, PhoneRender(FilePath("edited.mid"), 8));
        QVERIFY(boxes.empty());
    }

    void playSoloPlaysTheChannelAloneAndTheFullSynthesizerIsAsBefore() {
        Store("PlaybackVoices", 5);
        CMainFrame& f = OpenDemo();
        CollectingAudioSink::State& audio = *run->audio;
        // Channel 2 needs 3 voices: alone it fits 5, although the whole song's MIP message
        // leaves it out at 5 (its sum is 8).
        ClickRow(f, "2");
        run->Action(Res::ID_PLAY_SOLO)->trigger();
        QCOMPARE(f.View().ProgressTimerInterval(), 50);
        PullToTheEnd(audio);
        const Samples solo = audio.samples;
        double level = 0;
        for (std::int16_t s : solo)
            level = std::max(level, std::abs(double(s)));
        QVERIFY(level > 1000);
        run->Action(Res::ID_PLAY)->trigger();
        PullToTheEnd(audio);
        QVERIFY(audio.samples != solo);
        QCOMPARE(audio.starts, 2);

        // The full synthesizer plays through the MIDI output again, not the phone's.
        Choose(VoicesCombo(f), 0);
        run->Action(Res::ID_PLAY)->trigger();
        QTRY_VERIFY(!run->output->Messages().empty());
        QCOMPARE(audio.starts, 2);
        QVERIFY(!audio.Started());
        run->Action(Res::ID_STOP)->trigger();
    }

    void withoutASoundOutputThePhoneSaysSoOnceAndTheProgramRunsOn() {
        Store("PlaybackVoices", 12);
        Start({DemoSong()}, false);
        QCOMPARE(boxes.size(), std::size_t{1}); // the synthesizer's own start-up message
        boxes.clear();
        run->audio->works = false;
        QVERIFY2(run->Action(Res::ID_PLAY)->isEnabled(), "the phone has an output of its own");
        QVERIFY(!run->Action(Res::ID_MIDI_OUTPUT_FIRST)->isEnabled());
        run->Action(Res::ID_PLAY)->trigger();
        QVERIFY(OnlyBox(UserPrompt::Icon::Warning).contains("no sound output"));
        QVERIFY(OnlyBox(UserPrompt::Icon::Warning).contains("no sound card"));
        run->Action(Res::ID_PLAY)->trigger();
        run->Action(Res::ID_PLAY_SOLO)->trigger();
        QCOMPARE(boxes.size(), std::size_t{1});
        QVERIFY(!run->Doc().IsPlaying());
        QVERIFY(!run->Action(Res::ID_STOP)->isEnabled());
        // The full synthesizer is as it was: it did not start, so Play is off.
        Choose(VoicesCombo(run->Frame()), 0);
        QVERIFY(!run->Action(Res::ID_PLAY)->isEnabled());
    }
};

QTEST_MAIN(TestPhonePreview)
#include "TestPhonePreview.moc"
