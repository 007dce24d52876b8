// The song model: priorities and the sequence polyphony. Event order in a track is checked
// where the MIP message is inserted and channels are duplicated.
#include "tests/core/CoreSupport.h"

#include <algorithm>
#include <array>
#include <map>
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

// The sum of the enabled channels' entries at each millisecond before lastTime.
int Oracle(const SongData& song, const Timelines& tl) {
    std::array<std::map<std::uint32_t, std::uint32_t>, 16> last; // the last entry wins
    for (int ch = 0; ch < 16; ++ch)
        for (const auto& [t, v] : tl[ch])
            last[ch][t] = v;
    std::int64_t best = 0;
    for (std::uint32_t t = 0; t < song.lastTime; ++t) {
        std::int64_t sum = 0;
        bool found = false;
        for (int ch = 0; ch < 16; ++ch) {
            const auto it = last[ch].find(t);
            if (song.enabled[ch] && it != last[ch].end()) {
                sum += it->second;
                found = true;
            }
        }
        if (found && sum > best)
            best = sum;
    }
    return static_cast<int>(best);
}

TEST(SequencePolyphony, MatchesPerMillisecondDefinitionOnRandomSongs) {
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

} // namespace
