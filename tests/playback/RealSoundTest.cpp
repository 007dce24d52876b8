// The system's own sound: the engine on FluidSynth's file driver (no sound card needed) or
// on no usable driver, and quellor-cli render, the WAV preview of a song, whole, one channel,
// or at a phone's voices.
#include "playback/FindSoundFont.h"
#include "playback/SongPlayer.h"
#include "tests/playback/PlaybackSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <sys/wait.h>

using namespace playtest;
namespace fs = std::filesystem;

namespace {

class RealSoundTest : public testing::Test {
protected:
    void SetUp() override {
        if (!FindSoundFont())
            GTEST_SKIP() << "no General MIDI SoundFont installed";
        if (const char* font = std::getenv("QUELLOR_SOUNDFONT"))
            font_ = font;
        setenv("QUELLOR_AUDIO_DRIVER", "file", 1);
        for (const auto& s : testfiles::RealSongs()) // the shortest keeps the renders quick
            if (song_.empty() || fs::file_size(s) < fs::file_size(song_))
                song_ = s;
    }
    // Puts the engine and the environment back as the suite runs them.
    void TearDown() override {
        ShutdownSoundEngine();
        setenv("QUELLOR_AUDIO_DRIVER", "file", 1);
        if (font_)
            setenv("QUELLOR_SOUNDFONT", font_->c_str(), 1);
        else
            unsetenv("QUELLOR_SOUNDFONT");
    }
    MemorySettingsStore store_;
    std::optional<std::string> font_;
    testfiles::TempDir dir_;
    fs::path song_;
};

TEST_F(RealSoundTest, TheSynthesizerPlaysASongOnTheFileDriver) {
    ASSERT_TRUE(StartSoundEngine(store_));
    EXPECT_TRUE(IsSoundReady());
    SongPlayer player;
    ASSERT_EQ(player.PlayBuffer(OneNote(200)), 0);
    EXPECT_TRUE(player.IsPlaying());
    const auto start = Clock::now();
    while (player.IsPlaying() && Clock::now() - start < 10s)
        std::this_thread::sleep_for(5ms);
    EXPECT_FALSE(player.IsPlaying());
    ShutdownSoundEngine();
    EXPECT_EQ(store_.values.count("MIDIOutputDeviceIndex"), 1u);
}

TEST_F(RealSoundTest, WithoutAUsableDriverOrSoundFontTheEngineDoesNotStart) {
    for (const auto& [variable, value] :
         {std::pair{"QUELLOR_AUDIO_DRIVER", "no-such-driver"},
          std::pair{"QUELLOR_SOUNDFONT", "/nonexistent/none.sf2"}}) {
        TearDown();
        setenv(variable, value, 1);
        store_.values.clear();
        EXPECT_FALSE(StartSoundEngine(store_)) << variable;
        EXPECT_FALSE(IsSoundReady());
        SongPlayer player;
        EXPECT_EQ(player.PlayBuffer(OneNote(10)), 1);
        player.StopPlayback();
        ShutdownSoundEngine();
        EXPECT_TRUE(store_.values.empty()) << variable;
    }
}

// The loudest sample of a 44.1 kHz stereo 16-bit PCM WAV file; -1 for another file.
int PeakOfWav(const fs::path& path) {
    const Bytes wav = ReadFile(path);
    auto le = [&wav](std::size_t at, int size) {
        std::uint32_t v = 0;
        for (int i = size - 1; i >= 0; --i)
            v = (v << 8) | wav[at + static_cast<std::size_t>(i)];
        return v;
    };
    if (wav.size() < 44 ||
        Bytes(wav.begin() + 8, wav.begin() + 36) !=
            Cat({{'W', 'A', 'V', 'E', 'f', 'm', 't', ' '},
                 Hex("10 00 00 00 01 00 02 00 44 AC 00 00 10 B1 02 00 04 00 10 00")}))
        return -1;
    EXPECT_EQ(le(4, 4), wav.size() - 8);
    EXPECT_EQ(le(40, 4), wav.size() - 44);
    int peak = 0;
    for (std::size_t i = 44; i + 1 < wav.size(); i += 2)
        peak = std::max(peak, std::abs(static_cast<int>(static_cast<std::int16_t>(le(i, 2)))));
    return peak;
}

// A WAV file whose loudest sample is the dither of the 16-bit conversion at most.
bool Silent(const fs::path& path) {
    const int peak = PeakOfWav(path);
    return peak >= 0 && peak <= 4;
}

class RenderCommandTest : public RealSoundTest {
protected:
    // Renders the song with the options; the channels it says play.
    std::string Render(const fs::path& song, const std::string& wav, const std::string& options) {
        const CliResult r = RunCli("render " + Q(song) + " " + Q(dir_ / wav) + " " + options);
        EXPECT_EQ(r.exitCode, 0) << r.output;
        const auto at = r.output.find(':', r.output.find("playing"));
        return at == std::string::npos ? ""
                                       : r.output.substr(at + 2, r.output.find('\n', at) - at - 2);
    }
};

TEST_F(RenderCommandTest, ARealSongSoundsTheSameEveryTimeAndFewerVoicesPlayFewerChannels) {
    if (song_.empty())
        GTEST_SKIP() << "the real test songs are not installed";
    const std::string all = Render(song_, "all.wav", "--voices 1000");
    Render(song_, "again.wav", "--voices 1000");
    const std::string few = Render(song_, "few.wav", "--voices 4");
    EXPECT_EQ(Render(song_, "none.wav", "--voices 0"), "none");
    EXPECT_GT(PeakOfWav(dir_ / "all.wav"), 1000);
    EXPECT_TRUE(ReadFile(dir_ / "all.wav") == ReadFile(dir_ / "again.wav"))
        << "the same on every run";
    EXPECT_FALSE(ReadFile(dir_ / "all.wav") == ReadFile(dir_ / "few.wav"));
    EXPECT_NE(few, "none");
    EXPECT_LT(few.size(), all.size());
    std::istringstream list(few); // the phone keeps a prefix of the priority order
    for (std::string ch; list >> ch;)
        EXPECT_NE((" " + all + " ").find(" " + ch + " "), std::string::npos) << ch;
    EXPECT_GT(PeakOfWav(dir_ / "few.wav"), 100);
    EXPECT_TRUE(Silent(dir_ / "none.wav"));
}

TEST_F(RenderCommandTest, AnUnusedChannelAloneIsSilent) {
    WriteFile(dir_ / "one.mid", OneNote(300)); // channel 1 plays; channel 16 has nothing
    Render(dir_ / "one.mid", "1.wav", "--channel 1");
    Render(dir_ / "one.mid", "16.wav", "--channel 16");
    EXPECT_GT(PeakOfWav(dir_ / "1.wav"), 100);
    EXPECT_TRUE(Silent(dir_ / "16.wav"));
}

TEST_F(RenderCommandTest, RefusalsLeaveNoFile) {
    // at the slowest tempo with a division of 1, one long delta lasts about 52 days
    WriteFile(
        dir_ / "long.mid",
        Cat({testfiles::Header(0, 1, 1),
             testfiles::TrackChunk(Hex("00 FF 51 03 FF FF FF 00 90 3C 64 FF FF FF 7F 80 3C 00"))}));
    const std::string render = "render " + Q(dir_ / "long.mid") + " " + Q(dir_ / "out.wav");
    const struct {
        std::string arguments, environment, message;
    } cases[] = {{render, "", "4 GiB"},
                 {render, "QUELLOR_SOUNDFONT=/nonexistent/none.sf2", "no SoundFont"},
                 {render + " --soundfont /nope.sf2", "", "no SoundFont"}};
    for (const auto& c : cases) {
        const CliResult r = RunCli(c.arguments, c.environment);
        EXPECT_EQ(r.exitCode, 1) << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(dir_ / "out.wav")) << c.message;
    }
}

} // namespace
