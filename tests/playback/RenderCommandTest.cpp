// quellor-cli render: the WAV preview of a song, whole, one channel, or at a phone's voices.
#include "FindSoundFont.h"
#include "SongBytes.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

#ifdef QUELLOR_CLI

namespace {

using testfiles::Bytes;

struct CliResult {
    int exitCode = -1;
    std::string output; // stdout and stderr
};

CliResult RunCli(const std::string& arguments, const std::string& environment = "") {
    const std::string command = environment + " '" QUELLOR_CLI "' " + arguments + " 2>&1";
    CliResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t Le(const Bytes& b, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return v;
}

// Checks the header of a 44.1 kHz stereo 16-bit WAV and returns its loudest sample.
int PeakOfWav(const Bytes& wav) {
    EXPECT_GE(wav.size(), 44u);
    if (wav.size() < 44)
        return -1;
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(Le(wav, 4, 4), wav.size() - 8);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le(wav, 22, 2), 2u);
    EXPECT_EQ(Le(wav, 24, 4), 44100u);
    EXPECT_EQ(Le(wav, 34, 2), 16u);
    EXPECT_EQ(Le(wav, 40, 4), wav.size() - 44);
    int peak = 0;
    for (std::size_t i = 44; i + 1 < wav.size(); i += 2) {
        const auto sample = static_cast<std::int16_t>(Le(wav, i, 2));
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    return peak;
}

// The dither of the 16-bit conversion leaves a sample or two of noise in silence.
constexpr int kSilencePeak = 4;

class RenderCommandTest : public testing::Test {
protected:
    void SetUp() override {
        if (!FindSoundFont())
            GTEST_SKIP() << "no General MIDI SoundFont installed";
    }
    static std::string Quote(const std::filesystem::path& path) {
        std::string quoted(1, '\'');
        quoted += path.string();
        quoted += '\'';
        return quoted;
    }
    testfiles::TempDir dir_;
};

// The shortest of the real songs keeps the renders quick.
std::filesystem::path ShortRealSong() {
    std::filesystem::path best;
    std::uintmax_t bestSize = 0;
    for (const auto& song : testfiles::RealSongs()) {
        const std::uintmax_t size = std::filesystem::file_size(song);
        if (best.empty() || size < bestSize) {
            best = song;
            bestSize = size;
        }
    }
    return best;
}

// The channel numbers after the "playing" line's colon.
std::string PlayingLine(const std::string& output) {
    const auto at = output.find("playing");
    if (at == std::string::npos)
        return "";
    const auto colon = output.find(':', at);
    return output.substr(colon + 2, output.find('\n', colon) - colon - 2);
}

TEST_F(RenderCommandTest, ARealSongSoundsAndRendersTheSameEveryTime) {
    const auto song = ShortRealSong();
    if (song.empty())
        GTEST_SKIP() << "the real test songs are not installed";
    const auto first = dir_ / "first.wav";
    const auto second = dir_ / "second.wav";
    const CliResult a = RunCli("render " + Quote(song) + " " + Quote(first));
    ASSERT_EQ(a.exitCode, 0) << a.output;
    const CliResult b = RunCli("render " + Quote(song) + " " + Quote(second));
    ASSERT_EQ(b.exitCode, 0) << b.output;
    const Bytes wav = ReadFile(first);
    EXPECT_GT(PeakOfWav(wav), 1000);
    EXPECT_TRUE(wav == ReadFile(second));
}

TEST_F(RenderCommandTest, FewerVoicesPlayFewerChannelsAndNoVoicesNone) {
    const auto song = ShortRealSong();
    if (song.empty())
        GTEST_SKIP() << "the real test songs are not installed";
    const CliResult all =
        RunCli("render " + Quote(song) + " " + Quote(dir_ / "all.wav") + " --voices 1000");
    ASSERT_EQ(all.exitCode, 0) << all.output;
    const CliResult few =
        RunCli("render " + Quote(song) + " " + Quote(dir_ / "few.wav") + " --voices 4");
    ASSERT_EQ(few.exitCode, 0) << few.output;
    const CliResult none =
        RunCli("render " + Quote(song) + " " + Quote(dir_ / "none.wav") + " --voices 0");
    ASSERT_EQ(none.exitCode, 0) << none.output;

    const std::string allChannels = PlayingLine(all.output);
    const std::string fewChannels = PlayingLine(few.output);
    EXPECT_EQ(PlayingLine(none.output), "none");
    EXPECT_NE(fewChannels, "none");
    EXPECT_LT(fewChannels.size(), allChannels.size());
    // The phone keeps a prefix of the priority order.
    std::istringstream fewList(fewChannels);
    for (std::string ch; fewList >> ch;)
        EXPECT_NE((" " + allChannels + " ").find(" " + ch + " "), std::string::npos) << ch;

    const Bytes fewWav = ReadFile(dir_ / "few.wav");
    EXPECT_GT(PeakOfWav(fewWav), 100);
    EXPECT_FALSE(fewWav == ReadFile(dir_ / "all.wav"));
    EXPECT_LE(PeakOfWav(ReadFile(dir_ / "none.wav")), kSilencePeak);
}

TEST_F(RenderCommandTest, AnUnusedChannelAloneIsSilent) {
    // Channel 1 plays; channel 16 has nothing.
    const auto midi = dir_ / "one.mid";
    const Bytes bytes = songbytes::OneNote(300);
    std::ofstream(midi, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    const CliResult used =
        RunCli("render " + Quote(midi) + " " + Quote(dir_ / "1.wav") + " --channel 1");
    ASSERT_EQ(used.exitCode, 0) << used.output;
    const CliResult unused =
        RunCli("render " + Quote(midi) + " " + Quote(dir_ / "16.wav") + " --channel 16");
    ASSERT_EQ(unused.exitCode, 0) << unused.output;
    EXPECT_GT(PeakOfWav(ReadFile(dir_ / "1.wav")), 100);
    EXPECT_LE(PeakOfWav(ReadFile(dir_ / "16.wav")), kSilencePeak);
}

TEST_F(RenderCommandTest, RefusalsLeaveNoFile) {
    const auto midi = dir_ / "long.mid";
    // At the slowest tempo with a division of 1, one long delta lasts about 52 days.
    const Bytes longSong =
        testfiles::Cat({testfiles::Header(0, 1, 1),
                        testfiles::TrackChunk(testfiles::Cat({{0x00},
                                                              songbytes::Tempo(0xFFFFFF),
                                                              {0x00, 0x90, 0x3C, 0x64},
                                                              songbytes::Delta(0x0FFFFFFF),
                                                              {0x80, 0x3C, 0x00}}))});
    std::ofstream(midi, std::ios::binary)
        .write(reinterpret_cast<const char*>(longSong.data()),
               static_cast<std::streamsize>(longSong.size()));
    struct Case {
        const char* what;
        std::string arguments;
        std::string environment;
        std::string message;
    };
    const std::string out = Quote(dir_ / "out.wav");
    const Case cases[] = {
        {"WAV over 4 GiB", "render " + Quote(midi) + " " + out, "", "4 GiB"},
        {"no SoundFont", "render " + Quote(midi) + " " + out,
         "QUELLOR_SOUNDFONT=/nonexistent/none.sf2", "no SoundFont"},
        {"missing --soundfont", "render " + Quote(midi) + " " + out + " --soundfont /nope.sf2", "",
         "no SoundFont"},
    };
    for (const Case& c : cases) {
        const CliResult r = RunCli(c.arguments, c.environment);
        EXPECT_EQ(r.exitCode, 1) << c.what << ": " << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.what << ": " << r.output;
        EXPECT_FALSE(std::filesystem::exists(dir_ / "out.wav")) << c.what;
    }
}

} // namespace

#endif
