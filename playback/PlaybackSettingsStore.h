#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The per-user settings store as the sound engine sees it: named unsigned 32-bit values.
// The desktop program implements it over its settings file; tests keep the values in memory.
class PlaybackSettingsStore {
public:
    virtual ~PlaybackSettingsStore() = default;
    // The stored value, or nothing when it is absent or not an integer.
    virtual std::optional<std::uint32_t> ReadValue(const std::string& name) = 0;
    virtual void WriteValue(const std::string& name, std::uint32_t value) = 0;
};
