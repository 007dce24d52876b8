// The WAV writer both offline renders share: the header a player reads, the samples as they
// were, and a failed write that leaves the old file alone.
#include "playback/WavFile.h"
#include "tests/playback/PlaybackSupport.h"

#include <fstream>
#include <iterator>

using namespace playtest;

namespace {

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(WavFileTest, AStereoFileHoldsTheCanonicalHeaderAndTheSamplesLittleEndian) {
    testfiles::TempDir dir;
    const std::vector<std::int16_t> samples = {0, -1, 0x1234, -0x8000, 0x7FFF, 1};
    std::string error;
    ASSERT_TRUE(WavFile(22050, 2).Write((dir / "out.wav").string(), samples, error)) << error;
    EXPECT_EQ(ReadFile(dir / "out.wav"),
              Cat({{'R', 'I', 'F', 'F'},
                   Hex("30 00 00 00"), // 36 + 12 bytes of samples
                   {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '},
                   Hex("10 00 00 00 01 00 02 00 22 56 00 00 88 58 01 00 04 00 10 00"),
                   {'d', 'a', 't', 'a'},
                   Hex("0C 00 00 00 00 00 FF FF 34 12 00 80 FF 7F 01 00")}));
}

TEST(WavFileTest, WhatCannotBeWrittenLeavesTheOldFileAsItWas) {
    testfiles::TempDir dir;
    const std::string path = (dir / "out.wav").string();
    std::ofstream(path) << "old";
    std::string error;
    EXPECT_FALSE(WavFile(22050, 2).Write(path, std::vector<std::int16_t>{1, 2, 3}, error))
        << "half a frame";
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFile(path), (Bytes{'o', 'l', 'd'}));
    error.clear();
    EXPECT_FALSE(WavFile(22050, 2).Write((dir / "none" / "out.wav").string(), {}, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
        << "no temporary file is left behind";

    // The 32-bit size fields end a file at 4 GiB.
    const std::uint64_t stereoLimit = (0xFFFFFFFFull - 36) / 4;
    EXPECT_TRUE(WavFile(22050, 2).Fits(stereoLimit));
    EXPECT_FALSE(WavFile(22050, 2).Fits(stereoLimit + 1));
}

} // namespace
