#pragma once

#include "song/EventRef.h"

#include <cstdint>
#include <cstring>

// One event standing on its own (a MIP message being built, the vibra setup, an event to
// insert): its absolute time in ms and its bytes. A track keeps its events more compactly,
// in an EventList; both are read through EventRef.
//
// The first data byte is the event code: a channel status 0x80-0xEF, 0xF0 for a SysEx
// (closing F7 included), another system status, or the reader's code for a meta event
// (text types keep their type number, Set Tempo is 0x60, Channel Prefix 0x08,
// Sequencer-Specific 0x0E). Because some of those codes are shared, a meta event also
// keeps the type byte it was read with (FF xx), and an F7 escape packet is flagged as such:
// its bytes are stored exactly as in the file, with no code in front.
class SongEvent {
public:
    using Kind = EventRef::Kind;
    static constexpr Kind Plain = EventRef::Plain;
    static constexpr Kind Meta = EventRef::Meta;
    static constexpr Kind Escape = EventRef::Escape;

    SongEvent() = default;
    SongEvent(std::uint32_t time, const std::uint8_t* data, std::uint32_t length, bool isMeta,
              std::uint8_t metaType = 0)
        : SongEvent(time, data, length, isMeta ? Meta : Plain, metaType) {}
    SongEvent(std::uint32_t time, const std::uint8_t* data, std::uint32_t length, Kind kind,
              std::uint8_t metaType)
        : time_(time), kind_(kind), metaType_(kind == Meta ? metaType : 0) {
        Assign(data, length);
    }
    explicit SongEvent(const EventRef& event)
        : SongEvent(event.GetTime(), event.GetData(), event.GetLength(), event.GetKind(),
                    event.GetMetaType()) {}

    SongEvent(const SongEvent& other);
    SongEvent(SongEvent&& other) noexcept
        : time_(other.time_), length_(other.length_), kind_(other.kind_),
          metaType_(other.metaType_) {
        std::memcpy(inline_, other.inline_, kInline); // the pointer or the inline bytes
        other.length_ = 0;
    }
    SongEvent& operator=(const SongEvent& other);
    SongEvent& operator=(SongEvent&& other) noexcept;
    ~SongEvent() { Release(); }

    // The same event as a track's events are read.
    operator EventRef() const {
        return EventRef(time_, GetData(), length_, static_cast<Kind>(kind_), metaType_);
    }

    std::uint32_t GetTime() const { return time_; }
    const std::uint8_t* GetData() const { return length_ <= kInline ? inline_ : heap_; }
    std::uint8_t* GetMutableData() { return length_ <= kInline ? inline_ : heap_; }
    std::uint32_t GetLength() const { return length_; }
    bool IsMeta() const { return kind_ == Meta; }
    bool IsEscape() const { return kind_ == Escape; }
    // The type byte of a meta event as it stood in the file (0x03 for a track name, 0x51 for
    // Set Tempo, 0x20 for Channel Prefix ...); 0 for other events.
    std::uint8_t GetMetaType() const { return metaType_; }
    // First data byte, or 0 for an event without data.
    std::uint8_t GetCode() const { return length_ ? GetData()[0] : 0; }
    // True for a channel message (code 0x80-0xEF) that is not an escape packet.
    bool IsChannelMessage() const {
        return kind_ == Plain && length_ && GetCode() >= 0x80 && GetCode() < 0xF0;
    }

    // Replaces the bytes with a copy of the new ones; a length of 0 leaves no data.
    void SetData(const std::uint8_t* data, std::uint32_t length);

private:
    static constexpr std::uint32_t kInline = 8;
    void Release() {
        if (length_ > kInline)
            delete[] heap_;
        length_ = 0;
    }
    void Assign(const std::uint8_t* data, std::uint32_t length) {
        if (!data)
            length = 0;
        length_ = length;
        if (length <= kInline) {
            std::memset(inline_, 0, kInline);
            if (length)
                std::memcpy(inline_, data, length);
        } else {
            heap_ = new std::uint8_t[length];
            std::memcpy(heap_, data, length);
        }
    }

    std::uint32_t time_ = 0;
    std::uint32_t length_ = 0;
    std::uint8_t kind_ = Plain;
    std::uint8_t metaType_ = 0;
    union {
        std::uint8_t inline_[kInline];
        std::uint8_t* heap_;
    };
};
