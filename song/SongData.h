#pragma once

#include "song/PolyphonyTimeline.h"
#include "song/SongSwitches.h"
#include "song/Track.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The in-memory picture of one song: header values, tracks with their events, and sixteen
// per-channel records holding what the analysis found and what the user edits.
//
// Time is milliseconds at a fixed tempo of 500000 us per quarter note; channels are indexes
// 0-15 (index 9 is MIDI channel 10, the percussion channel); priority 1 is the highest and
// 0 or below means none.
class SongData {
public:
    static constexpr int kChannels = 16;
    static constexpr std::uint32_t kEventBufferSize = 65535;

    SongData();
    ~SongData();
    SongData(const SongData&) = delete;
    SongData& operator=(const SongData&) = delete;

    // Destroys every track with its events and releases the event buffer.
    void ClearTracks();
    // Every field back to its default: empty timelines, one empty track, a new event buffer.
    // `path` and `polyphony` are left as they are.
    void ResetSong();

    bool IsChannelUsed(int ch) const { return used[ch]; }
    void SetChannelUsed(int ch, bool value) { used[ch] = value; }
    int CountUsedChannels() const;
    std::uint8_t GetProgram(int ch) const { return static_cast<std::uint8_t>(program[ch]); }
    int GetPriority(int ch) const { return priority[ch]; }
    int GetPolyphony(int ch) const { return polyphony[ch]; }
    void SetPolyphony(int ch, int value) { polyphony[ch] = value; }

    // Moves channel `ch` to priority `p`, shifting the channels in between like moving an
    // item in an ordered list. Channels without a priority (0 or below) never shift.
    void SetChannelPriority(int ch, int p);
    // Cumulative MIP value per channel in priority order (the vibra channel adds nothing);
    // 0 for a muted channel.
    void ComputeMipTable();
    // Calls visit(channel, sum) for the channels the MIP message lists, in its order: every
    // used, enabled channel with a priority 1-16, by ascending priority, equal priorities by
    // ascending channel, except that channels needing no voice (the vibra channel, polyphony
    // 0) never come before the first channel that needs voices. sum is the running total of
    // their polyphony, to which the vibra channel adds nothing, and at least 1.
    template <class Visit> void VisitMipOrder(Visit&& visit) const;
    // Most notes sounding at once over the enabled channels: the greatest sum of their counts
    // at the times before lastTime at which one of them has a timeline entry.
    void ComputeSequencePolyphony();
    // Calls visit(time, sum) in ascending time for every time before lastTime at which an
    // enabled channel has a timeline entry; sum adds every enabled channel's count as of that
    // time (its latest entry at or before it, 0 before its first). Only those times can
    // change the sums, so the walk costs by note events, not by the song's length.
    template <class Visit> void VisitPolyphonySums(Visit&& visit) const;

    const std::string& GetTitle() const { return title; }
    void SetTitle(const std::string& text) { title = text; }
    const std::string& GetPath() const { return path; }
    void SetPath(const std::string& text) { path = text; }
    std::uint32_t GetDuration() const { return firstTime < lastTime ? lastTime - firstTime : 0; }
    int GetDivision() const { return division; }

    std::size_t GetTrackCount() const { return tracks.size(); }
    // Throws std::invalid_argument for an index outside the track list.
    Track& GetTrack(std::size_t index);
    const Track& GetTrack(std::size_t index) const;
    Track& AppendTrack();

    // The switches this song is loaded and written with; its owner sets them. Loading a
    // song that sets up a vibra channel changes vibraMode to match. Neither reset touches them.
    SongSwitches switches;

    std::array<PolyphonyTimeline, kChannels> timelines;
    std::vector<Track> tracks;
    int format = 0;
    std::uint32_t firstTime = 0;
    std::uint32_t lastTime = 0;
    int division = 0;
    int timeUnit = 1000;
    double msPerTick = 0.0;
    int currentTrack = 0;
    std::string title;
    std::string path;
    bool titleFromMarker = false;
    // Absolute tick within the track being read or written. 64 bits: a file's delta times
    // can add up beyond 32 bits.
    std::uint64_t runningTick = 0;
    std::uint8_t runningStatus = 0;

    // The event just read (reader work fields).
    std::uint32_t eventTime = 0;
    bool eventIsMeta = false;
    bool eventIsEscape = false;
    std::uint8_t eventMetaType = 0;
    // The event was consumed whole but did not fit the buffer; eventLength is its size.
    bool eventOversize = false;
    std::uint32_t eventLength = kEventBufferSize;
    std::unique_ptr<std::uint8_t[]> eventBuffer;

    std::array<bool, kChannels> used{};
    std::array<int, kChannels> maxPolyphony{};
    std::array<int, kChannels> sounding{};
    // Notes sounding per key (counter during load): a note-off ends every note of its key.
    std::array<std::array<std::uint16_t, 128>, kChannels> soundingKeys{};
    std::array<bool, kChannels> programSeen{};
    std::array<int, kChannels> program{};
    std::array<std::uint32_t, kChannels> noteCount{};
    std::array<std::uint64_t, kChannels> velocitySum{};
    std::array<int, kChannels> volume{};
    std::array<int, kChannels> maxVolume{};
    std::array<int, kChannels> mip{};
    bool hasMipMessage = false;
    std::array<int, kChannels> priority{};
    std::array<int, kChannels> polyphony{};
    std::array<bool, kChannels> enabled{};
    bool channel11Percussion = false;
    int vibraChannel = -1;
    int sequencePolyphony = 0;
};

template <class Visit> void SongData::VisitMipOrder(Visit&& visit) const {
    int order[kChannels];
    int count = 0;
    for (int p = 1; p <= kChannels; ++p)
        for (int ch = 0; ch < kChannels; ++ch)
            if (used[ch] && enabled[ch] && priority[ch] == p)
                order[count++] = ch;
    // A channel that needs no voice (the vibra channel, a channel with polyphony 0) never
    // heads the list while a channel that needs voices follows: at the head its value would
    // be 0, which phones take as "mute". It waits behind the first channel that needs voices.
    const auto needsVoices = [this](int ch) { return ch != vibraChannel && polyphony[ch] > 0; };
    const auto lead = std::find_if(order, order + count, needsVoices);
    if (lead != order + count)
        std::rotate(order, lead, lead + 1);
    int sum = 0;
    for (int i = 0; i < count; ++i) {
        const int ch = order[i];
        if (ch != vibraChannel)
            sum += polyphony[ch];
        // With no channel that needs voices the value is still 1, never the reserved 0:
        // a lone vibra channel plays on every phone.
        visit(ch, std::max(sum, 1));
    }
}

template <class Visit> void SongData::VisitPolyphonySums(Visit&& visit) const {
    // The enabled channels' sorted entry lists are merged a block of times at a time: each
    // list adds its changes of the count within the block to a small table by time and marks
    // those times, then the marked times are walked in order with a running sum. Each entry
    // costs a few steps, and a block with no entry costs nothing (the next block starts at
    // the earliest entry left). Disabled channels neither count nor mark a time.
    constexpr std::uint32_t kBlock = 1024; // times per block
    struct Cursor {
        const PolyphonyTimeline::Entry* at;
        const PolyphonyTimeline::Entry* end;
        std::uint32_t current; // the channel's count before `at`
    };
    Cursor cursors[kChannels];
    int count = 0;
    std::uint64_t start = 0xFFFFFFFFu; // the earliest entry left
    for (int ch = 0; ch < kChannels; ++ch) {
        const auto& entries = timelines[ch].Entries();
        if (!enabled[ch] || entries.empty())
            continue;
        cursors[count++] = {entries.data(), entries.data() + entries.size(), 0};
        start = std::min<std::uint64_t>(start, entries.front().time);
    }
    std::uint64_t change[kBlock] = {}; // the sum's change at each time of the block
    std::uint64_t marked[kBlock / 64] = {};
    std::uint64_t sum = 0;
    while (start < lastTime) {
        const std::uint64_t stop = std::min<std::uint64_t>(start + kBlock, lastTime);
        std::uint64_t next = 0xFFFFFFFFu;
        for (int k = 0; k < count; ++k) {
            Cursor& c = cursors[k];
            for (; c.at != c.end && c.at->time < stop; ++c.at) {
                const auto i = static_cast<std::size_t>(c.at->time - start);
                change[i] += std::uint64_t{c.at->value} - c.current;
                c.current = c.at->value;
                marked[i / 64] |= std::uint64_t{1} << (i % 64);
            }
            if (c.at != c.end)
                next = std::min<std::uint64_t>(next, c.at->time);
        }
        for (std::size_t word = 0; word < kBlock / 64; ++word) {
            for (std::uint64_t bits = marked[word]; bits != 0; bits &= bits - 1) {
                const std::size_t i = word * 64 + static_cast<std::size_t>(std::countr_zero(bits));
                sum += change[i];
                change[i] = 0;
                visit(static_cast<std::uint32_t>(start + i), sum);
            }
            marked[word] = 0;
        }
        start = next;
    }
}
