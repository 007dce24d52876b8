// Priority proposal: SongReader::ProposePriorities.
#include "song/SongReader.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

// Weight of each General MIDI program in the weighting system: pianos, chromatic
// percussion, organs and synth leads weigh 2, guitars and basses 1, ensembles, pads and
// sound effects 0.
constexpr std::uint8_t kProgramWeight[128] = {
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // 0-15
    2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, // 16-31
    1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 1, 2, 2, 0, 0, // 32-47
    0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 1, 1, 2, 0, 0, 0, // 48-63
    2, 1, 2, 0, 1, 1, 1, 2, 2, 2, 0, 2, 1, 1, 0, 0, // 64-79
    2, 2, 2, 2, 2, 2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, // 80-95
    0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 1, 1, 1, 1, 2, 0, // 96-111
    0, 0, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 2, 0, 0, 0, // 112-127
};

int ProgramWeight(unsigned program) {
    return program < 128 ? kProgramWeight[program] : 0;
}

} // namespace

void SongReader::ProposePriorities() {
    RankChannels();
    // Every used channel gets a place, in the order the ranking gave: a drum-only song's
    // percussion channel, which the weighting only ever places second, takes the first, and
    // priorities a rejected MIP message left behind cannot leave gaps or doubles. Channels
    // without notes or messages hold none.
    int order[kChannels];
    int count = 0;
    for (int ch = 0; ch < kChannels; ++ch) {
        if (used[ch])
            order[count++] = ch;
        else
            priority[ch] = 0;
    }
    auto rank = [this](int ch) { return priority[ch] > 0 ? priority[ch] : INT_MAX; };
    std::stable_sort(order, order + count, [&](int a, int b) { return rank(a) < rank(b); });
    for (int k = 0; k < count; ++k)
        priority[order[k]] = k + 1;
}

void SongReader::RankChannels() {
    if (!switches.prioOblix) {
        int p = 1;
        for (int ch = 0; ch < kChannels; ++ch)
            if (used[ch])
                SetChannelPriority(ch, p++);
        return;
    }

    // Weighting system: instrument, note density, loudness and volume give each channel a
    // score; the channels are ranked by score and the percussion channel goes second.
    std::int64_t score[kChannels] = {};
    std::int64_t maxDensity = 0;
    std::int64_t maxVelocity = 0;
    for (int ch = 0; ch < kChannels; ++ch) {
        if (!used[ch])
            score[ch] = 0;
        else if (ch == 9)
            score[ch] = 100;
        else if (ch == 10 && channel11Percussion)
            score[ch] = 0;
        else {
            score[ch] = 2 * ProgramWeight(GetProgram(ch)) + 1;
            if (noteCount[ch] != 0) {
                if (maxPolyphony[ch] != 0)
                    maxDensity =
                        std::max<std::int64_t>(maxDensity, noteCount[ch] / maxPolyphony[ch]);
                maxVelocity = std::max<std::int64_t>(
                    maxVelocity, static_cast<std::int64_t>(velocitySum[ch] / noteCount[ch]));
            }
        }
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        if (!used[ch])
            continue;
        const std::int64_t notes = noteCount[ch];
        if (maxPolyphony[ch] != 0 && maxDensity != 0)
            score[ch] += ((notes / maxPolyphony[ch]) * 4) / maxDensity;
        if (notes != 0 && maxVelocity != 0)
            score[ch] +=
                ((static_cast<std::int64_t>(velocitySum[ch]) * 32) / notes / maxVelocity) / 4;
        score[ch] += maxVolume[ch] / 32 + 1;
        // Percussion on channel index 10 can outscore the melodic channels; it still has to
        // be ranked. Index 9 keeps its 100 or more and takes priority 2 by its own rule.
        if (ch != 9 && score[ch] > 50)
            score[ch] = 50;
    }
    int p = 1;
    for (int target = 50; target >= 1; --target) {
        for (int ch = 0; ch < kChannels; ++ch) {
            if (score[ch] != target)
                continue;
            SetChannelPriority(ch, p++);
            score[ch] = 0;
            if (p == 2 && used[9]) {
                SetChannelPriority(9, 2);
                p = 3;
            }
        }
    }
}
