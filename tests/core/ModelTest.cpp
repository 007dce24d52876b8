// The song model: priorities and the sequence polyphony. Event order in a track is checked
// where the MIP message is inserted and channels are duplicated.
#include "tests/core/CoreSupport.h"

#include <algorithm>
#include <array>
#include <map>
#include <numeric>
#include <random>

using namespace core;

namespace {

TEST(SetChannelPriority, MovesLikeAnOrderedList) {
    const struct {
        std::array<int, 5> before; // priorities of channels 0-4
        int channel, priority;
        std::array<int, 5> after;
    } cases[] = {{{1, 2, 3, 0, 0}, 2, 1, {2, 3, 1, 0, 0}},
                 {{1, 2, 3, 0, 0}, 0, 3, {3, 1, 2, 0, 0}},
                 {{1, 2, 3, 0, 0}, 1, 2, {1, 2, 3, 0, 0}},
                 {{1, 2, 3, 0, 0}, 3, 4, {1, 2, 3, 4, 0}},
                 // a channel without a priority is inserted: the rest move down
                 {{1, 2, 3, 0, 0}, 3, 1, {2, 3, 4, 1, 0}},
                 {{1, 2, 3, -1, 0}, 3, 3, {1, 2, 4, 3, 0}}};
    for (const auto& c : cases) {
        SongFile song;
        std::copy(c.before.begin(), c.before.end(), song.priority.begin());
        song.SetChannelPriority(c.channel, c.priority);
        std::array<int, 5> got{};
        std::copy_n(song.priority.begin(), 5, got.begin());
        EXPECT_EQ(got, c.after) << c.channel << " to " << c.priority;
        for (int ch = 5; ch < 16; ++ch)
            EXPECT_EQ(song.priority[ch], 0) << "channels without a priority never shift";
    }
}

using Timelines = std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>>;

// Millisecond by millisecond before lastTime: where an enabled channel has an entry, the sum
// of every enabled channel's count as of then (its latest entry at or before it).
int Oracle(const SongData& song, const Timelines& tl) {
    std::array<std::map<std::uint32_t, std::uint32_t>, 16> last; // the last entry wins
    for (int ch = 0; ch < 16; ++ch)
        for (const auto& [t, v] : tl[ch])
            last[ch][t] = v;
    std::int64_t best = 0;
    std::array<std::uint32_t, 16> held{};
    for (std::uint32_t t = 0; t < song.lastTime; ++t) {
        bool found = false;
        for (int ch = 0; ch < 16; ++ch) {
            const auto it = last[ch].find(t);
            if (it != last[ch].end()) {
                held[ch] = it->second;
                found = found || song.enabled[ch];
            }
        }
        std::int64_t sum = 0;
        for (int ch = 0; ch < 16; ++ch)
            sum += song.enabled[ch] ? held[ch] : 0;
        if (found && sum > best)
            best = sum;
    }
    return static_cast<int>(best);
}

TEST(SequencePolyphony, HeldNotesCountWhenAnotherChannelMoves) {
    // Five channels strike four notes each, one after another, and hold them; a sixth strikes
    // one more: 21 notes sound at once, though no single time has events on every channel.
    SongFile song;
    song.lastTime = 1000;
    for (int ch = 0; ch < 5; ++ch) {
        song.timelines[ch].Set(std::uint32_t(ch) * 10, 4);
        song.timelines[ch].Set(900, 0);
    }
    song.timelines[5].Set(60, 1);
    song.timelines[5].Set(900, 0);
    song.ComputeSequencePolyphony();
    EXPECT_EQ(song.sequencePolyphony, 21);

    std::vector<std::pair<std::uint32_t, std::uint64_t>> sums;
    song.enabled[2] = false; // a muted channel neither counts nor marks a time
    song.timelines[2].Set(70, 4);
    song.VisitPolyphonySums([&](std::uint32_t t, std::uint64_t sum) { sums.push_back({t, sum}); });
    const std::vector<std::pair<std::uint32_t, std::uint64_t>> expected = {
        {0, 4}, {10, 8}, {30, 12}, {40, 16}, {60, 17}, {900, 0}};
    EXPECT_EQ(sums, expected);
}

TEST(SequencePolyphony, MatchesPerMillisecondWalkOnRandomSongs) {
    std::mt19937 rng(20261206);
    for (int round = 0; round < 300; ++round) {
        SongFile song;
        song.lastTime = rng() % 400;
        Timelines tl(16);
        const int channels = 1 + static_cast<int>(rng() % 16);
        for (int k = 0; k < channels; ++k) {
            const int ch = static_cast<int>(rng() % 16);
            const int entries = static_cast<int>(rng() % 30);
            for (int e = 0; e < entries; ++e) {
                // mostly ascending, sometimes back in time (a later track), some at or past
                // lastTime
                const std::uint32_t t = rng() % 450;
                const std::uint32_t v = rng() % 6;
                song.timelines[ch].Set(t, v);
                tl[ch].push_back({t, v});
            }
            song.enabled[ch] = rng() % 4 != 0;
        }
        song.ComputeSequencePolyphony();
        ASSERT_EQ(song.sequencePolyphony, Oracle(song, tl)) << "round " << round;
        // an edit of the enabled flags is seen by the next computation
        song.enabled.fill(true);
        song.ComputeSequencePolyphony();
        ASSERT_EQ(song.sequencePolyphony, Oracle(song, tl)) << "round " << round;
    }
}

TEST(SequencePolyphony, VisitsEveryTimeOverLongSongsWithGaps) {
    // Songs of several seconds: entries in bursts around whole seconds and multiples of 1024
    // ms, long silences between them, some channels ending early; every visited time and sum
    // against a millisecond-by-millisecond walk.
    std::mt19937 rng(20261207);
    for (int round = 0; round < 40; ++round) {
        SongFile song;
        song.lastTime = 2000 + rng() % 9000;
        std::array<std::map<std::uint32_t, std::uint32_t>, 16> last;
        for (int ch = 0; ch < 16; ++ch) {
            song.enabled[ch] = rng() % 5 != 0;
            const int bursts = static_cast<int>(rng() % 6);
            for (int b = 0; b < bursts; ++b) {
                const std::uint32_t base = (rng() % 2 ? 1000u : 1024u) * (rng() % 11);
                for (int e = 0; e < 8; ++e) {
                    const std::uint32_t t = base + rng() % 5 - std::min<std::uint32_t>(base, 2);
                    const std::uint32_t v = rng() % 9;
                    song.timelines[ch].Set(t, v);
                    last[ch][t] = v;
                }
            }
        }
        std::vector<std::pair<std::uint32_t, std::uint64_t>> expected, sums;
        std::array<std::uint64_t, 16> held{};
        for (std::uint32_t t = 0; t < song.lastTime; ++t) {
            bool found = false;
            for (int ch = 0; ch < 16; ++ch)
                if (const auto it = last[ch].find(t); it != last[ch].end() && song.enabled[ch]) {
                    held[ch] = it->second;
                    found = true;
                }
            if (found)
                expected.push_back(
                    {t, std::accumulate(held.begin(), held.end(), std::uint64_t{0})});
        }
        song.VisitPolyphonySums([&](std::uint32_t t, std::uint64_t sum) {
            sums.push_back({t, sum});
        });
        ASSERT_EQ(sums, expected) << "round " << round;
    }
}

} // namespace
