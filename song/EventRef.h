#pragma once

#include <cstdint>

// A read-only look at one event, wherever its bytes are kept: in a track's event list or in
// a SongEvent. It is valid while the list or event it looks at is not changed.
//
// The first data byte is the event code (see SongEvent for what the codes mean).
class EventRef {
public:
    enum Kind : std::uint8_t { Plain = 0, Meta = 1, Escape = 2 };

    EventRef() = default;
    EventRef(std::uint32_t time, const std::uint8_t* data, std::uint32_t length, Kind kind,
             std::uint8_t metaType)
        : data_(data), time_(time), length_(length), kind_(kind), metaType_(metaType) {}

    std::uint32_t GetTime() const { return time_; }
    const std::uint8_t* GetData() const { return data_; }
    std::uint32_t GetLength() const { return length_; }
    Kind GetKind() const { return static_cast<Kind>(kind_); }
    bool IsMeta() const { return kind_ == Meta; }
    bool IsEscape() const { return kind_ == Escape; }
    // The type byte of a meta event as it stood in the file (0x03 for a track name, 0x51 for
    // Set Tempo, 0x20 for Channel Prefix ...); 0 for other events.
    std::uint8_t GetMetaType() const { return metaType_; }
    // First data byte, or 0 for an event without data.
    std::uint8_t GetCode() const { return length_ ? data_[0] : 0; }
    // True for a channel message (code 0x80-0xEF) that is not an escape packet.
    bool IsChannelMessage() const {
        return kind_ == Plain && length_ && data_[0] >= 0x80 && data_[0] < 0xF0;
    }

private:
    const std::uint8_t* data_ = nullptr;
    std::uint32_t time_ = 0;
    std::uint32_t length_ = 0;
    std::uint8_t kind_ = Plain;
    std::uint8_t metaType_ = 0;
};
