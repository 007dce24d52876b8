// The timed event list a rendered song becomes: real times under Set Tempo, tracks merged.
#include "Segment.h"
#include "SongBytes.h"

#include <gtest/gtest.h>

namespace {

using songbytes::Delta;
using songbytes::Tempo;
using testfiles::Bytes;
using testfiles::Cat;
using testfiles::Header;
using testfiles::TrackChunk;

struct Timed {
    std::uint64_t us;
    Bytes bytes;
    bool operator==(const Timed&) const = default;
};

std::vector<Timed> Events(const Segment& segment) {
    std::vector<Timed> out;
    for (const Segment::Event& e : segment.GetEvents())
        out.push_back({e.timeUs, Bytes(segment.GetBytes(e), segment.GetBytes(e) + e.size)});
    return out;
}

std::shared_ptr<const Segment> Load(const Bytes& file) {
    return Segment::FromSmf(file.data(), file.size());
}

void PrintTo(const Timed& t, std::ostream* os) {
    *os << t.us << "us [";
    for (auto b : t.bytes)
        *os << ' ' << std::hex << int(b) << std::dec;
    *os << " ]";
}

TEST(SegmentTest, SetTempoChangesThePaceFromItsTick) {
    const Bytes file =
        Cat({Header(0, 1, 500), TrackChunk(Cat({
                                    {0x00, 0x90, 0x3C, 0x64}, // 0 ms
                                    Delta(100),
                                    {0x80, 0x3C, 0x40}, // tick 100 at 1 ms a tick: 100 ms
                                    {0x00},
                                    Tempo(250000), // from here 0.5 ms a tick
                                    Delta(200),
                                    {0x90, 0x3E, 0x64}, // 100 + 200 * 0.5 = 200 ms
                                    Delta(3),
                                    {0x3E, 0x00}, // running status: 201.5 ms
                                }))});
    const auto segment = Load(file);
    ASSERT_NE(segment, nullptr);
    const std::vector<Timed> expected = {
        {0, {0x90, 0x3C, 0x64}},
        {100000, {0x80, 0x3C, 0x40}},
        {200000, {0x90, 0x3E, 0x64}},
        {201500, {0x90, 0x3E, 0x00}},
    };
    EXPECT_EQ(Events(*segment), expected);
    EXPECT_EQ(segment->GetLengthUs(), 201500u);
    EXPECT_EQ(segment->GetLengthMs(), 202u);
}

TEST(SegmentTest, TracksMergeInTimeOrderUnderTheTempoOfAnyTrack) {
    const Bytes file = Cat({Header(1, 3, 96),
                            TrackChunk(Cat({
                                {0x00},
                                Tempo(1000000), // 1 s a quarter
                                Delta(192),
                                Tempo(250000), // after two quarters: 0.25 s a quarter
                            })),
                            TrackChunk(Cat({
                                Delta(96),
                                {0x91, 0x40, 0x50}, // one quarter: 1 s
                                Delta(192),
                                {0x81, 0x40, 0x00}, // tick 288: 2 s + one quarter at 0.25 s
                            })),
                            TrackChunk(Cat({
                                Delta(192), {0xC2, 0x05}, // tick 192: 2 s
                            }))});
    const auto segment = Load(file);
    ASSERT_NE(segment, nullptr);
    const std::vector<Timed> expected = {
        {1000000, {0x91, 0x40, 0x50}},
        {2000000, {0xC2, 0x05}},
        {2250000, {0x81, 0x40, 0x00}},
    };
    EXPECT_EQ(Events(*segment), expected);
}

TEST(SegmentTest, MetaEventsAreNotSentAndSysExIsSentWhole) {
    const Bytes file = Cat(
        {Header(0, 1, 500), TrackChunk(Cat({
                                {0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g'},     // track name
                                {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, // GM System On
                                {0x0A, 0xB0, 0x07, 0x64},                         // 10 ms: volume
                            }))});
    const auto segment = Load(file);
    ASSERT_NE(segment, nullptr);
    const std::vector<Timed> expected = {
        {0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
        {10000, {0xB0, 0x07, 0x64}},
    };
    EXPECT_EQ(Events(*segment), expected);
}

TEST(SegmentTest, LengthRunsToTheLaterEndOfTrack) {
    const Bytes file =
        Cat({Header(1, 2, 500),
             TrackChunk(Cat({{0x00, 0x90, 0x3C, 0x64}, Delta(50), {0x80, 0x3C, 0x00}})),
             TrackChunk(Cat({Delta(700), {0xFF, 0x2F, 0x00}}), false)});
    const auto segment = Load(file);
    ASSERT_NE(segment, nullptr);
    EXPECT_EQ(segment->GetLengthMs(), 700u);
}

TEST(SegmentTest, BytesThatAreNotASongGiveNoSegment) {
    const std::vector<Bytes> cases = {
        {},
        {0x01, 0x02, 0x03},
        Header(0, 1, 96), // no track
        Cat({{'R', 'I', 'F', 'F'}, testfiles::Be32(6), {0, 0, 0, 1, 0, 96}}),
        Header(0, 1, 0), // no time base
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(Load(cases[i]), nullptr) << "case " << i;
}

TEST(SegmentTest, AbsurdTimesSaturateInsteadOfWrapping) {
    // The longest delta at the slowest tempo and a division of 1, often enough to pass 2^64 us.
    Bytes events = Cat({{0x00}, Tempo(0xFFFFFF)});
    for (int i = 0; i < 5000; ++i)
        events = Cat({events, Delta(0x0FFFFFFF), {0xB0, 0x07, 0x64}});
    const auto segment = Load(Cat({Header(0, 1, 1), TrackChunk(events)}));
    ASSERT_NE(segment, nullptr);
    std::uint64_t previous = 0;
    for (const Segment::Event& e : segment->GetEvents()) {
        EXPECT_GE(e.timeUs, previous);
        previous = e.timeUs;
    }
    EXPECT_EQ(segment->GetLengthUs(), std::numeric_limits<std::uint64_t>::max());
}

} // namespace
