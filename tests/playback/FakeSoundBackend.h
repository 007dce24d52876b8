#pragma once

#include "PlaybackSettingsStore.h"
#include "SoundBackend.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// An output that records every message with the time it arrived; the Reset All Controllers
// messages that open every playback are counted apart.
class RecordingOutput : public MidiOutput {
public:
    using Clock = std::chrono::steady_clock;
    struct Message {
        std::vector<std::uint8_t> bytes;
        Clock::time_point at;
    };

    void Send(const std::uint8_t* data, std::size_t size) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (size == 3 && (data[0] & 0xF0) == 0xB0 && data[1] == 121) {
            ++resets_;
            return;
        }
        messages_.push_back({std::vector<std::uint8_t>(data, data + size), Clock::now()});
    }
    std::vector<Message> Messages() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.clear();
        resets_ = 0;
    }
    // Reset All Controllers messages received.
    int Resets() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return resets_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
    int resets_ = 0;
};

// Forwards to a recorder the test keeps, so that the test still sees what arrived after
// the engine has dropped the output.
class ForwardingOutput : public MidiOutput {
public:
    explicit ForwardingOutput(std::shared_ptr<RecordingOutput> target)
        : target_(std::move(target)) {}
    void Send(const std::uint8_t* data, std::size_t size) override { target_->Send(data, size); }

private:
    std::shared_ptr<RecordingOutput> target_;
};

// A default device and ports that record; ports whose name starts with "broken" do not open.
class FakeSoundBackend : public SoundBackend {
public:
    explicit FakeSoundBackend(std::vector<std::string> portNames = {},
                              bool defaultDeviceWorks = true)
        : portNames_(std::move(portNames)), defaultDeviceWorks_(defaultDeviceWorks) {
        for (std::size_t i = 0; i < portNames_.size(); ++i)
            ports.push_back(std::make_shared<RecordingOutput>());
    }

    std::unique_ptr<MidiOutput> OpenDefaultDevice() override {
        if (!defaultDeviceWorks_)
            return nullptr;
        return std::make_unique<ForwardingOutput>(defaultDevice);
    }
    std::vector<OutputPortRecord> ListOutputPorts() override {
        std::vector<OutputPortRecord> records;
        for (std::size_t i = 0; i < portNames_.size(); ++i)
            records.push_back({static_cast<std::uint32_t>(i), portNames_[i], portNames_[i], 1});
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
    std::vector<std::string> portNames_;
    bool defaultDeviceWorks_;
};

class MemorySettingsStore : public PlaybackSettingsStore {
public:
    std::optional<std::uint32_t> ReadValue(const std::string& name) override {
        auto it = values.find(name);
        if (it == values.end())
            return std::nullopt;
        return it->second;
    }
    void WriteValue(const std::string& name, std::uint32_t value) override { values[name] = value; }
    std::map<std::string, std::uint32_t> values;
};
