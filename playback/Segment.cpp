#include "playback/Segment.h"

#include "song/ByteSource.h"
#include "song/SongReader.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::uint64_t kDefaultTempo = 500000; // us per quarter note
constexpr std::uint64_t kMaxUs = std::numeric_limits<std::uint64_t>::max();

// One event as read, before the tracks are merged.
struct TickedEvent {
    std::uint64_t tick;
    std::uint32_t offset;
    std::uint32_t size;
    std::uint32_t tempo; // for a Set Tempo, else 0 with size > 0
    bool isTempo;
};

// `ticks` at `tempo` us per quarter note and `division` ticks per quarter note, in us;
// saturates instead of wrapping for absurd values.
std::uint64_t TicksToUs(std::uint64_t ticks, std::uint64_t tempo, std::uint64_t division) {
    const std::uint64_t whole = ticks / division;
    const std::uint64_t rest = ticks % division;
    if (tempo != 0 && whole > kMaxUs / tempo)
        return kMaxUs;
    const std::uint64_t us = whole * tempo;
    const std::uint64_t part = rest * tempo / division; // rest < 2^15, tempo < 2^24
    return us > kMaxUs - part ? kMaxUs : us + part;
}

std::uint64_t AddSaturated(std::uint64_t a, std::uint64_t b) {
    return a > kMaxUs - b ? kMaxUs : a + b;
}

// Delivers every event of every track; nothing is stored in the song model.
class SegmentReader : public SongReader {
public:
    bool Read(ByteSource& in, std::vector<TickedEvent>& events, std::vector<std::uint8_t>& pool,
              std::uint64_t& endTick) {
        ClearTracks();
        ResetSong();
        endTick = 0;
        bool fits = true;
        const bool smf = ForEachEvent(in, [&] {
            endTick = std::max(endTick, runningTick);
            if (IsEndOfTrackEvent() || eventOversize || eventIsEscape || eventLength == 0)
                return true;
            const std::uint8_t* buf = eventBuffer.get();
            if (eventIsMeta) {
                // Set Tempo: code 0x60 and three bytes of microseconds per quarter note.
                if (eventMetaType == 0x51 && buf[0] == 0x60 && eventLength == 4) {
                    const std::uint32_t tempo =
                        (std::uint32_t{buf[1]} << 16) | (std::uint32_t{buf[2]} << 8) | buf[3];
                    events.push_back({runningTick, 0, 0, tempo, true});
                }
                return true;
            }
            const bool channelMessage = buf[0] >= 0x80 && buf[0] < 0xF0;
            const bool sysEx = buf[0] == 0xF0 && eventLength >= 2 && buf[eventLength - 1] == 0xF7;
            if (!channelMessage && !sysEx)
                return true;
            if (pool.size() > std::numeric_limits<std::uint32_t>::max() - eventLength) {
                fits = false;
                return false;
            }
            events.push_back(
                {runningTick, static_cast<std::uint32_t>(pool.size()), eventLength, 0, false});
            pool.insert(pool.end(), buf, buf + eventLength);
            return true;
        });
        return smf && fits;
    }
};

} // namespace

std::shared_ptr<const Segment> Segment::FromSmf(const std::uint8_t* bytes, std::size_t size) {
    std::vector<TickedEvent> ticked;
    auto segment = std::make_shared<Segment>();
    std::uint64_t endTick = 0;
    std::uint64_t division = 0;
    {
        MemorySource source(bytes, size);
        SegmentReader reader;
        if (!reader.Read(source, ticked, segment->pool_, endTick))
            return nullptr;
        division = static_cast<std::uint64_t>(reader.division);
    }
    // Tracks were read one after the other: a stable sort by tick merges them, keeping
    // the track order for events at the same tick.
    std::stable_sort(ticked.begin(), ticked.end(),
                     [](const TickedEvent& a, const TickedEvent& b) { return a.tick < b.tick; });

    std::uint64_t tempo = kDefaultTempo;
    std::uint64_t baseTick = 0;
    std::uint64_t baseUs = 0;
    auto timeOf = [&](std::uint64_t tick) {
        return AddSaturated(baseUs, TicksToUs(tick - baseTick, tempo, division));
    };
    segment->events_.reserve(ticked.size());
    for (const TickedEvent& e : ticked) {
        const std::uint64_t us = timeOf(e.tick);
        if (e.isTempo) {
            baseUs = us;
            baseTick = e.tick;
            tempo = e.tempo;
            continue;
        }
        segment->events_.push_back({us, e.offset, e.size});
    }
    segment->lengthUs_ = timeOf(std::max(endTick, baseTick));
    return segment;
}
