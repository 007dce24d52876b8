#include "bench/GeneratedSong.h"

#include <cstdio>
#include <memory>

namespace generatedsong {

namespace {

constexpr int kChannels = 16;
// Measured bytes a step costs over all channels; StepsForSize divides by it.
constexpr std::uint64_t kBytesPerStep = 16 * 23;

// A small deterministic generator (xorshift): the same seed, the same song everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint32_t Next(std::uint32_t bound) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<std::uint32_t>((state_ >> 16) % bound);
    }

private:
    std::uint64_t state_;
};

void PutVarLen(std::vector<std::uint8_t>& out, std::uint32_t value) {
    std::uint8_t groups[5];
    int n = 0;
    groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
    while ((value >>= 7) != 0)
        groups[n++] = static_cast<std::uint8_t>(0x80 | (value & 0x7F));
    while (n > 0)
        out.push_back(groups[--n]);
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Writes channel messages with running status: the status byte goes out only when it
// changes.
class TrackWriter {
public:
    explicit TrackWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void Message(std::uint32_t delta, std::uint8_t status, std::uint8_t a, int b = -1) {
        PutVarLen(out_, delta);
        if (status != running_)
            out_.push_back(status);
        running_ = status;
        out_.push_back(a);
        if (b >= 0)
            out_.push_back(static_cast<std::uint8_t>(b));
    }
    void Meta(std::uint32_t delta, std::uint8_t type, const std::vector<std::uint8_t>& data) {
        PutVarLen(out_, delta);
        out_.push_back(0xFF);
        out_.push_back(type);
        PutVarLen(out_, static_cast<std::uint32_t>(data.size()));
        out_.insert(out_.end(), data.begin(), data.end());
        running_ = 0;
    }
    void End() { Meta(0, 0x2F, {}); }

private:
    std::vector<std::uint8_t>& out_;
    std::uint8_t running_ = 0;
};

std::vector<std::uint8_t> TempoTrack(std::uint64_t steps) {
    std::vector<std::uint8_t> events;
    TrackWriter w(events);
    const std::string name = "Generated song";
    w.Meta(0, 0x03, std::vector<std::uint8_t>(name.begin(), name.end()));
    w.Meta(0, 0x51, {0x07, 0xA1, 0x20});
    // A tempo change every 512 steps, as a live recording has.
    for (std::uint64_t s = 512; s < steps; s += 512)
        w.Meta(512 * kStepTicks, 0x51, {0x07, static_cast<std::uint8_t>(0x80 + s / 512 % 64), 0});
    w.End();
    return events;
}

// One channel's track: per step a chord of three notes (or a drum hit on the percussion
// channel), the previous chord's note-offs as note-ons of velocity 0, now and then a held
// melody note, a controller or a pitch bend.
std::vector<std::uint8_t> ChannelTrack(int ch, std::uint64_t steps) {
    std::vector<std::uint8_t> events;
    events.reserve(steps * 21 + 64);
    TrackWriter w(events);
    Random rnd(static_cast<std::uint64_t>(ch) + 1);
    const auto on = static_cast<std::uint8_t>(0x90 | ch);
    // Melodic channels end their notes with Note Offs, the percussion channel with Note Ons
    // of velocity 0, as sequencers write them.
    const auto off = static_cast<std::uint8_t>((ch == 9 ? 0x90 : 0x80) | ch);
    const int offVelocity = ch == 9 ? 0 : 64;
    const auto cc = static_cast<std::uint8_t>(0xB0 | ch);
    w.Message(0, static_cast<std::uint8_t>(0xC0 | ch), static_cast<std::uint8_t>(ch * 8 % 128));
    w.Message(0, cc, 7, 100);
    std::uint8_t chord[3] = {0, 0, 0};
    int chordSize = 0;
    int held = -1;
    std::uint64_t heldUntil = 0;
    std::uint32_t delta = 0;
    for (std::uint64_t s = 0; s < steps; ++s) {
        for (int i = 0; i < chordSize; ++i) {
            w.Message(delta, off, chord[i], offVelocity);
            delta = 0;
        }
        if (held >= 0 && s >= heldUntil) {
            w.Message(delta, off, static_cast<std::uint8_t>(held), offVelocity);
            delta = 0;
            held = -1;
        }
        const int base = ch == 9 ? 35 : 36 + static_cast<int>(rnd.Next(36));
        chordSize = ch == 9 ? 1 + static_cast<int>(rnd.Next(2)) : 3;
        for (int i = 0; i < chordSize; ++i) {
            chord[i] = static_cast<std::uint8_t>(ch == 9 ? base + rnd.Next(46) : base + 4 * i);
            w.Message(delta, on, chord[i], static_cast<int>(40 + rnd.Next(80)));
            delta = 0;
        }
        if (held < 0 && rnd.Next(16) == 0 && ch != 9) {
            held = 84 + static_cast<int>(rnd.Next(12));
            heldUntil = s + 4 + rnd.Next(8);
            w.Message(0, on, static_cast<std::uint8_t>(held), 90);
        }
        if (s % 2 == 0)
            w.Message(0, cc, 11, static_cast<int>(64 + rnd.Next(64)));
        const std::uint32_t r = rnd.Next(32);
        if (r == 0)
            w.Message(0, cc, 1, static_cast<int>(rnd.Next(128)));
        else if (r == 1)
            w.Message(0, static_cast<std::uint8_t>(0xE0 | ch), 0, static_cast<int>(rnd.Next(128)));
        else if (r == 2 && rnd.Next(64) == 0)
            w.Message(0, static_cast<std::uint8_t>(0xC0 | ch),
                      static_cast<std::uint8_t>(rnd.Next(128)));
        delta = kStepTicks;
    }
    for (int i = 0; i < chordSize; ++i) {
        w.Message(delta, off, chord[i], offVelocity);
        delta = 0;
    }
    if (held >= 0)
        w.Message(delta, off, static_cast<std::uint8_t>(held), offVelocity);
    w.End();
    return events;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool PutChunk(std::FILE* f, const std::vector<std::uint8_t>& events) {
    std::vector<std::uint8_t> head = {'M', 'T', 'r', 'k'};
    PutBigEndian(head, static_cast<std::uint32_t>(events.size()), 4);
    return std::fwrite(head.data(), 1, head.size(), f) == head.size() &&
           std::fwrite(events.data(), 1, events.size(), f) == events.size();
}

std::vector<std::uint8_t> Header() {
    std::vector<std::uint8_t> h = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    PutBigEndian(h, kChannels + 1, 2);
    PutBigEndian(h, kDivision, 2);
    return h;
}

} // namespace

std::uint64_t StepsForSize(std::uint64_t bytes) {
    return bytes / kBytesPerStep;
}

std::uint64_t StepsForMinutes(double minutes) {
    // 480 ticks a quarter note at 120 beats a minute: one tick is 1/960 s.
    return static_cast<std::uint64_t>(minutes * 60.0 * 960.0 / kStepTicks);
}

std::vector<std::uint8_t> Build(std::uint64_t steps) {
    std::vector<std::uint8_t> file = Header();
    auto append = [&file](const std::vector<std::uint8_t>& events) {
        file.insert(file.end(), {'M', 'T', 'r', 'k'});
        PutBigEndian(file, static_cast<std::uint32_t>(events.size()), 4);
        file.insert(file.end(), events.begin(), events.end());
    };
    append(TempoTrack(steps));
    for (int ch = 0; ch < kChannels; ++ch)
        append(ChannelTrack(ch, steps));
    return file;
}

bool Write(const std::string& path, std::uint64_t steps) {
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
    if (!f)
        return false;
    const std::vector<std::uint8_t> head = Header();
    bool ok = std::fwrite(head.data(), 1, head.size(), f.get()) == head.size() &&
              PutChunk(f.get(), TempoTrack(steps));
    for (int ch = 0; ch < kChannels && ok; ++ch)
        ok = PutChunk(f.get(), ChannelTrack(ch, steps));
    return std::fclose(f.release()) == 0 && ok;
}

} // namespace generatedsong
