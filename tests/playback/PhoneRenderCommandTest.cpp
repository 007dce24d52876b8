// quellor-cli render --phone N: the file process writes, as the phone synthesizer plays it at
// N voices, with the channels its MIP message keeps; the same options as process, and the
// refusals.
#include "tests/playback/PhoneSupport.h"
#include "tests/playback/PlaybackSupport.h"

#include <algorithm>
#include <sstream>

using namespace playtest;
namespace fs = std::filesystem;

namespace {

// Channel 1 a piano chord of four notes, channel 2 an organ chord of four below it, each on
// a track of its own and without a MIP message: Quellor writes the message, 4 voices for the
// first channel by priority and 8 for both.
Bytes TwoChords() {
    return Cat({testfiles::Header(1, 2, 500), testfiles::TrackChunk(Chord(0, 0, {60, 64, 67, 72})),
                testfiles::TrackChunk(Chord(1, 19, {43, 50, 55, 62}))});
}

// The samples of a 22,050 Hz stereo 16-bit PCM WAV file; empty for any other file.
Samples SamplesOfWav(const fs::path& path) {
    const Bytes wav = ReadFile(path);
    const Bytes format = Cat({{'W', 'A', 'V', 'E', 'f', 'm', 't', ' '},
                              Hex("10 00 00 00 01 00 02 00 22 56 00 00 88 58 01 00 04 00 10 00"),
                              {'d', 'a', 't', 'a'}});
    if (wav.size() < 44 || !std::equal(format.begin(), format.end(), wav.begin() + 8))
        return {};
    Samples samples((wav.size() - 44) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(wav[44 + 2 * i] | wav[45 + 2 * i] << 8);
    return samples;
}

class PhoneRenderCommandTest : public testing::Test {
protected:
    // render --phone with `options`; the channels it says the phone plays ("" on failure).
    std::string Render(const fs::path& song, const std::string& wav, const std::string& options) {
        const CliResult r = RunCli("render " + Q(song) + " " + Q(dir_ / wav) + " " + options);
        EXPECT_EQ(r.exitCode, 0) << options << ": " << r.output;
        const std::string said = "Channels playing on a phone with ";
        const auto at = r.output.find(said);
        if (at == std::string::npos)
            return "";
        const auto colon = r.output.find(": ", at);
        return r.output.substr(colon + 2, r.output.find('\n', colon) - colon - 2);
    }
    // What the engine makes of the file process writes with `options` at `voices`.
    Samples EngineOfProcessed(const fs::path& song, const std::string& options, int voices) {
        const fs::path processed = dir_ / "processed.mid";
        const CliResult r = RunCli("process " + Q(song) + " " + Q(processed) + " " + options);
        EXPECT_EQ(r.exitCode, 0) << r.output;
        Samples samples;
        EXPECT_EQ(PhoneEngine::RenderSong(ReadFile(processed), voices, samples), PhoneError::None);
        return samples;
    }

    testfiles::TempDir dir_;
};

TEST_F(PhoneRenderCommandTest, APhoneDropsExactlyTheChannelsTheWrittenMipMessageDoesNotFit) {
    const fs::path song = dir_ / "chords.mid";
    WriteFile(song, TwoChords());
    // Alone: the file a save of one channel would be, at every voice.
    EXPECT_EQ(Render(song, "first.wav", "--phone 64 --channel 1"), "1");
    EXPECT_EQ(Render(song, "second.wav", "--phone 64 --channel 2"), "2");
    const Samples first = SamplesOfWav(dir_ / "first.wav");
    const Samples second = SamplesOfWav(dir_ / "second.wav");
    ASSERT_GT(Level(first), 300);
    ASSERT_GT(Level(second), 300);

    EXPECT_EQ(Render(song, "3.wav", "--phone 3"), "none");
    EXPECT_EQ(Level(SamplesOfWav(dir_ / "3.wav")), 0) << "no channel fits 3 voices";
    EXPECT_EQ(Render(song, "4.wav", "--phone 4"), "1");
    EXPECT_TRUE(SoundsLike(SamplesOfWav(dir_ / "4.wav"), first)) << "channel 2 dropped";
    EXPECT_EQ(Render(song, "8.wav", "--phone 8"), "1 2");
    const Samples both = SamplesOfWav(dir_ / "8.wav");
    EXPECT_GT(Level(both), 1.2 * Level(first));
    EXPECT_FALSE(SoundsLike(both, first));

    // The edits process takes change what the phone receives: with channel 2 first, 4
    // voices keep channel 2.
    EXPECT_EQ(Render(song, "swapped.wav", "--phone 4 --priority 2=1"), "2");
    EXPECT_TRUE(SoundsLike(SamplesOfWav(dir_ / "swapped.wav"), second));
    EXPECT_EQ(Render(song, "muted.wav", "--phone 8 --mute 1"), "2");
    EXPECT_TRUE(SoundsLike(SamplesOfWav(dir_ / "muted.wav"), second));
    // Without a MIP message (--action remove) a phone keeps every channel.
    EXPECT_EQ(Render(song, "nomip.wav", "--phone 4 --action remove"), "1 2");

    // A channel alone needs its own voices only: channel 2 fits 4 voices by itself.
    EXPECT_EQ(Render(song, "alone.wav", "--phone 4 --channel 2"), "2");
    EXPECT_EQ(Render(song, "short.wav", "--phone 3 --channel 2"), "none");
    EXPECT_EQ(Level(SamplesOfWav(dir_ / "short.wav")), 0);
}

TEST_F(PhoneRenderCommandTest, ItPlaysTheBytesProcessWritesTheSameOnEveryRun) {
    const fs::path song = dir_ / "chords.mid";
    WriteFile(song, TwoChords());
    for (const std::string options : {"", "--mute 2", "--text keep --priority 2=1"}) {
        Render(song, "a.wav", "--phone 4 " + options);
        Render(song, "b.wav", "--phone 4 " + options);
        EXPECT_EQ(ReadFile(dir_ / "a.wav"), ReadFile(dir_ / "b.wav")) << options;
        EXPECT_EQ(SamplesOfWav(dir_ / "a.wav"), EngineOfProcessed(song, options, 4)) << options;
    }
}

TEST_F(PhoneRenderCommandTest, RealSongsSoundAsTheEnginePlaysTheFilesProcessWrites) {
    std::vector<fs::path> songs = testfiles::RealSongs();
    if (songs.empty())
        GTEST_SKIP() << "the real test songs are not installed";
    // Every seventh of the songs, a few of each kind.
    std::vector<fs::path> some;
    for (std::size_t i = 0; i < songs.size(); i += 7)
        some.push_back(songs[i]);
    for (const fs::path& song : some) {
        std::string previous;
        for (int voices : {4, 8, 16}) {
            const std::string n = std::to_string(voices);
            const std::string kept = Render(song, n + ".wav", "--phone " + n);
            const Samples cli = SamplesOfWav(dir_ / (n + ".wav"));
            const Samples engine = EngineOfProcessed(song, "", voices);
            EXPECT_TRUE(SoundsLike(cli, engine)) << song << " at " << voices;
            EXPECT_TRUE(cli == engine) << song << " at " << voices << ": not sample for sample";
            // More voices keep the channels fewer voices keep, and more.
            std::istringstream list(previous);
            for (std::string ch; list >> ch;)
                EXPECT_NE((" " + kept + " ").find(" " + ch + " "), std::string::npos)
                    << song << " at " << voices << " lost channel " << ch;
            previous = kept == "none" ? "" : kept;
        }
    }
}

TEST_F(PhoneRenderCommandTest, BadVoicesAndMixedModesAreUsageErrorsAndLeaveNoFile) {
    const fs::path song = dir_ / "chords.mid";
    WriteFile(song, TwoChords());
    const std::string render = "render " + Q(song) + " " + Q(dir_ / "out.wav");
    for (const std::string options :
         {"--phone 0", "--phone 65", "--phone -1", "--phone eight", "--phone",
          "--phone 8 --voices 8", "--voices 8 --phone 8", "--phone 8 --soundfont x.sf2",
          "--text keep", "--phone 8 --mute 17", "--phone 8 --priority 1"}) {
        const CliResult r = RunCli(render + " " + options);
        EXPECT_EQ(r.exitCode, 2) << options << ": " << r.output;
        EXPECT_NE(r.output.find("quellor-cli: "), std::string::npos) << options;
        EXPECT_FALSE(fs::exists(dir_ / "out.wav")) << options;
    }
    const CliResult missing =
        RunCli("render " + Q(dir_ / "none.mid") + " " + Q(dir_ / "out.wav") + " --phone 8");
    EXPECT_EQ(missing.exitCode, 1) << missing.output;
    EXPECT_FALSE(fs::exists(dir_ / "out.wav"));
}

} // namespace
