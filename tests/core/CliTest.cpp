// quellor-cli as a black box, and the batch processor behind its batch command.
#include "CoreSupport.h"

#include "BatchProcessor.h"
#include "ChannelCommands.h"

#include <algorithm>
#include <functional>
#include <set>
#include <sys/stat.h>

using namespace core;
namespace fs = std::filesystem;

namespace {

Outcome Cli(const std::string& args) {
    return Exec(Quote(QUELLOR_CLI) + " " + args);
}

std::string Q(const fs::path& p) {
    return Quote(p.string());
}

// Three channels: a piano chord (two notes) on 1, a monophonic bass on 2, drums on 10.
const Bytes kThreeChannels =
    Song(1, 96, {Cat({Meta(0x03, "Lead"), {0x00, 0xC0, 0x00,            // channel 1: piano
                                           0x00, 0x90, 0x3C, 0x40,      //
                                           0x00, 0x90, 0x40, 0x40,      // two notes at once
                                           0x00, 0xC1, 0x22,            // channel 2: bass
                                           0x00, 0x91, 0x24, 0x50,      //
                                           0x00, 0x99, 0x24, 0x60,      // channel 10
                                           0x60, 0x80, 0x3C, 0x40,      // 500 ms: releases
                                           0x00, 0x80, 0x40, 0x40,      //
                                           0x00, 0x81, 0x24, 0x40}})}); //

bool HasSysEx(const fs::path& file) {
    SongFile song;
    SongSwitches::SetSysexStripping(false);
    song.LoadFile(file.string());
    for (const Track& t : song.tracks)
        for (const SongEvent& e : t.events)
            if (e.GetCode() == 0xF0)
                return true;
    return false;
}

class CliTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        in = dir / "in.mid";
        out = dir / "out.mid";
        WriteFile(in, kThreeChannels);
    }
    testfiles::TempDir dir;
    fs::path in, out;
};

// ---------------------------------------------------------------- dump

TEST_F(CliTest, DumpPrintsEveryEvent) {
    WriteFile(in, Song(1, 96,
                       {Cat({Meta(0x03, "AB"), {0x00, 0x90, 0x3C, 0x40, 0x60, 0x80, 0x3C, 0x40}}),
                        {0x00, 0xC0, 0x05}}));
    const Outcome r = Cli("dump " + Q(in));
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "# format 1 division 96\n"
                     "0\t0\t1\t03 41 42\n"
                     "0\t0\t0\t90 3C 40\n"
                     "0\t500\t0\t80 3C 40\n"
                     "0\t500\t1\t09 00 01\n"
                     "1\t0\t0\tC0 05\n"
                     "1\t0\t1\t09 00 02\n");

    WriteFile(out, Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E'});
    const Outcome refused = Cli("dump " + Q(out));
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("not a Standard MIDI File"), std::string::npos) << refused.err;
    const Outcome missing = Cli("dump " + Q(dir / "missing.mid"));
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("No such file"), std::string::npos) << missing.err;
    EXPECT_EQ(Cli("dump").code, 2);
}

// ---------------------------------------------------------------- info

TEST_F(CliTest, InfoJsonHasEveryKey) {
    const Outcome r = Cli("info --json " + Q(in));
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string keys =
        R"("path": |"title": "in"|"format": 1|"division": 96|"durationMs": 500|"tracks": 1|)"
        R"("loadResult": 1|"sourceMip": "no"|"sequencePolyphony": 4|"vibraChannel": null|)"
        R"("channel11Percussion": false|"leftOut": []|"channels": [|"channel": 1|)"
        R"("instrument": "Percussive"|"program": 34|"maxPolyphony": 2|"polyphony": 1|)"
        R"("priority": 3|"mip": 4|"enabled": true|"noteCount": 2|"velocitySum": 128|)"
        R"("maxVolume": 100)";
    std::stringstream list(keys);
    for (std::string key; std::getline(list, key, '|');)
        EXPECT_NE(r.out.find(key), std::string::npos) << key << " in " << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << "one JSON object";
    // the weighting system: piano first, drums second; by channel number: 1, 2, 10
    EXPECT_LT(r.out.find("\"channel\": 1,"), r.out.find("\"channel\": 10,"));
    EXPECT_LT(r.out.find("\"channel\": 10,"), r.out.find("\"channel\": 2,"));
    const Outcome byChannel = Cli("info --json --prio channel " + Q(in));
    EXPECT_LT(byChannel.out.find("\"channel\": 2,"), byChannel.out.find("\"channel\": 10,"));
    EXPECT_NE(r.out.find("\"Electric Bass(finger)\""), std::string::npos) << "reduced map";
    const Outcome gm = Cli("info --json --map gm " + Q(in));
    EXPECT_NE(gm.out.find("\"Electric Bass(pick)\""), std::string::npos);
    const Outcome human = Cli("info " + Q(in));
    EXPECT_EQ(human.code, 0);
    EXPECT_NE(human.out.find("Electric Bass(finger)"), std::string::npos);
}

TEST_F(CliTest, InfoExitCodes) {
    WriteFile(out, Song(0, 96, {{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}}));
    const Outcome tempoOnly = Cli("info --json " + Q(out));
    EXPECT_EQ(tempoOnly.code, 0);
    EXPECT_NE(tempoOnly.out.find("\"loadResult\": 7"), std::string::npos);

    WriteFile(out,
              Song(0, 96, {Cat({Meta(0x01, std::string(70000, 'x')), {0x00, 0x90, 0x3C, 0x40}})}));
    const Outcome tooLarge = Cli("info --json " + Q(out));
    EXPECT_EQ(tooLarge.code, 0);
    EXPECT_NE(tooLarge.out.find("\"loadResult\": 8"), std::string::npos);
    EXPECT_EQ(tooLarge.out.find("\"leftOut\": []"), std::string::npos);

    WriteFile(out, Bytes{'n', 'o', 'p', 'e'});
    EXPECT_EQ(Cli("info " + Q(out)).code, 1);
    const Outcome missing = Cli("info " + Q(dir / "missing.mid"));
    EXPECT_EQ(missing.code, 1);
    EXPECT_FALSE(missing.err.empty());
    for (const std::string& usage :
         std::vector<std::string>{"info", "info --prio fast " + Q(in), "info --bogus " + Q(in),
                                  "info " + Q(in) + " " + Q(in), "frobnicate"})
        EXPECT_EQ(Cli(usage).code, 2) << usage;
    EXPECT_EQ(Cli("--help").code, 0);
    EXPECT_EQ(Cli("--version").code, 0);
}

// ---------------------------------------------------------------- process

TEST_F(CliTest, ProcessWritesTheEditedSong) {
    struct {
        std::string edits;
        std::function<void(const SongFile&)> check;
    } cases[] = {
        {"", [](const SongFile& s) { EXPECT_EQ(ChannelCommands::SourceMipText(s), "yes"); }},
        {"--mute 2", [](const SongFile& s) { EXPECT_FALSE(s.IsChannelUsed(1)); }},
        {"--remove 1", [](const SongFile& s) { EXPECT_FALSE(s.IsChannelUsed(0)); }},
        {"--duplicate 2=5",
         [](const SongFile& s) {
             EXPECT_TRUE(s.IsChannelUsed(4));
             EXPECT_EQ(s.GetPriority(4), 4);
         }},
        {"--priority 2=1", [](const SongFile& s) { EXPECT_EQ(s.GetPriority(1), 1); }},
        {"--polyphony 1=1", [](const SongFile& s) { EXPECT_EQ(s.GetPolyphony(0), 1); }},
        {"--vibra 2 --prio channel",
         [](const SongFile& s) {
             EXPECT_EQ(s.vibraChannel, 1);
             EXPECT_EQ(s.GetPriority(1), 2);
         }},
        {"--add-vibra --vibra-mode 1",
         [](const SongFile& s) {
             EXPECT_EQ(s.vibraChannel, 2);
             EXPECT_EQ(SongSwitches::GetVibraMode(), 1u);
         }},
        {"--action remove", [](const SongFile& s) { EXPECT_FALSE(s.hasMipMessage); }},
        // one track: written as format 0, so its name names the song
        {"--text keep", [](const SongFile& s) { EXPECT_EQ(s.GetTitle(), "Lead"); }},
        {"--text strip", [](const SongFile& s) { EXPECT_EQ(s.GetTitle(), ""); }},
    };
    for (const auto& c : cases) {
        fs::remove(out);
        const Outcome r = Cli("process " + Q(in) + " " + Q(out) + " " + c.edits);
        ASSERT_EQ(r.code, 0) << c.edits << ": " << r.err;
        SongFile song;
        SongSwitches::SetVibraMode(0);
        ASSERT_TRUE(song.LoadFile(out.string())) << c.edits;
        c.check(song);
    }
}

TEST_F(CliTest, ProcessRefusesWhatTheProgramNeverAllows) {
    const Bytes old = {1, 2, 3};
    WriteFile(out, old);
    for (const std::string edit :
         {"--duplicate 1=10", "--duplicate 1=2", "--vibra 1", "--mute 7", "--priority 1=4",
          "--priority 5=1", "--polyphony 1=3", "--duplicate 1", "--bogus", "--action keep"}) {
        const Outcome r = Cli("process " + Q(in) + " " + Q(out) + " " + edit);
        EXPECT_EQ(r.code, 2) << edit;
        EXPECT_EQ(ReadFile(out), old) << edit << ": the output stays untouched";
    }
    EXPECT_EQ(Cli("process " + Q(dir / "missing.mid") + " " + Q(out)).code, 1);
    WriteFile(dir / "text.mid", Bytes{'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(Cli("process " + Q(dir / "text.mid") + " " + Q(out)).code, 1);
    EXPECT_EQ(ReadFile(out), old);
    EXPECT_EQ(Cli("process " + Q(in)).code, 2);
}

TEST_F(CliTest, ProcessOntoItself) {
    const Outcome r = Cli("process --json " + Q(in) + " " + Q(in) + " --action leave");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\"channels\": ["), std::string::npos);
    EXPECT_TRUE(HasSysEx(in)) << "the MIP message";
    const Outcome removed = Cli("process " + Q(in) + " " + Q(in) + " --action remove");
    ASSERT_EQ(removed.code, 0);
    EXPECT_FALSE(HasSysEx(in));
    SongFile song;
    EXPECT_TRUE(song.LoadFile(in.string()));
    EXPECT_EQ(song.noteCount[0], 2u);
}

// ---------------------------------------------------------------- batch

TEST_F(CliTest, BatchFolder) {
    const fs::path src = dir / "src", dst = dir / "songs.new";
    fs::create_directories(src / "x.mid");
    fs::create_directories(dst);
    WriteFile(src / "a.mid", kThreeChannels);
    WriteFile(src / "B.MID", kThreeChannels);
    WriteFile(src / "c.txt", kThreeChannels);
    WriteFile(src / "y.mid", Bytes{'t', 'e', 'x', 't'});
    const fs::path real = testfiles::RealSongs().at(0);
    fs::copy_file(real, src / real.filename());
    ASSERT_EQ(mkfifo((src / "z.mid").c_str(), 0600), 0);

    const Outcome r = Cli("batch " + Q(src) + " " + Q(dst));
    EXPECT_EQ(r.code, 1);
    std::vector<std::string> lines;
    std::stringstream ss(r.out);
    for (std::string line; std::getline(ss, line);)
        lines.push_back(line);
    const std::string title = real.stem().string();
    // by name ignoring case; failures carry their reason after a second tab
    std::vector<std::pair<std::string, std::string>> expected = {
        {"a", "a\tOK"},       {"b", "B\tOK"},       {title, title + "\tOK"},
        {"x", "x\tFailed\t"}, {"y", "y\tFailed\t"}, {"z", "z\tFailed\t"}};
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(lines.size(), 7u) << r.out;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(lines[i].rfind(expected[i].second, 0), 0u) << lines[i];
        EXPECT_EQ(lines[i].find("Failed") == std::string::npos,
                  lines[i].size() == expected[i].second.size())
            << lines[i];
    }
    EXPECT_EQ(lines[6], "Processed: 6/6");
    std::set<std::string> outputs;
    for (const auto& e : fs::directory_iterator(dst))
        outputs.insert(e.path().filename().string());
    EXPECT_EQ(outputs, (std::set<std::string>{"a.mid", "B.mid", title + ".mid"}));
    EXPECT_FALSE(fs::exists(dir / "songs"));

    EXPECT_EQ(Cli("batch " + Q(dir / "nowhere") + " " + Q(dst)).code, 2);
    EXPECT_EQ(Cli("batch " + Q(src)).code, 2);
    EXPECT_EQ(Cli("batch " + Q(src) + " " + Q(dst) + " --action twice").code, 2);
}

TEST_F(CliTest, BatchIntoItsOwnFolder) {
    const fs::path src = dir / "same";
    fs::create_directories(src);
    WriteFile(src / "a.mid", kThreeChannels);
    WriteFile(src / "b.mid", kThreeChannels);
    const Outcome ok = Cli("batch " + Q(src) + " " + Q(src));
    EXPECT_EQ(ok.code, 0) << ok.out;
    EXPECT_EQ(ok.out, "a\tOK\nb\tOK\nProcessed: 2/2\n");
    EXPECT_TRUE(HasSysEx(src / "a.mid")) << "processed in place";

    // a.mid and a.MID both want a.mid: the second is refused, no source is lost
    WriteFile(src / "a.MID", kThreeChannels);
    const Outcome clash = Cli("batch " + Q(src) + " " + Q(src));
    EXPECT_EQ(clash.code, 1);
    EXPECT_NE(clash.out.find("Failed"), std::string::npos);
    EXPECT_EQ(ReadFile(src / "a.MID"), kThreeChannels);
}

// The batch run in-process: the MIDI actions, the text switch, the vibra option, stopping.
class BatchRun : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        fs::create_directories(src);
        fs::create_directories(dst);
    }
    std::vector<BatchFileEntry> RunBatch(const BatchProcessor::Options& options,
                                         std::size_t stopAfter = SIZE_MAX) {
        std::vector<BatchFileEntry> entries;
        std::string error;
        EXPECT_TRUE(BatchProcessor::FindFiles(src.string(), entries, error)) << error;
        BatchProcessor batch;
        std::size_t reports = 0;
        batch.Start(
            std::move(entries), dst.string(), options,
            [&](std::size_t index, std::size_t) {
                EXPECT_EQ(index, reports++);
                if (index + 1 == stopAfter)
                    batch.RequestStop();
            },
            nullptr);
        batch.Join();
        EXPECT_FALSE(batch.IsRunning());
        return batch.Entries();
    }
    testfiles::TempDir dir;
    // paths far longer than 260 characters
    fs::path src = dir / std::string(150, 's') / std::string(150, 'S');
    fs::path dst = dir / std::string(150, 'd') / std::string(150, 'D');
};

TEST_F(BatchRun, ActionsTextAndVibra) {
    WriteFile(src / "song.mid", kThreeChannels);
    struct {
        int action;
        bool removeText, addVibra;
        bool mip, name;
        int vibra;
    } cases[] = {{BatchProcessor::RemoveSpMidi, true, true, false, false, -1},
                 {BatchProcessor::LeaveSpMidi, false, true, true, true, -1},
                 {BatchProcessor::UpdateSpMidi, true, false, true, false, -1},
                 {BatchProcessor::UpdateSpMidi, false, true, true, true, 2}};
    for (const auto& c : cases) {
        const auto entries = RunBatch({c.action, c.removeText, c.addVibra});
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].result, BatchFileEntry::Processed) << entries[0].reason;
        SongFile song;
        ASSERT_TRUE(song.LoadFile((dst / "song.mid").string()));
        EXPECT_EQ(song.hasMipMessage, c.mip) << c.action;
        EXPECT_EQ(song.GetTitle() == "Lead", c.name) << c.action;
        EXPECT_EQ(song.vibraChannel, c.vibra) << c.action;
        if (c.vibra >= 0) {
            EXPECT_EQ(ChannelCommands::SourceMipText(song), "yes");
        }
    }
}

TEST_F(BatchRun, StopsAfterTheCurrentFileAndForgetsOldStops) {
    for (int i = 0; i < 10; ++i)
        WriteFile(src / std::string(1, static_cast<char>('a' + i)).append(".mid"), kThreeChannels);
    const auto stopped = RunBatch({}, 3);
    ASSERT_EQ(stopped.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(stopped[i].result, i < 3 ? BatchFileEntry::Processed : BatchFileEntry::Pending);
    EXPECT_STREQ(stopped[3].ResultText(), "-");
    EXPECT_FALSE(fs::exists(dst / "d.mid"));

    const auto again = RunBatch({});
    for (const BatchFileEntry& e : again)
        EXPECT_EQ(e.result, BatchFileEntry::Processed);
}

TEST_F(BatchRun, VibraModeFoundInAFileHoldsForTheFilesAfterIt) {
    WriteFile(src / "a.mid",
              Song(0, 96, {Cat({Cc(3, 0, 121), Cc(3, 32, 6), Pc(3, 124), On(3, 60)})}));
    WriteFile(src / "b.mid", kThreeChannels);
    RunBatch({BatchProcessor::UpdateSpMidi, true, true});
    EXPECT_EQ(SongSwitches::GetVibraMode(), 1u);
    SongSwitches::SetVibraMode(0);
    SongFile song;
    ASSERT_TRUE(song.LoadFile((dst / "b.mid").string()));
    EXPECT_EQ(song.vibraChannel, 2);
    EXPECT_EQ(SongSwitches::GetVibraMode(), 1u) << "b's vibra setup uses program 124";
}

TEST_F(BatchRun, ShortenedOrBrokenFilesAreNotWritten) {
    WriteFile(src / "big.mid",
              Song(0, 96, {Cat({Meta(0x01, std::string(70000, 'x')), {0x00, 0x90, 0x3C, 0x40}})}));
    WriteFile(src / "cut.mid", Bytes(kThreeChannels.begin(), kThreeChannels.begin() + 30));
    WriteFile(src / "empty.mid", Bytes{});
    const auto entries = RunBatch({});
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].result, BatchFileEntry::Failed);
    EXPECT_FALSE(entries[0].reason.empty());
    EXPECT_EQ(entries[2].result, BatchFileEntry::Failed);
    EXPECT_FALSE(fs::exists(dst / "big.mid"));
    EXPECT_FALSE(fs::exists(dst / "empty.mid"));
}

} // namespace
