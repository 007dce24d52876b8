// Writes examples/demo.mid, Quellor's bundled demo song, from the note lists below.
// Format 1, division 480, eight bars at 120 bpm: a tempo track with the song's name, a
// marker and the tempo, then melody, chords, bass, pad, arpeggio and drums on six channels.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kDivision = 480;
constexpr int kBar = 4 * kDivision;

struct Note {
    int start; // ticks
    int length;
    int key;
    int velocity;
};

struct Event {
    int tick;
    int order; // note-offs before note-ons at the same tick
    std::vector<std::uint8_t> bytes;
};

void PutVarLen(std::vector<std::uint8_t>& out, std::uint32_t value) {
    std::uint8_t buf[5];
    int n = 0;
    buf[n++] = value & 0x7F;
    while ((value >>= 7) != 0)
        buf[n++] = static_cast<std::uint8_t>(0x80 | (value & 0x7F));
    while (n > 0)
        out.push_back(buf[--n]);
}

std::vector<std::uint8_t> Chunk(const char* id, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out(id, id + 4);
    const auto n = static_cast<std::uint32_t>(data.size());
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(static_cast<std::uint8_t>(n >> s));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<std::uint8_t> TrackChunk(std::vector<Event> events) {
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    std::vector<std::uint8_t> data;
    int last = 0;
    for (const Event& e : events) {
        PutVarLen(data, static_cast<std::uint32_t>(e.tick - last));
        data.insert(data.end(), e.bytes.begin(), e.bytes.end());
        last = e.tick;
    }
    const std::uint8_t end[] = {0x00, 0xFF, 0x2F, 0x00};
    data.insert(data.end(), end, end + 4);
    return Chunk("MTrk", data);
}

std::vector<std::uint8_t> Meta(std::uint8_t type, const std::string& text) {
    std::vector<std::uint8_t> b = {0xFF, type};
    PutVarLen(b, static_cast<std::uint32_t>(text.size()));
    b.insert(b.end(), text.begin(), text.end());
    return b;
}

std::vector<Event> Part(const std::string& name, int channel, int program, int volume,
                        const std::vector<Note>& notes) {
    const auto ch = static_cast<std::uint8_t>(channel);
    std::vector<Event> events = {
        {0, 0, Meta(0x03, name)},
        {0, 1, {static_cast<std::uint8_t>(0xB0 | ch), 7, static_cast<std::uint8_t>(volume)}},
    };
    if (program >= 0)
        events.push_back(
            {0, 2, {static_cast<std::uint8_t>(0xC0 | ch), static_cast<std::uint8_t>(program)}});
    for (const Note& n : notes) {
        events.push_back({n.start,
                          4,
                          {static_cast<std::uint8_t>(0x90 | ch), static_cast<std::uint8_t>(n.key),
                           static_cast<std::uint8_t>(n.velocity)}});
        events.push_back(
            {n.start + n.length,
             3,
             {static_cast<std::uint8_t>(0x80 | ch), static_cast<std::uint8_t>(n.key), 64}});
    }
    return events;
}

} // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "demo.mid";
    // C - Am - F - G, twice.
    const int roots[8] = {48, 45, 41, 43, 48, 45, 41, 43};
    const int thirds[8] = {4, 3, 4, 4, 4, 3, 4, 4};

    std::vector<Note> melody, chords, bass, pad, arpeggio, drums;
    const int tune[16] = {72, 74, 76, 79, 76, 74, 72, 69, 72, 77, 76, 74, 71, 74, 79, 77};
    for (int i = 0; i < 16; ++i)
        melody.push_back({i * kBar / 2, kBar / 2 - 20, tune[i], 96});
    for (int bar = 0; bar < 8; ++bar) {
        const int r = roots[bar] + 12, t = bar * kBar;
        for (int beat = 0; beat < 4; beat += 2)
            for (int k : {0, thirds[bar], 7})
                chords.push_back({t + beat * kDivision, 2 * kDivision - 40, r + k, 70});
        for (int beat = 0; beat < 4; ++beat)
            bass.push_back(
                {t + beat * kDivision, kDivision - 30, roots[bar] - 12 + (beat == 2 ? 7 : 0), 100});
        pad.push_back({t, kBar - 10, r + 12, 50});
        pad.push_back({t, kBar - 10, r + 19, 50});
        for (int step = 0; step < 8; ++step) {
            const int k = (step % 4 == 0)   ? 0
                          : (step % 4 == 1) ? thirds[bar]
                          : (step % 4 == 2) ? 7
                                            : 12;
            arpeggio.push_back({t + step * kDivision / 2, kDivision / 2 - 10, r + 24 + k, 64});
        }
        for (int beat = 0; beat < 4; ++beat) {
            const int at = t + beat * kDivision;
            drums.push_back({at, 60, beat % 2 == 0 ? 36 : 38, 110}); // kick, snare
            drums.push_back({at, 60, 42, 80});                       // closed hi-hat
            drums.push_back({at + kDivision / 2, 60, 42, 60});
        }
    }

    std::vector<Event> conductor = {
        {0, 0, Meta(0x03, "Quellor Demo")},
        {0, 1, {0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08}}, // 4/4
        {0, 2, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}},       // 500000 us per quarter note
        {0, 3, Meta(0x06, "Quellor Demo")},
        {4 * kBar, 4, Meta(0x06, "Second half")},
    };

    std::vector<std::uint8_t> file =
        Chunk("MThd", {0x00, 0x01, 0x00, 0x07, kDivision >> 8, kDivision & 0xFF});
    for (const auto& track :
         {conductor, Part("Flute", 0, 73, 100, melody), Part("Piano", 1, 0, 90, chords),
          Part("Bass", 2, 33, 110, bass), Part("Strings", 3, 48, 80, pad),
          Part("Vibes", 4, 11, 85, arpeggio), Part("Drums", 9, -1, 100, drums)}) {
        const auto chunk = TrackChunk(track);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    std::FILE* out = std::fopen(path, "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() ||
        std::fclose(out) != 0) {
        std::perror(path);
        return 1;
    }
    return 0;
}
