// The engine on the system's own outputs: the synthesizer on FluidSynth's file driver (no
// sound card needed) and whatever MIDI ports the machine has.
#include "FakeSoundBackend.h"
#include "FindSoundFont.h"
#include "SongBytes.h"
#include "SongPlayer.h"
#include "SongSwitches.h"
#include "SoundEngine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class SystemSoundTest : public testing::Test {
protected:
    void SetUp() override {
        if (!FindSoundFont())
            GTEST_SKIP() << "no General MIDI SoundFont installed";
        savedMapIndex_ = SongSwitches::GetInstrumentMapIndex();
    }
    void TearDown() override {
        ShutdownSoundEngine();
        SongSwitches::SetInstrumentMapIndex(savedMapIndex_);
    }
    MemorySettingsStore store_;
    std::uint32_t savedMapIndex_ = 0;
};

TEST_F(SystemSoundTest, TheSynthesizerPlaysASongOnTheFileDriver) {
    ScopedEnv driver("QUELLOR_AUDIO_DRIVER", "file");
    ASSERT_TRUE(StartSoundEngine(store_));
    EXPECT_TRUE(IsSoundReady());
    SongPlayer player;
    ASSERT_EQ(player.PlayBuffer(songbytes::OneNote(200)), 0);
    EXPECT_TRUE(player.IsPlaying());
    const auto start = std::chrono::steady_clock::now();
    while (player.IsPlaying() && std::chrono::steady_clock::now() - start < 2s)
        std::this_thread::sleep_for(5ms);
    EXPECT_FALSE(player.IsPlaying());
    ShutdownSoundEngine();
    EXPECT_EQ(store_.values.count("MIDIOutputDeviceIndex"), 1u);
}

TEST_F(SystemSoundTest, WithoutAUsableDriverOrSoundFontTheEngineDoesNotStart) {
    struct Case {
        const char* variable;
        const char* value;
    };
    const Case cases[] = {
        {"QUELLOR_AUDIO_DRIVER", "no-such-driver"},
        {"QUELLOR_SOUNDFONT", "/nonexistent/none.sf2"},
    };
    for (const Case& c : cases) {
        ScopedEnv driver("QUELLOR_AUDIO_DRIVER", "file");
        ScopedEnv setting(c.variable, c.value);
        store_.values.clear();
        EXPECT_FALSE(StartSoundEngine(store_)) << c.variable;
        EXPECT_FALSE(IsSoundReady());
        SongPlayer player;
        EXPECT_EQ(player.PlayBuffer(songbytes::OneNote(10)), 1);
        player.StopPlayback();
        ShutdownSoundEngine();
        EXPECT_TRUE(store_.values.empty()) << c.variable;
    }
}

} // namespace
