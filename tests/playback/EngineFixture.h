#pragma once

#include "FakeSoundBackend.h"
#include "SongBytes.h"
#include "SongSwitches.h"
#include "SoundEngine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

// Starts the engine over recording outputs and shuts it down after the test; the
// process-wide instrument map index is put back.
class EngineFixture : public testing::Test {
protected:
    using Clock = std::chrono::steady_clock;

    void SetUp() override { savedMapIndex_ = SongSwitches::GetInstrumentMapIndex(); }
    void TearDown() override {
        ShutdownSoundEngine();
        SongSwitches::SetInstrumentMapIndex(savedMapIndex_);
    }

    // Starts with the given ports; the backend's recorders stay reachable through backend_.
    bool Start(std::vector<std::string> ports = {}, bool defaultDeviceWorks = true) {
        auto backend = std::make_unique<FakeSoundBackend>(std::move(ports), defaultDeviceWorks);
        backend_ = backend.get();
        defaultDevice_ = backend->defaultDevice;
        portOutputs_ = backend->ports;
        return StartSoundEngine(store_, std::move(backend));
    }

    std::shared_ptr<SegmentState> Play(const testfiles::Bytes& song) {
        return PlaySegment(LoadSegmentFromMemory(song.data(), song.size()));
    }

    // Waits up to `limit` for the playing flag to drop; the time it took.
    static Clock::duration WaitForEnd(std::chrono::milliseconds limit) {
        const auto start = Clock::now();
        while (IsEnginePlaying() && Clock::now() - start < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return Clock::now() - start;
    }

    // The 32 messages that silence every channel, as the output received them last.
    static bool EndsWithSilence(const std::vector<RecordingOutput::Message>& messages) {
        if (messages.size() < 32)
            return false;
        std::size_t i = messages.size() - 32;
        for (std::uint8_t ch = 0; ch < 16; ++ch) {
            const std::uint8_t cc = static_cast<std::uint8_t>(0xB0 | ch);
            if (messages[i++].bytes != std::vector<std::uint8_t>{cc, 120, 0} ||
                messages[i++].bytes != std::vector<std::uint8_t>{cc, 123, 0})
                return false;
        }
        return true;
    }

    MemorySettingsStore store_;
    FakeSoundBackend* backend_ = nullptr;
    std::shared_ptr<RecordingOutput> defaultDevice_;
    std::vector<std::shared_ptr<RecordingOutput>> portOutputs_;

private:
    std::uint32_t savedMapIndex_ = 0;
};
