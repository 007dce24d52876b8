#include "playback/SoundEngine.h"

#include "playback/PlayerThread.h"

#include <atomic>
#include <stdexcept>
#include <string>

namespace {

constexpr const char* kDeviceIndexSetting = "MIDIOutputDeviceIndex";
constexpr const char* kInstrumentMapSetting = "InstrumentMapIndex";

struct EngineState {
    PlaybackSettingsStore* settings = nullptr;
    std::unique_ptr<SoundBackend> backend;
    std::unique_ptr<MidiOutput> defaultDevice;
    std::unique_ptr<MidiOutput> activePort; // none: the default device plays
    std::vector<OutputPortRecord> ports;
    std::uint32_t deviceIndex = 0;
    std::uint32_t instrumentMapIndex = 0;
    bool soundReady = false;
    std::atomic<bool> playing{false};
    std::unique_ptr<PlayerThread> player;

    MidiOutput& Output() { return activePort ? *activePort : *defaultDevice; }

    // Ends the player thread before the outputs it sends to go away.
    ~EngineState() {
        player.reset();
        activePort.reset();
        defaultDevice.reset();
    }
};

EngineState& Engine() {
    static EngineState engine;
    return engine;
}

void ReleaseEverything(EngineState& engine) {
    engine.player.reset();
    engine.activePort.reset();
    engine.defaultDevice.reset();
    engine.backend.reset();
    engine.ports.clear();
    engine.settings = nullptr;
    engine.soundReady = false;
    engine.deviceIndex = 0;
    engine.playing.store(false);
}

} // namespace

bool StartSoundEngine(PlaybackSettingsStore& settings) {
    return StartSoundEngine(settings, CreateSystemSoundBackend());
}

bool StartSoundEngine(PlaybackSettingsStore& settings, std::unique_ptr<SoundBackend> backend) {
    ShutdownSoundEngine();
    EngineState& engine = Engine();
    const std::uint32_t savedIndex = settings.ReadValue(kDeviceIndexSetting).value_or(0);
    // 0 and 1 are the only maps; anything else stored reads as the default.
    const std::uint32_t map = settings.ReadValue(kInstrumentMapSetting).value_or(0);
    engine.instrumentMapIndex = map <= 1 ? map : 0;
    if (!backend)
        return false;
    engine.backend = std::move(backend);
    engine.ports = engine.backend->ListOutputPorts();
    engine.defaultDevice = engine.backend->OpenDefaultDevice();
    if (!engine.defaultDevice) {
        ReleaseEverything(engine);
        return false;
    }
    engine.settings = &settings;
    engine.soundReady = true;
    SelectOutputPort(savedIndex);
    return true;
}

void ShutdownSoundEngine() {
    EngineState& engine = Engine();
    if (engine.soundReady) {
        StopAndWait();
        engine.settings->WriteValue(kDeviceIndexSetting, engine.deviceIndex);
        engine.settings->WriteValue(kInstrumentMapSetting, engine.instrumentMapIndex);
    }
    ReleaseEverything(engine);
}

void SelectOutputPort(std::uint32_t index) {
    EngineState& engine = Engine();
    if (!engine.soundReady)
        return;
    StopAndWait();
    engine.activePort.reset();
    if (index > 0) {
        // A device unplugged since the index was saved, or one that will not open: the
        // default device plays and index 0 is kept.
        if (index <= engine.ports.size())
            engine.activePort = engine.backend->OpenPort(engine.ports[index - 1]);
        if (!engine.activePort)
            index = 0;
    }
    engine.deviceIndex = index;
}

std::shared_ptr<const Segment> LoadSegmentFromMemory(const std::uint8_t* bytes,
                                                     std::size_t length) {
    if (!Engine().soundReady || !bytes)
        return nullptr;
    return Segment::FromSmf(bytes, length);
}

std::shared_ptr<SegmentState> PlaySegment(const std::shared_ptr<const Segment>& segment,
                                          std::uint16_t audibleChannels) {
    EngineState& engine = Engine();
    StopAndWait();
    if (!segment || !engine.soundReady)
        return nullptr;
    auto state = std::make_shared<SegmentState>(segment, SegmentState::Clock::now());
    // Set before the thread starts: the first notes already keep to it.
    state->SetAudibleChannels(audibleChannels);
    // Raised before the thread starts, so that a caller asking at once sees it playing.
    engine.playing.store(true, std::memory_order_release);
    engine.player = std::make_unique<PlayerThread>(state, engine.Output(), engine.playing);
    return state;
}

void StopAndWait() {
    EngineState& engine = Engine();
    if (engine.player) {
        engine.player->Stop();
        engine.player.reset();
    }
}

bool IsSoundReady() {
    return Engine().soundReady;
}

bool IsEnginePlaying() {
    return Engine().playing.load(std::memory_order_acquire);
}

std::size_t GetOutputPortCount() {
    return Engine().ports.size();
}

OutputPortRecord GetOutputPort(std::size_t index) {
    const EngineState& engine = Engine();
    if (index >= engine.ports.size())
        throw std::invalid_argument("output port " + std::to_string(index) + " does not exist");
    return engine.ports[index];
}

std::uint32_t GetMidiOutputDeviceIndex() {
    return Engine().deviceIndex;
}

std::uint32_t GetInstrumentMapIndex() {
    return Engine().instrumentMapIndex;
}

void SetInstrumentMapIndex(std::uint32_t index) {
    Engine().instrumentMapIndex = index;
}
