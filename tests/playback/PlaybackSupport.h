#pragma once

// Shared pieces of the playback tests: small songs and a fixture that starts the engine over
// recording outputs.

#include "playback/SoundEngine.h"
#include "tests/TestFiles.h"
#include "tests/playback/FakeSoundBackend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <thread>

namespace playtest {

using namespace std::chrono_literals;
using testfiles::Bytes;
using testfiles::Cat;
using Clock = std::chrono::steady_clock;

using testfiles::Hex;
using testfiles::Vlq;

// `notes` struck together on `channel` with `program` at tick 0 and released after `ms`
// (division 500: a tick lasts 1 ms).
inline Bytes Chord(int channel, int program, const std::vector<int>& notes,
                   std::uint32_t ms = 600) {
    const auto ch = static_cast<std::uint8_t>(channel);
    Bytes events = {0x00, static_cast<std::uint8_t>(0xC0 | ch), static_cast<std::uint8_t>(program)};
    for (int n : notes)
        events.insert(events.end(), {0x00, static_cast<std::uint8_t>(0x90 | ch),
                                     static_cast<std::uint8_t>(n), 0x64});
    std::uint32_t delta = ms;
    for (int n : notes) {
        const Bytes d = Vlq(delta);
        events.insert(events.end(), d.begin(), d.end());
        events.insert(events.end(),
                      {static_cast<std::uint8_t>(0x80 | ch), static_cast<std::uint8_t>(n), 0x40});
        delta = 0;
    }
    return events;
}

// Format 0, division 500 (a tick lasts 1 ms at the default tempo): Note On C4 at 0 ms, its
// Note Off at `lengthMs`.
inline Bytes OneNote(std::uint32_t lengthMs) {
    return Cat({testfiles::Header(0, 1, 500),
                testfiles::TrackChunk(
                    Cat({{0x00, 0x90, 0x3C, 0x64}, Vlq(lengthMs), {0x80, 0x3C, 0x40}}))});
}

// Starts the engine over recording outputs and shuts it down after the test; the engine's
// instrument map index is put back.
class EngineFixture : public testing::Test {
protected:
    void SetUp() override { savedMapIndex_ = GetInstrumentMapIndex(); }
    void TearDown() override {
        ShutdownSoundEngine();
        SetInstrumentMapIndex(savedMapIndex_);
    }
    bool Start(std::vector<std::string> ports = {}, bool defaultDeviceWorks = true) {
        auto backend = std::make_unique<FakeSoundBackend>(std::move(ports), defaultDeviceWorks);
        device_ = backend->defaultDevice;
        ports_ = backend->ports;
        return StartSoundEngine(store_, std::move(backend));
    }
    static std::shared_ptr<SegmentState> Play(const Bytes& song) {
        return PlaySegment(LoadSegmentFromMemory(song.data(), song.size()));
    }
    // Waits for `condition`, at most `limit` (generous: only a broken engine reaches it);
    // whether it came true.
    template <class Condition>
    static bool WaitUntil(Condition condition, std::chrono::milliseconds limit = 10s) {
        const auto start = Clock::now();
        while (!condition()) {
            if (Clock::now() - start > limit)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
    // Waits for the playing flag to drop; whether it did.
    static bool WaitForEnd(std::chrono::milliseconds limit = 10s) {
        return WaitUntil([] { return !IsEnginePlaying(); }, limit);
    }
    // Waits until the default device has received `count` messages.
    bool WaitForMessages(std::size_t count) const {
        return WaitUntil([&] { return device_->Messages().size() >= count; });
    }
    // Whether the messages end with the 32 that silence every channel.
    static bool EndsWithSilence(const std::vector<RecordingOutput::Message>& messages) {
        if (messages.size() < 32)
            return false;
        std::size_t i = messages.size() - 32;
        for (std::uint8_t ch = 0; ch < 16; ++ch) {
            const std::uint8_t cc = static_cast<std::uint8_t>(0xB0 | ch);
            if (messages[i++].bytes != Bytes{cc, 120, 0} ||
                messages[i++].bytes != Bytes{cc, 123, 0})
                return false;
        }
        return true;
    }

    MemorySettingsStore store_;
    std::shared_ptr<RecordingOutput> device_;
    std::vector<std::shared_ptr<RecordingOutput>> ports_;

private:
    std::uint32_t savedMapIndex_ = 0;
};

#ifdef QUELLOR_CLI
// quellor-cli run with `arguments` (and `environment` before it), its output and exit code.
struct CliResult {
    int exitCode = -1;
    std::string output; // stdout, then stderr
};

inline CliResult RunCli(const std::string& arguments, const std::string& environment = "") {
    const testfiles::Outcome r = testfiles::Exec("env " + environment + " " +
                                                 testfiles::Quote(QUELLOR_CLI) + " " + arguments);
    return {r.code, r.out + r.err};
}
#endif

using testfiles::Q;
using testfiles::ReadFile;
using testfiles::WriteFile;

} // namespace playtest
