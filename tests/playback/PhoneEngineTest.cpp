// The phone preview through Sonivox EAS: which channels a phone with N voices keeps (the
// song's MIP message decides), what N voices leave of a chord, sameness of renders, and the
// refusals.
#include "playback/PhoneEngine.h"
#include "tests/playback/PhoneSupport.h"
#include "tests/playback/PlaybackSupport.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <thread>
#include <utility>

using namespace playtest;

namespace {

constexpr std::size_t kRate = PhoneEngine::kSampleRate;

// Format 0, division 500 (a tick lasts 1 ms at the default tempo).
Bytes Song(const Bytes& events) {
    return Cat({testfiles::Header(0, 1, 500), testfiles::TrackChunk(events)});
}

// The SP-MIDI MIP message as an SMF event at tick 0: (channel, cumulative MIP) pairs in
// priority order, channels counted from 0.
Bytes Mip(std::initializer_list<std::pair<int, int>> entries) {
    Bytes body = Hex("7F 7F 0B 01");
    for (const auto& [channel, mip] : entries)
        body.insert(body.end(),
                    {static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(mip)});
    body.push_back(0xF7);
    return Cat({{0x00, 0xF0}, Vlq(static_cast<std::uint32_t>(body.size())), body});
}

// Channel 1 (index 0): four piano notes; channel 2: four organ notes below them.
const Bytes kFirst = Chord(0, 0, {60, 64, 67, 72});
const Bytes kSecond = Chord(1, 19, {43, 50, 55, 62});

// Both chords at once, each from its own track so that both start at tick 0.
Bytes TwoChannels(const Bytes& setup, const Bytes& first, const Bytes& second) {
    return Cat({testfiles::Header(1, 2, 500), testfiles::TrackChunk(Cat({setup, first})),
                testfiles::TrackChunk(second)});
}

Samples Render(const Bytes& song, int voices) {
    Samples samples;
    const PhoneError error = PhoneEngine::RenderSong(song, voices, samples);
    EXPECT_EQ(error, PhoneError::None) << PhoneErrorText(error);
    return samples;
}

// Strength of `hz` (within a few hertz) in the mono mix of `frames` frames from `from`,
// by the Goertzel filter under a Hann window.
double Strength(const Samples& samples, std::size_t from, std::size_t frames, double hz) {
    double best = 0;
    for (double f = hz - 4; f <= hz + 4; f += 0.5) {
        const double w = 2 * std::numbers::pi * f / kRate;
        const double c = 2 * std::cos(w);
        double s1 = 0, s2 = 0;
        for (std::size_t i = 0; i < frames; ++i) {
            const std::size_t at = 2 * (from + i);
            const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (frames - 1));
            const double x = (samples[at] + samples[at + 1]) * 0.5 * window;
            const double s = x + c * s1 - s2;
            s2 = s1;
            s1 = s;
        }
        best = std::max(best, std::sqrt(s1 * s1 + s2 * s2 - c * s1 * s2) / frames);
    }
    return best;
}

TEST(PhoneMipTest, APhoneKeepsTheChannelsWhoseCumulativeMipFitsItsVoicesAndNoOthers) {
    // Channel 1 needs 4 voices, channels 1 and 2 together 8.
    const Bytes mip = Mip({{0, 4}, {1, 8}});
    const Bytes song = TwoChannels(mip, kFirst, kSecond);
    const Samples firstAlone = Render(TwoChannels(mip, kFirst, {}), 64);
    const Samples secondAlone = Render(TwoChannels(Mip({{1, 4}}), {}, kSecond), 64);
    ASSERT_GT(Level(firstAlone), 300);
    ASSERT_GT(Level(secondAlone), 300);

    for (int voices : {1, 3})
        EXPECT_EQ(Level(Render(song, voices)), 0) << voices << " voices: nothing fits";
    for (int voices : {4, 7})
        EXPECT_TRUE(SoundsLike(Render(song, voices), firstAlone))
            << voices << " voices: channel 1 only, channel 2 dropped";
    const Samples both = Render(song, 8);
    EXPECT_FALSE(SoundsLike(both, firstAlone)) << "8 voices: channel 2 plays too";
    EXPECT_GT(Level(both), 1.2 * Level(firstAlone));
    EXPECT_TRUE(SoundsLike(Render(song, 64), both));

    // The message's order is the priority, not the channel numbers.
    const Bytes reversed = TwoChannels(Mip({{1, 4}, {0, 8}}), kFirst, kSecond);
    EXPECT_TRUE(SoundsLike(Render(reversed, 4), secondAlone)) << "channel 2 first";
}

TEST(PhoneMipTest, AChannelTheMipMessageLeavesOutNeverPlaysAndASongWithoutOneKeepsAll) {
    // Channel 2 has notes but no MIP entry: a phone mutes it at any voice count.
    const Bytes song = TwoChannels(Mip({{0, 4}}), kFirst, kSecond);
    const Samples firstAlone = Render(TwoChannels(Mip({{0, 4}}), kFirst, {}), 64);
    EXPECT_TRUE(SoundsLike(Render(song, 64), firstAlone));

    // Without a MIP message nothing is muted: both channels sound as they do alone.
    const Samples both = Render(TwoChannels({}, kFirst, kSecond), 64);
    EXPECT_GT(Level(both), 1.2 * Level(Render(TwoChannels({}, kFirst, {}), 64)));
    EXPECT_GT(Level(both), 1.2 * Level(Render(TwoChannels({}, {}, kSecond), 64)));
}

TEST(PhoneVoicesTest, AChordSoundsOnlyAsManyNotesAsThePhoneHasVoices) {
    // Eight piano notes within one octave: no note's overtone falls on another's pitch.
    const std::vector<int> notes = {60, 61, 63, 64, 66, 67, 69, 70};
    const Bytes chord = Song(Chord(0, 0, notes, 1000));
    // How many of the notes sound while the chord is held (0.2 s to 0.7 s).
    auto sounding = [&](const Samples& s) {
        std::vector<double> strengths;
        for (int n : notes)
            strengths.push_back(
                Strength(s, kRate / 5, kRate / 2, 440 * std::pow(2, (n - 69) / 12.0)));
        const double loudest = *std::max_element(strengths.begin(), strengths.end());
        return std::count_if(strengths.begin(), strengths.end(),
                             [&](double v) { return loudest > 0 && v > 0.1 * loudest; });
    };
    const Samples eight = Render(chord, 8);
    const Samples four = Render(chord, 4);
    EXPECT_EQ(sounding(eight), 8);
    EXPECT_EQ(sounding(four), 4);
    EXPECT_EQ(sounding(Render(chord, 1)), 1);
    EXPECT_LT(Level(four), 0.85 * Level(eight));
    EXPECT_EQ(Render(chord, 64), eight) << "voices beyond the notes change nothing";
}

TEST(PhoneRenderTest, RendersAreTheSameEveryTimeOnAnyThreadAndInAnyBlockSize) {
    const Bytes song = TwoChannels(Mip({{0, 4}, {1, 8}}), kFirst, kSecond);
    const Samples whole = Render(song, 8);
    // the 600 ms chord and the release of its notes, in whole frames
    ASSERT_GT(whole.size(), kRate * 6 / 10 * 2);
    EXPECT_EQ(whole.size() % 2, 0u);
    EXPECT_EQ(Render(song, 8), whole);

    // Engines on several threads at once: EAS keeps no state outside its instances.
    std::vector<Samples> results(3);
    std::vector<std::thread> threads;
    for (Samples& r : results)
        threads.emplace_back([&song, &r] { PhoneEngine::RenderSong(song, 8, r); });
    for (std::thread& t : threads)
        t.join();
    for (const Samples& r : results)
        EXPECT_EQ(r, whole);

    // Pulled in uneven blocks, as a live player does.
    PhoneError error = PhoneError::BadVoices;
    const auto engine = PhoneEngine::Open(song, 8, error);
    ASSERT_NE(engine, nullptr) << PhoneErrorText(error);
    EXPECT_EQ(error, PhoneError::None);
    EXPECT_EQ(engine->GetVoices(), 8);
    EXPECT_NEAR(engine->GetLengthMs(), 600, 10);
    Samples pulled;
    Samples block(2 * 1000 + 1); // a trailing half frame is left alone
    for (std::size_t size : {1, 37, 128, 1000, 129}) {
        const std::size_t n = engine->Render(std::span(block).first(2 * size));
        EXPECT_EQ(n, size);
        pulled.insert(pulled.end(), block.begin(), block.begin() + 2 * n);
    }
    while (!engine->AtEnd()) {
        const std::size_t n = engine->Render(block);
        pulled.insert(pulled.end(), block.begin(), block.begin() + 2 * n);
    }
    EXPECT_EQ(pulled, whole);
    EXPECT_EQ(engine->GetFramesRendered(), whole.size() / 2);
    EXPECT_EQ(engine->Render(block), 0u) << "nothing after the end";
    EXPECT_EQ(engine->GetError(), PhoneError::None);
}

TEST(PhoneRenderTest, StopEndsTheSongAtOnce) {
    PhoneError error = PhoneError::None;
    const auto engine = PhoneEngine::Open(Song(Chord(0, 0, {60}, 20000)), 4, error);
    ASSERT_NE(engine, nullptr) << PhoneErrorText(error);
    Samples block(2 * 500);
    EXPECT_EQ(engine->Render(block), 500u);
    EXPECT_FALSE(engine->AtEnd());
    engine->Stop();
    EXPECT_TRUE(engine->AtEnd());
    EXPECT_EQ(engine->Render(block), 0u);
    EXPECT_EQ(engine->GetError(), PhoneError::None);
    // an engine dropped in the middle of a song closes it as well
    auto dropped = PhoneEngine::Open(Song(Chord(0, 0, {60}, 20000)), 4, error);
    ASSERT_NE(dropped, nullptr);
    EXPECT_EQ(dropped->Render(block), 500u);
    dropped.reset();
}

TEST(PhoneRenderTest, VoicesOutsideAPhonesRangeAndBuffersThatAreNoSongAreRefused) {
    const Bytes song = Song(Chord(0, 0, {60}, 100));
    for (int voices : {1, 64})
        EXPECT_FALSE(Render(song, voices).empty()) << voices;
    const Samples untouched = {1, 2};
    for (int voices : {0, -1, 65, 1000}) {
        Samples samples = untouched;
        EXPECT_EQ(PhoneEngine::RenderSong(song, voices, samples), PhoneError::BadVoices) << voices;
        EXPECT_EQ(samples, untouched);
        PhoneError error = PhoneError::None;
        EXPECT_EQ(PhoneEngine::Open(song, voices, error), nullptr);
        EXPECT_EQ(error, PhoneError::BadVoices);
    }

    Bytes noise(5000);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>(i * 7919 + 13);
    const std::pair<const char*, Bytes> notSongs[] = {
        {"empty", {}},
        {"text", {'h', 'e', 'l', 'l', 'o'}},
        {"header alone", testfiles::Header(0, 1, 500)},
        {"no track", testfiles::Header(0, 0, 500)},
        {"a track missing",
         Cat({testfiles::Header(1, 2, 500), testfiles::TrackChunk(Chord(0, 0, {60}))})},
        {"noise for a track",
         Cat({testfiles::Header(0, 1, 500), testfiles::TrackChunk(noise, false)})},
    };
    for (const auto& [name, bytes] : notSongs) {
        Samples samples = untouched;
        EXPECT_EQ(PhoneEngine::RenderSong(bytes, 4, samples), PhoneError::NotASong) << name;
        EXPECT_EQ(samples, untouched) << name;
    }

    // At the slowest tempo with a division of 1, EAS's clock runs out long before the note.
    const Bytes endless =
        Cat({testfiles::Header(0, 1, 1),
             testfiles::TrackChunk(Hex("00 FF 51 03 FF FF FF BF FF FF 70 90 3C 64 10 80 3C 00"))});
    Samples samples;
    EXPECT_EQ(PhoneEngine::RenderSong(endless, 4, samples), PhoneError::TooLong);
    EXPECT_TRUE(samples.empty());
}

} // namespace
