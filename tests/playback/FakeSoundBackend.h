#pragma once

// Sound outputs that record what they receive, for the playback and the program's tests.

#include "playback/PlaybackSettingsStore.h"
#include "playback/SoundBackend.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Records every message with the time it arrived; the Reset All Controllers messages that
// open every playback are left out.
class RecordingOutput : public MidiOutput {
public:
    struct Message {
        std::vector<std::uint8_t> bytes;
        std::chrono::steady_clock::time_point at;
    };
    void Send(const std::uint8_t* data, std::size_t size) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (size != 3 || (data[0] & 0xF0) != 0xB0 || data[1] != 121)
            messages_.push_back({{data, data + size}, std::chrono::steady_clock::now()});
    }
    std::vector<Message> Messages() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
};

// Forwards to a recorder the test keeps, which outlives the output the engine drops.
class ForwardingOutput : public MidiOutput {
public:
    explicit ForwardingOutput(std::shared_ptr<RecordingOutput> to) : to_(std::move(to)) {}
    void Send(const std::uint8_t* data, std::size_t size) override { to_->Send(data, size); }

private:
    std::shared_ptr<RecordingOutput> to_;
};

// A default device and ports that record; ports whose name starts with "broken" do not open.
class FakeSoundBackend : public SoundBackend {
public:
    explicit FakeSoundBackend(std::vector<std::string> names = {}, bool defaultDeviceWorks = true)
        : names_(std::move(names)), defaultDeviceWorks_(defaultDeviceWorks) {
        for (std::size_t i = 0; i < names_.size(); ++i)
            ports.push_back(std::make_shared<RecordingOutput>());
    }
    std::unique_ptr<MidiOutput> OpenDefaultDevice() override {
        return defaultDeviceWorks_ ? std::make_unique<ForwardingOutput>(defaultDevice) : nullptr;
    }
    std::vector<OutputPortRecord> ListOutputPorts() override {
        std::vector<OutputPortRecord> records;
        for (std::size_t i = 0; i < names_.size(); ++i)
            records.push_back({static_cast<std::uint32_t>(i), names_[i], names_[i], 1});
        return records;
    }
    std::unique_ptr<MidiOutput> OpenPort(const OutputPortRecord& port) override {
        if (port.portId.rfind("broken", 0) == 0)
            return nullptr;
        return std::make_unique<ForwardingOutput>(ports.at(port.enumerationIndex));
    }

    std::shared_ptr<RecordingOutput> defaultDevice = std::make_shared<RecordingOutput>();
    std::vector<std::shared_ptr<RecordingOutput>> ports;

private:
    std::vector<std::string> names_;
    bool defaultDeviceWorks_;
};

class MemorySettingsStore : public PlaybackSettingsStore {
public:
    std::optional<std::uint32_t> ReadValue(const std::string& name) override {
        const auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional<std::uint32_t>(it->second);
    }
    void WriteValue(const std::string& name, std::uint32_t value) override { values[name] = value; }
    std::map<std::string, std::uint32_t> values;
};
