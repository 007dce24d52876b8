// quellor-cli as a black box, and the batch processor behind its batch command.
#include "tests/core/CoreSupport.h"

#include "song/BatchProcessor.h"
#include "song/SpMidiRules.h"

#include <algorithm>
#include <csignal>
#include <map>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <tuple>
#include <unistd.h>

using namespace core;
namespace fs = std::filesystem;

namespace {

Outcome Cli(const std::string& args) {
    return Exec(Quote(QUELLOR_CLI) + " " + args);
}

// Three channels: a piano chord (two notes) on 1, a monophonic bass on 2, drums on 10.
const Bytes kThreeChannels = Song(1, 96,
                                  {Cat({Meta(0x03, "Lead"),
                                        Hex("00 C0 00 00 90 3C 40 00 90 40 40 " // piano chord
                                            "00 C1 22 00 91 24 50 "             // bass
                                            "00 99 24 60 "                      // drums
                                            "60 80 3C 40 00 80 40 40 00 81 24 40")})}); // 500 ms
// A song whose text event is too large to store: loading leaves it out.
const Bytes kTooLarge = Song(0, 96, {Cat({Meta(0x01, std::string(70000, 'x')), On(0, 60)})});

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

TEST_F(CliTest, ExitCodesAndMessages) {
    const Bytes old = {1, 2, 3};
    WriteFile(out, old);
    WriteFile(dir / "riff.mid", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E'});
    const std::string missing = Q(dir / "missing.mid"), riff = Q(dir / "riff.mid"),
                      process = "process " + Q(in) + " " + Q(out) + " ";
    const std::pair<std::string, const char*> failures[] = {
        {"dump " + riff, "not a Standard MIDI File"},
        {"info " + missing, "No such file"},
        {"process " + riff + " " + Q(out), "not a Standard MIDI File"},
        {"process " + missing + " " + Q(out), "No such file"},
        {"batch " + Q(dir / "nowhere") + " " + Q(dir.Path()), "cannot list"}};
    for (const auto& [args, message] : failures) {
        const Outcome r = Cli(args);
        EXPECT_EQ(r.code, 1) << args;
        EXPECT_NE(r.err.find(message), std::string::npos) << args << ": " << r.err;
    }
    // usage errors, and edits the program itself never allows
    const std::string i = Q(in), d = Q(dir.Path());
    for (const std::string& args : std::vector<std::string>{
             "frobnicate", "dump", "info", "info --prio fast " + i, "info --bogus " + i,
             "info " + i + " " + i, "process " + i, "batch " + d,
             "batch " + d + " " + d + " --action twice", "batch " + d + " " + d + " --jobs 0",
             "batch " + d + " " + d + " --jobs -2", "batch " + d + " " + d + " --jobs 257",
             "batch " + d + " " + d + " --jobs two", "batch " + d + " " + d + " --jobs"})
        EXPECT_EQ(Cli(args).code, 2) << args;
    for (const char* edit :
         {"--bogus", "--action keep", "--duplicate 1", "--duplicate 1=10", "--duplicate 1=2",
          "--vibra 1", "--mute 7", "--priority 1=4", "--priority 5=1", "--polyphony 1=3",
          "--remove 2 --remove 10 --remove 1", "--remove 2 --remove 10 --solo 1",
          "--remove 2 --remove 10 --mute 1"})
        EXPECT_EQ(Cli(process + edit).code, 2) << edit;
    // Mute, like Solo and Remove, is a command only with a second channel; the message
    // names the option.
    const Outcome onlyChannel = Cli(process + "--remove 2 --remove 10 --mute 1");
    EXPECT_NE(onlyChannel.err.find("--mute: the song's only channel"), std::string::npos)
        << onlyChannel.err;
    EXPECT_EQ(ReadFile(out), old) << "the output stays untouched";
    EXPECT_EQ(Cli("--help").code, 0);
    EXPECT_EQ(Cli("--version").code, 0);
}

TEST_F(CliTest, DumpPrintsEveryEvent) {
    WriteFile(in,
              Song(1, 96, {Cat({Meta(0x03, "AB"), On(0, 0x3C), Off(0, 0x3C, 0x60)}), Pc(0, 5)}));
    const Outcome r = Cli("dump " + Q(in));
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "# format 1 division 96\n0\t0\t1\t03 41 42\n0\t0\t0\t90 3C 40\n"
                     "0\t500\t0\t80 3C 40\n0\t500\t1\t09 00 01\n1\t0\t0\tC0 05\n"
                     "1\t0\t1\t09 00 02\n");
}

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
    EXPECT_NE(Cli("process --json " + Q(in) + " " + Q(out) + " --vibra 2")
                  .out.find("\"instrument\": \"Vibra (Electric Bass(finger))\""),
              std::string::npos);
    const Outcome human = Cli("info " + Q(in));
    EXPECT_EQ(human.code, 0);
    EXPECT_NE(human.out.find("Electric Bass(finger)"), std::string::npos);
}

// check names each fault by its rule and fails with 3 on an error; what process writes from
// the same files has none.
TEST_F(CliTest, CheckNamesFaultsAndExitsWithThree) {
    const Bytes notes = Hex("00 C0 00 00 90 3C 40 00 91 24 50 60 80 3C 40 00 81 24 40");
    const Bytes gmOn = Hex("00 F0 05 7E 7F 09 01 F7");
    const struct {
        const char* name;
        Bytes events;
        const char* rule;
        const char* edits = ""; // what --after-save needs besides the save
    } faulty[] = {
        // channel 1 has controllers only; the save lists it behind channel 2
        {"zero", Hex("00 F0 09 7F 7F 0B 01 00 00 01 01 F7 00 B0 07 64 00 91 24 50 60 81 24 40"),
         "mip-value-zero"},
        // the source gives channel 2 no priority, and a save keeps that until it gets one
        {"unlisted", Cat({Hex("00 F0 07 7F 7F 0B 01 00 01 F7"), notes}), "channel-not-listed",
         "--priority 2=2"},
        {"reset", Cat({Hex("00 F0 09 7F 7F 0B 01 00 01 01 02 F7"), gmOn, notes}),
         "gm-on-after-mip"},
        {"late", Cat({notes, Hex("00 F0 09 7F 7F 0B 01 00 01 01 02 F7")}), "mip-after-notes"},
    };
    for (const auto& f : faulty) {
        const fs::path file = dir / (std::string(f.name) + ".mid");
        WriteFile(file, Song(0, 96, {f.events}));
        const Outcome r = Cli("check --json --sysex keep " + Q(file));
        EXPECT_EQ(r.code, 3) << f.name << ": " << r.out << r.err;
        EXPECT_EQ(r.out.rfind("{\"path\": \"" + file.string() + "\", \"findings\": [{", 0), 0u)
            << r.out;
        EXPECT_NE(r.out.find("\"rule\": \"" + std::string(f.rule) + "\", \"severity\": \"error\""),
                  std::string::npos)
            << f.name << ": " << r.out;
        const Outcome saved =
            Cli("check --after-save --sysex keep " + Q(file) + " " + std::string(f.edits));
        EXPECT_EQ(saved.code, 0) << f.name << ": " << saved.out;
        EXPECT_EQ(saved.out.find("\terror\t"), std::string::npos) << saved.out;
    }

    // One line per finding, then the counts; edits change what --after-save checks.
    const Outcome plain = Cli("check " + Q(in));
    EXPECT_EQ(plain.code, 0);
    EXPECT_EQ(plain.out, "mip-missing\twarning\t-\tThe file has no MIP message, so phones with "
                         "few voices steal notes.\tSave the song with Quellor: it writes a MIP "
                         "message for the channels with a priority.\n"
                         "note-never-ends\twarning\tchannel 10, 0.000 s\tChannel 10 leaves 1 "
                         "note sounding to the end, the first from 0.000 s.\tAdd note-offs for "
                         "those notes.\n"
                         "0 errors, 2 warnings, 0 notes\n");
    const Outcome thinned = Cli("check --after-save --polyphony 1=1 " + Q(in));
    EXPECT_EQ(thinned.code, 3);
    EXPECT_EQ(thinned.out.rfind("polyphony-over-share\terror\tchannel 1, 0.000 s\t", 0), 0u)
        << thinned.out;

    const std::string i = Q(in);
    EXPECT_EQ(Cli("check " + Q(dir / "missing.mid")).code, 1);
    for (const std::string& args :
         std::vector<std::string>{"check", "check " + i + " " + i, "check --bogus " + i,
                                  "check --mute 1 " + i, "check --after-save --mute 7 " + i})
        EXPECT_EQ(Cli(args).code, 2) << args;

    // info --json ends with the same findings for the song as process would save it.
    const Outcome info = Cli("info --json " + i);
    EXPECT_NE(info.out.find("}], \"findings\": [{\"rule\": \"note-never-ends\""), std::string::npos)
        << info.out;
    EXPECT_TRUE(info.out.ends_with("\"fix\": \"Add note-offs for those notes.\"}]}\n"));
}

TEST_F(CliTest, TheReadmeListsEveryCheckRule) {
    const Outcome rules = Cli("check --rules");
    ASSERT_EQ(rules.code, 0);
    EXPECT_EQ(std::count(rules.out.begin(), rules.out.end(), '\n'),
              static_cast<long>(SpMidiRules::All().size()));
    const Bytes readme = ReadFile(fs::path(QUELLOR_SOURCE_DIR) / "README.md");
    EXPECT_NE(std::string(readme.begin(), readme.end()).find(rules.out), std::string::npos)
        << "README.md lists the rules as `quellor-cli check --rules` prints them";
}

// The edits themselves are checked in the model's tests; here they reach the written file.
TEST_F(CliTest, ProcessWritesTheEditedSong) {
    const struct {
        const char* edits;
        bool (*check)(const SongFile&);
    } cases[] = {{"--mute 2 --polyphony 1=1",
                  [](const SongFile& s) { return !s.IsChannelUsed(1) && s.GetPolyphony(0) == 1; }},
                 {"--remove 1 --duplicate 2=5 --priority 10=1",
                  [](const SongFile& s) {
                      return !s.IsChannelUsed(0) && s.IsChannelUsed(4) && s.GetPriority(9) == 1;
                  }},
                 {"--add-vibra --vibra-mode 1", [](const SongFile& s) {
                      return s.vibraChannel == 2 && s.switches.vibraMode == 1;
                  }}};
    for (const auto& c : cases) {
        const Outcome r = Cli("process " + Q(in) + " " + Q(out) + " " + c.edits);
        ASSERT_EQ(r.code, 0) << c.edits << ": " << r.err;
        SongFile song;
        ASSERT_TRUE(song.LoadFile(out.string())) << c.edits;
        EXPECT_TRUE(c.check(song)) << c.edits;
    }
}

TEST_F(CliTest, BatchFolder) {
    // paths far longer than 260 characters
    const fs::path src = dir / std::string(150, 's') / std::string(150, 'S'),
                   dst = dir / std::string(150, 'd') / "songs.new";
    fs::create_directories(src / "x.mid");
    fs::create_directories(dst);
    WriteFile(src / "a.mid", kThreeChannels);
    WriteFile(src / "B.MID", kThreeChannels);
    WriteFile(src / "c.txt", kThreeChannels);
    WriteFile(src / "y.mid", Bytes{'t', 'e', 'x', 't'});
    WriteFile(src / "big.mid", kTooLarge);
    // cut off inside its last note-off: writing it would shorten the song
    WriteFile(src / "cut.mid", Bytes(kThreeChannels.begin(), kThreeChannels.end() - 5));
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
    // by name ignoring case; a written file carries the checker's counts after a second tab
    // (the three-channel song's one warning: its drum note never ends), a failure
    // its reason
    const std::string chords = "\tOK\t0 errors, 1 warning";
    std::vector<std::pair<std::string, std::string>> expected = {
        {"a", "a" + chords},     {"b", "B" + chords},  {title, title + "\tOK\t0 errors, "},
        {"y", "y\tFailed\t"},    {"z", "z\tFailed\t"}, {"big", "big\tFailed\t"},
        {"cut", "cut\tFailed\t"}};
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(lines.size(), 8u) << r.out;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(lines[i].rfind(expected[i].second, 0), 0u) << lines[i];
        if (expected[i].first != title && lines[i].find("Failed") == std::string::npos) {
            EXPECT_EQ(lines[i], expected[i].second);
        }
    }
    EXPECT_EQ(lines[7], "Processed: 7/7") << "the folder x.mid is no file";
    EXPECT_NE(r.out.find("cut\tFailed\tdata left out on loading: the end of the file, which is "
                         "cut off inside an event\n"),
              std::string::npos)
        << r.out;
    std::set<std::string> outputs;
    for (const auto& e : fs::directory_iterator(dst))
        outputs.insert(e.path().filename().string());
    EXPECT_EQ(outputs, (std::set<std::string>{"a.mid", "B.mid", title + ".mid"}));
    EXPECT_FALSE(fs::exists(dst.parent_path() / "songs"));
}

TEST_F(CliTest, BatchIntoItsOwnFolder) {
    const fs::path src = dir / "same";
    fs::create_directories(src);
    WriteFile(src / "a.mid", kThreeChannels);
    WriteFile(src / "b.mid", kThreeChannels);
    const Outcome ok = Cli("batch " + Q(src) + " " + Q(src));
    EXPECT_EQ(ok.code, 0) << ok.out;
    EXPECT_EQ(ok.out, "a\tOK\t0 errors, 1 warning\nb\tOK\t0 errors, 1 warning\nProcessed: 2/2\n");
    EXPECT_NE(ReadFile(src / "a.mid"), kThreeChannels) << "processed in place";

    // a.mid and a.MID both want a.mid: the second is refused, no source is lost
    WriteFile(src / "a.MID", kThreeChannels);
    const Outcome clash = Cli("batch " + Q(src) + " " + Q(src));
    EXPECT_EQ(clash.code, 1);
    EXPECT_NE(clash.out.find("Failed"), std::string::npos);
    EXPECT_EQ(ReadFile(src / "a.MID"), kThreeChannels);

    // l.mid is a link to b.mid: one file under two names, processed once through b.mid
    fs::remove(src / "a.MID");
    WriteFile(src / "b.mid", kThreeChannels);
    fs::create_symlink("b.mid", src / "l.mid");
    const Outcome linked = Cli("batch " + Q(src) + " " + Q(src) + " --jobs 2");
    EXPECT_NE(linked.out.find("b\tOK\t"), std::string::npos) << linked.out;
    EXPECT_NE(linked.out.find("l\tFailed\tanother file of this run was already written to"),
              std::string::npos)
        << linked.out;
    EXPECT_TRUE(fs::is_symlink(src / "l.mid"));
}

TEST_F(CliTest, BatchActionsTextAndVibra) {
    const fs::path src = dir / "src", dst = dir / "dst";
    fs::create_directories(src);
    fs::create_directories(dst);
    // a's vibra setup (program 124) sets the vibra mode for the files after it
    WriteFile(src / "a.mid",
              Song(0, 96, {Cat({Cc(3, 0, 121), Cc(3, 32, 6), Pc(3, 124), On(3, 60)})}));
    WriteFile(src / "b.mid", kThreeChannels);
    const struct {
        const char* options;
        bool mip, name;
        int vibra;
    } cases[] = {{"--action remove --add-vibra", false, false, -1},
                 {"--action leave --text keep --add-vibra", true, true, -1},
                 {"--action update", true, false, -1},
                 {"--text keep --add-vibra", true, true, 2}};
    for (const auto& c : cases) {
        ASSERT_EQ(Cli("batch " + Q(src) + " " + Q(dst) + " " + c.options).code, 0) << c.options;
        SongFile song;
        ASSERT_TRUE(song.LoadFile((dst / "b.mid").string()));
        EXPECT_EQ(song.hasMipMessage, c.mip) << c.options;
        EXPECT_EQ(song.GetTitle() == "Lead", c.name) << c.options;
        EXPECT_EQ(song.vibraChannel, c.vibra) << c.options;
        if (c.vibra >= 0) {
            EXPECT_EQ(song.lastLoad.vibraMode, 1u) << "b's vibra setup uses program 124";
        }
    }
}

TEST_F(CliTest, BatchStopsAfterTheCurrentFileAndForgetsOldStops) {
    for (int i = 0; i < 10; ++i)
        WriteFile(dir / std::string(1, static_cast<char>('a' + i)).append(".mid"), kThreeChannels);
    fs::create_directories(dir / "dst");
    auto run = [this](std::size_t stopAfter, unsigned jobs) {
        std::vector<BatchFileEntry> entries;
        std::string error;
        EXPECT_TRUE(BatchProcessor::FindFiles(dir.Path().string(), entries, error)) << error;
        BatchProcessor batch;
        BatchProcessor::Options options;
        options.jobs = jobs;
        std::size_t reports = 0;
        batch.Start(
            std::move(entries), (dir / "dst").string(), options,
            [&](std::size_t index, std::size_t) {
                EXPECT_EQ(index, reports++);
                if (index + 1 == stopAfter)
                    batch.RequestStop();
            },
            nullptr);
        batch.Join();
        EXPECT_FALSE(batch.IsRunning());
        EXPECT_EQ(reports, std::count_if(batch.Entries().begin(), batch.Entries().end(),
                                         [](const BatchFileEntry& e) {
                                             return e.result != BatchFileEntry::Result::Pending;
                                         }))
            << "every file started is reported";
        return batch.Entries();
    };
    // One job: each file is reported before the next starts.
    const auto stopped = run(3, 1);
    ASSERT_EQ(stopped.size(), 11u) << "in.mid too";
    for (std::size_t i = 0; i < stopped.size(); ++i)
        EXPECT_EQ(stopped[i].result,
                  i < 3 ? BatchFileEntry::Result::Processed : BatchFileEntry::Result::Pending);
    EXPECT_FALSE(fs::exists(dir / "dst" / "d.mid"));
    for (const BatchFileEntry& e : run(SIZE_MAX, 1))
        EXPECT_EQ(e.result, BatchFileEntry::Result::Processed)
            << "an old stop request is forgotten";
    for (const BatchFileEntry& e : run(SIZE_MAX, 4))
        EXPECT_EQ(e.result, BatchFileEntry::Result::Processed);
}

TEST_F(CliTest, AStoppedParallelBatchCompletesWhatItStartedAndNothingElse) {
    const fs::path src = dir / "src", dst = dir / "dst";
    fs::create_directories(src);
    fs::create_directories(dst);
    for (int i = 0; i < 120; ++i)
        WriteFile(src / (std::to_string(1000 + i) + ".mid"), kThreeChannels);
    std::vector<BatchFileEntry> entries;
    std::string error;
    ASSERT_TRUE(BatchProcessor::FindFiles(src.string(), entries, error)) << error;
    BatchProcessor batch;
    BatchProcessor::Options options;
    options.jobs = 3;
    std::size_t reports = 0;
    batch.Start(
        std::move(entries), dst.string(), options,
        [&](std::size_t index, std::size_t) {
            EXPECT_EQ(index, reports++) << "in name order";
            if (index == 2)
                batch.RequestStop();
        },
        nullptr);
    batch.Join();
    // The files that were started form the front of the list: all written and reported.
    const std::vector<BatchFileEntry>& results = batch.Entries();
    ASSERT_GE(reports, 3u);
    for (std::size_t i = 0; i < results.size(); ++i)
        EXPECT_EQ(results[i].result,
                  i < reports ? BatchFileEntry::Result::Processed : BatchFileEntry::Result::Pending)
            << i;
    std::size_t outputs = 0;
    for (const auto& e : fs::directory_iterator(dst)) {
        EXPECT_NE(e.path().filename().string()[0], '.') << "a temporary file " << e.path();
        ++outputs;
    }
    EXPECT_EQ(outputs, reports);
}

TEST_F(CliTest, BatchInParallelWritesAndPrintsWhatASerialRunDoes) {
    const fs::path src = dir / "src";
    fs::create_directories(src);
    // A vibra setup with program 124 (mode 1) in f10 and one with 125 (mode 0) in f30: every
    // song after one of them gets its vibra channel in that mode, as one after the other.
    const Bytes mode1 = Song(0, 96, {Cat({Cc(3, 0, 121), Cc(3, 32, 6), Pc(3, 124), On(3, 60)})});
    const Bytes mode0 = Song(0, 96, {Cat({Cc(3, 0, 121), Cc(3, 32, 6), Pc(3, 125), On(3, 60)})});
    for (int i = 0; i < 48; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "f%02d", i);
        WriteFile(src / (std::string(name) + ".mid"), i == 10   ? mode1
                                                      : i == 30 ? mode0
                                                                : kThreeChannels);
    }
    WriteFile(src / "f20.mid", Bytes{'n', 'o', 'p', 'e'});
    // Both want dup.mid: "dup.MID" comes first and is written, "dup.mid" is refused.
    WriteFile(src / "dup.MID", kThreeChannels);
    WriteFile(src / "dup.mid", mode1);
    const fs::path real = testfiles::RealSongs().at(0);
    fs::copy_file(real, src / real.filename());

    // Each run into a new folder of one name, so that the lines name the same paths.
    const auto run = [&](const std::string& jobs) {
        const fs::path dst = dir / "out";
        fs::remove_all(dst);
        const Outcome r = Cli("batch " + Q(src) + " " + Q(dst) + " --add-vibra " + jobs);
        std::map<std::string, Bytes> files;
        for (const auto& e : fs::directory_iterator(dst))
            files[e.path().filename().string()] = ReadFile(e.path());
        return std::make_tuple(r.code, r.out, files);
    };
    const auto serial = run("--jobs 1");
    const auto& [code, out, files] = serial;
    EXPECT_EQ(code, 1) << "f20 and dup.mid fail";
    EXPECT_EQ(files.size(), 49u) << out;
    EXPECT_NE(out.find("f20\tFailed\tnot a Standard MIDI File\n"), std::string::npos) << out;
    EXPECT_NE(out.find("dup\tFailed\tanother file of this run was already written to"),
              std::string::npos)
        << out;
    EXPECT_LT(out.find("dup\tOK"), out.find("dup\tFailed"));
    const auto vibraModeOf = [&](const std::string& name) {
        SongFile song;
        MemorySource source(files.at(name));
        song.LoadSong(source, name);
        return song.lastLoad.vibraMode;
    };
    EXPECT_EQ(vibraModeOf("f09.mid"), 0u);
    EXPECT_EQ(vibraModeOf("f11.mid"), 1u);
    EXPECT_EQ(vibraModeOf("f29.mid"), 1u);
    EXPECT_EQ(vibraModeOf("f31.mid"), 0u);
    for (const char* jobs : {"--jobs 2", "--jobs 7", ""}) {
        const auto parallel = run(jobs);
        EXPECT_EQ(std::get<0>(parallel), code) << jobs;
        EXPECT_EQ(std::get<1>(parallel), out) << jobs;
        EXPECT_TRUE(std::get<2>(parallel) == files) << jobs << ": the same files, byte for byte";
    }
}

} // namespace

namespace {

// A core-only build's quellor-cli knows graph but cannot draw.
bool GraphBuilt() {
    static const bool built =
        Cli("graph /nonexistent/in.mid /nonexistent/out.png").err.find("not part of this build") ==
        std::string::npos;
    return built;
}

bool IsFifo(const fs::path& path) {
    return fs::status(path).type() == fs::file_type::fifo;
}

// A text as the shell reads it back, for names that are not valid UTF-8.
std::string ReadAll(const fs::path& path) {
    const Bytes bytes = ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

TEST_F(CliTest, ProcessRefusesASongLoadingShortened) {
    // One event too large to store, and one whose time lies beyond what a time can hold:
    // a tempo of 16.7 s a tick and 2^28 ticks.
    const Bytes longSong = Song(
        0, 1,
        {Cat({Ev(0, {0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF}), On(0, 60), Off(0, 60, 0x0FFFFFFF)})});
    SongFile loaded;
    Load(loaded, longSong);
    ASSERT_EQ(loaded.lastLoad.leftOut.size(), 1u);
    EXPECT_EQ(loaded.lastLoad.leftOut[0].kind, LoadReport::LeftOut::Kind::TimesCut);
    EXPECT_EQ(loaded.lastLoad.leftOut[0].count, 2u) << "the note-off and End of Track";

    const struct {
        Bytes song;
        const char* lost;
    } cases[] = {{kTooLarge, "data left out on loading: 1 event too large to store"},
                 {longSong, "the times of 2 events beyond 49 days, cut to 49 days"}};
    for (const auto& c : cases) {
        WriteFile(in, c.song);
        // OUT = IN: the original stays whole.
        const Outcome refused = Cli("process " + Q(in) + " " + Q(in));
        EXPECT_EQ(refused.code, 1);
        EXPECT_NE(refused.err.find(c.lost), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find("nothing written (--allow-loss"), std::string::npos);
        EXPECT_EQ(ReadFile(in), c.song);
        EXPECT_EQ(Cli("info " + Q(in)).code, 0) << "info still shows it";
        const Outcome allowed = Cli("process --allow-loss " + Q(in) + " " + Q(out));
        EXPECT_EQ(allowed.code, 0) << allowed.err;
        EXPECT_TRUE(fs::exists(out));
        fs::remove(out);
    }
}

TEST_F(CliTest, OutputsThatAreNotRegularFilesAreRefusedAndLinksFollowed) {
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A private stand-in for /dev/null (mknod needs root): the real one is never a target,
    // so a fault here can only ever replace this node.
    std::vector<fs::path> specials = {fifo};
    const fs::path null = dir / "null";
    if (::geteuid() == 0 && ::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        specials.push_back(null);
    fs::create_symlink(specials.back(), dir / "special-link");
    specials.push_back(dir / "special-link");
    for (const fs::path& special : specials) {
        for (const std::string& command : {"process " + Q(in), std::string("graph ") + Q(in)}) {
            if (command[0] == 'g' && !GraphBuilt())
                continue;
            const Outcome r = Cli(command + " " + Q(special));
            EXPECT_EQ(r.code, 1) << command << " " << special;
            EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
        }
    }
    EXPECT_TRUE(IsFifo(fifo));
    if (fs::exists(null)) {
        EXPECT_TRUE(fs::is_character_file(null));
    }
    EXPECT_TRUE(fs::is_symlink(dir / "special-link"));

    // A link is followed, and stays a link.
    fs::create_directory(dir / "real");
    WriteFile(dir / "real" / "song.mid", Bytes{1, 2, 3});
    fs::create_symlink("real/song.mid", dir / "link.mid");
    ASSERT_EQ(Cli("process " + Q(in) + " " + Q(dir / "link.mid")).code, 0);
    EXPECT_TRUE(fs::is_symlink(dir / "link.mid"));
    EXPECT_EQ(ReadFile(dir / "real" / "song.mid"), ReadFile(dir / "link.mid"));
    EXPECT_EQ(ReadFile(dir / "real" / "song.mid").size() > 14, true);

    // A file marked read-only is refused, as the error says.
    WriteFile(out, Bytes{1, 2, 3});
    ::chmod(out.c_str(), 0444);
    const Outcome readOnly = Cli("process " + Q(in) + " " + Q(out));
    EXPECT_EQ(readOnly.code, 1);
    EXPECT_NE(readOnly.err.find("'" + out.string() + "': cannot write: "), std::string::npos)
        << readOnly.err;
    EXPECT_EQ(ReadFile(out), (Bytes{1, 2, 3}));

    // "-" is standard output, the words then go to standard error.
    const Outcome song = Cli("process " + Q(in) + " -");
    EXPECT_EQ(song.code, 0) << song.err;
    EXPECT_EQ(song.out.substr(0, 4), "MThd");
    EXPECT_NE(song.err.find("File:"), std::string::npos);
    if (GraphBuilt()) {
        const Outcome picture = Cli("graph " + Q(in) + " -");
        EXPECT_EQ(picture.code, 0) << picture.err;
        EXPECT_EQ(picture.out.substr(0, 4), "\x89PNG");
    }
}

TEST_F(CliTest, NamesArePassedAsTheSystemGivesThem) {
    // The longest name a file system takes, replaced twice.
    const fs::path longest = dir / (std::string(251, 'l') + ".mid");
    for (int i = 0; i < 2; ++i) {
        const Outcome r = Cli("process " + Q(in) + " " + Q(longest));
        EXPECT_EQ(r.code, 0) << r.err;
    }
    if (GraphBuilt()) {
        EXPECT_EQ(Cli("graph " + Q(in) + " " + Q(dir / (std::string(251, 'g') + ".png"))).code, 0);
    }

    // Names that are not UTF-8 are written and read under their own bytes.
    const fs::path latin1 = dir / "caf\xE9.mid", picture = dir / "\xFF\xFE.png";
    ASSERT_EQ(Cli("process " + Q(in) + " " + Q(latin1)).code, 0);
    if (GraphBuilt()) {
        ASSERT_EQ(Cli("graph " + Q(latin1) + " " + Q(picture)).code, 0);
        EXPECT_TRUE(fs::exists(picture));
        EXPECT_EQ(ReadAll(picture).substr(0, 4), "\x89PNG");
    }
    const Outcome json = Cli("info --json " + Q(latin1));
    ASSERT_EQ(json.code, 0) << json.err;
    const std::string hex = "caf\\ufffd.mid\", \"pathBytes\": \"";
    EXPECT_NE(json.out.find(hex), std::string::npos) << json.out;
    std::string bytes;
    for (const unsigned char c : latin1.string())
        bytes += "0123456789abcdef"[c >> 4], bytes += "0123456789abcdef"[c & 15];
    EXPECT_NE(json.out.find("\"pathBytes\": \"" + bytes + "\""), std::string::npos) << json.out;
    EXPECT_EQ(Cli("info --json " + Q(in)).out.find("pathBytes"), std::string::npos)
        << "only where the path is not UTF-8";

    // "--" ends the options of every command.
    WriteFile(dir / "-x.mid", kThreeChannels);
    fs::create_directory(dir / "-dst");
    const auto inDir = [&](const std::string& args) {
        return Exec("sh -c " +
                    Quote("cd " + Q(dir.Path()) + " && " + Quote(QUELLOR_CLI) + " " + args));
    };
    for (const char* args :
         {"dump -- -x.mid", "info -- -x.mid", "info --json -- -x.mid", "process -- -x.mid -y.mid",
          "process --json -- -x.mid -x.mid", "graph -- -x.mid -x.png", "batch -- . -dst"}) {
        if (args[0] == 'g' && !GraphBuilt())
            continue;
        const Outcome r = inDir(args);
        EXPECT_EQ(r.code, 0) << args << ": " << r.err;
    }
    EXPECT_TRUE(fs::exists(dir / "-y.mid"));
    EXPECT_EQ(fs::exists(dir / "-x.png"), GraphBuilt());
    EXPECT_TRUE(fs::exists(dir / "-dst" / "-x.mid"));
    EXPECT_EQ(inDir("info -x.mid").code, 2) << "without it, an option";
}

TEST_F(CliTest, BatchMakesAMissingDestinationOnce) {
    const Outcome made = Cli("batch " + Q(dir.Path()) + " " + Q(dir / "new"));
    EXPECT_EQ(made.code, 0) << made.err;
    EXPECT_TRUE(fs::exists(dir / "new" / "in.mid"));
    const Outcome noParent = Cli("batch " + Q(dir.Path()) + " " + Q(dir / "no" / "such"));
    EXPECT_EQ(noParent.code, 1);
    EXPECT_EQ(noParent.out, "") << "no line per file";
    EXPECT_NE(noParent.err.find("cannot write into"), std::string::npos) << noParent.err;
    const Outcome aFile = Cli("batch " + Q(dir.Path()) + " " + Q(in));
    EXPECT_EQ(aFile.code, 1);
    EXPECT_NE(aFile.err.find("cannot write into"), std::string::npos) << aFile.err;
}

} // namespace

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true; // the sanitizers reserve more address space than any limit
#else
constexpr bool kSanitized = false;
#endif

TEST_F(CliTest, RunningOutOfMemoryIsAnErrorNotAnAbort) {
    if (kSanitized)
        GTEST_SKIP() << "an address-space limit does not work under a sanitizer";
    // 64 MB of notes; loading them needs well over the 200 MB the commands may take here.
    Bytes notes;
    const Bytes pair = Cat({On(0, 60), Off(0, 60, 1)});
    notes.reserve(64u << 20);
    while (notes.size() < (64u << 20))
        notes.insert(notes.end(), pair.begin(), pair.end());
    WriteFile(in, Song(0, 96, {notes}));
    WriteFile(out, Bytes{1, 2, 3});
    for (const std::string& command :
         {"info " + Q(in), "process " + Q(in) + " " + Q(out), "graph " + Q(in) + " " + Q(out)}) {
        if (command[0] == 'g' && !GraphBuilt())
            continue;
        const Outcome r =
            Exec("sh -c " + Quote("ulimit -v 200000; " + Quote(QUELLOR_CLI) + " " + command));
        EXPECT_EQ(r.code, 1) << command << ": " << r.err;
        EXPECT_NE(r.err.find("out of memory"), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadFile(out), (Bytes{1, 2, 3}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 2) << "no temporary file";
}

} // namespace

namespace {

// Runs quellor-cli with `args` and sends `signal` as soon as a temporary file shows in
// `folder`; true when one showed before the command ended. `status` is the wait status.
bool SignalWhileWriting(const std::vector<std::string>& args, const fs::path& folder, int signal,
                        int& status) {
    std::vector<char*> argv;
    std::string cli = QUELLOR_CLI;
    argv.push_back(cli.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    bool seen = false;
    while (!seen && ::waitpid(child, &status, WNOHANG) == 0) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            seen = seen || entry.path().filename().string().rfind(".out.mid.", 0) == 0;
    }
    if (seen) {
        ::kill(child, signal);
        ::waitpid(child, &status, 0);
    }
    return seen;
}

TEST_F(CliTest, ASignalWhileWritingLeavesNoTemporaryFile) {
    // Large enough that writing takes a while: the temporary file is seen, then the signal
    // arrives while it is being written.
    Bytes notes;
    const Bytes pair = Cat({On(0, 60), Off(0, 60, 1)});
    while (notes.size() < (8u << 20))
        notes.insert(notes.end(), pair.begin(), pair.end());
    const fs::path src = dir / "src", dst = dir / "dst";
    fs::create_directories(src);
    fs::create_directories(dst);
    WriteFile(src / "out.mid", Song(0, 96, {notes}));
    const struct {
        std::vector<std::string> args;
        int signal;
    } cases[] = {
        {{"process", (src / "out.mid").string(), (dst / "out.mid").string()}, SIGTERM},
        {{"process", (src / "out.mid").string(), (dst / "out.mid").string()}, SIGINT},
        {{"batch", src.string(), dst.string()}, SIGTERM},
    };
    for (const auto& c : cases) {
        int status = 0;
        // A fast machine may finish before the file is seen: then the case is run again.
        bool seen = false;
        for (int attempt = 0; attempt < 5 && !seen; ++attempt) {
            fs::remove(dst / "out.mid");
            seen = SignalWhileWriting(c.args, dst, c.signal, status);
        }
        ASSERT_TRUE(seen) << c.args[0];
        if (WIFSIGNALED(status)) {
            EXPECT_EQ(WTERMSIG(status), c.signal) << c.args[0];
        }
        for (const auto& entry : fs::directory_iterator(dst))
            EXPECT_EQ(entry.path().filename().string().rfind(".out.mid.", 0), std::string::npos)
                << c.args[0] << " left " << entry.path();
    }
}

} // namespace
