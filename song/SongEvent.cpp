#include "song/SongEvent.h"

#include <cstring>
#include <utility>

SongEvent::SongEvent(const SongEvent& other)
    : time_(other.time_), kind_(other.kind_), metaType_(other.metaType_) {
    Assign(other.GetData(), other.length_);
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
