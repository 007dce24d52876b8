#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// A Standard MIDI File turned into the list of messages to send, merged over all tracks in
// time order, with real times: ticks become microseconds under the file's Set Tempo events
// (500000 us per quarter note until the first one). Meta events are consumed here and never
// sent; channel messages and complete SysEx messages are.
class Segment {
public:
    struct Event {
        std::uint64_t timeUs = 0;
        std::uint32_t offset = 0; // into the byte pool
        std::uint32_t size = 0;
    };

    // The segment of the file in `bytes`, or nullptr when they are not a Standard MIDI File.
    static std::shared_ptr<const Segment> FromSmf(const std::uint8_t* bytes, std::size_t size);

    const std::vector<Event>& GetEvents() const { return events_; }
    const std::uint8_t* GetBytes(const Event& event) const { return pool_.data() + event.offset; }
    // The time of the last event or End of Track, whichever is later.
    std::uint64_t GetLengthUs() const { return lengthUs_; }
    std::uint64_t GetLengthMs() const { return lengthUs_ / 1000 + (lengthUs_ % 1000 != 0); }

private:
    std::vector<Event> events_;
    std::vector<std::uint8_t> pool_;
    std::uint64_t lengthUs_ = 0;
};
