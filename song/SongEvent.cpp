#include "SongEvent.h"

#include <cstring>
#include <utility>

SongEvent::SongEvent(std::uint32_t time, const std::uint8_t* data, std::uint32_t length,
                     bool isMeta, std::uint8_t metaType)
    : time_(time), kind_(isMeta ? Meta : Plain), metaType_(isMeta ? metaType : 0) {
    Assign(data, length);
}

SongEvent SongEvent::MakeEscape(std::uint32_t time, const std::uint8_t* data,
                                std::uint32_t length) {
    SongEvent e(time, data, length, false);
    e.kind_ = Escape;
    return e;
}

SongEvent::SongEvent(const SongEvent& other)
    : time_(other.time_), kind_(other.kind_), metaType_(other.metaType_) {
    Assign(other.GetData(), other.length_);
}

SongEvent::SongEvent(SongEvent&& other) noexcept
    : time_(other.time_), length_(other.length_), kind_(other.kind_), metaType_(other.metaType_) {
    std::memcpy(inline_, other.inline_, kInline); // copies the pointer or the inline bytes
    other.length_ = 0;
}

SongEvent& SongEvent::operator=(const SongEvent& other) {
    if (this != &other) {
        time_ = other.time_;
        kind_ = other.kind_;
        metaType_ = other.metaType_;
        SetData(other.GetData(), other.length_);
    }
    return *this;
}

SongEvent& SongEvent::operator=(SongEvent&& other) noexcept {
    if (this != &other) {
        Release();
        time_ = other.time_;
        length_ = other.length_;
        kind_ = other.kind_;
        metaType_ = other.metaType_;
        std::memcpy(inline_, other.inline_, kInline);
        other.length_ = 0;
    }
    return *this;
}

SongEvent::~SongEvent() {
    Release();
}

void SongEvent::Release() {
    if (length_ > kInline)
        delete[] heap_;
    length_ = 0;
}

void SongEvent::Assign(const std::uint8_t* data, std::uint32_t length) {
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

void SongEvent::SetData(const std::uint8_t* data, std::uint32_t length) {
    if (data == GetData() && length == length_)
        return;
    // Copy first: the new bytes may live inside the old array.
    SongEvent copy(time_, data, length, false);
    std::swap(length_, copy.length_);
    std::uint8_t tmp[kInline];
    std::memcpy(tmp, inline_, kInline);
    std::memcpy(inline_, copy.inline_, kInline);
    std::memcpy(copy.inline_, tmp, kInline);
}
