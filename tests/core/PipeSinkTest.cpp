// The sink a second thread reads while the song is being written: bytes are handed over a
// track at a time and read as they come; a write it cannot hand over keeps every byte.
#include "song/PipeSink.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Everything a PipeSource reads, to its end.
Bytes ReadAll(const PipeSink& sink) {
    PipeSource in(sink);
    Bytes out;
    for (std::uint8_t b; in.GetByte(b);)
        out.push_back(b);
    return out;
}

} // namespace

TEST(PipeSink, TheReaderGetsEveryByteAsTracksAreHandedOver) {
    PipeSink sink(1 << 16);
    Bytes expected;
    Bytes read;
    std::thread reader([&] { read = ReadAll(sink); });
    for (int track = 0; track < 50; ++track) {
        // a placeholder filled in before the track is handed over, as the writer's length
        const std::uint64_t at = sink.GetPosition();
        const std::uint8_t placeholder[2] = {0xFF, 0xFF};
        sink.Write(placeholder, 2);
        Bytes data(static_cast<std::size_t>(track * 37 % 300), static_cast<std::uint8_t>(track));
        sink.Write(data.data(), data.size());
        const std::uint64_t end = sink.GetPosition();
        const std::uint8_t length[2] = {static_cast<std::uint8_t>(track),
                                        static_cast<std::uint8_t>(data.size() & 0xFF)};
        sink.Seek(at);
        sink.Write(length, 2);
        sink.Seek(end);
        expected.insert(expected.end(), length, length + 2);
        expected.insert(expected.end(), data.begin(), data.end());
        sink.TrackWritten();
    }
    // a seek past the end fills the gap with zeros, as in memory
    sink.Seek(sink.GetPosition() + 3);
    expected.insert(expected.end(), 3, 0);
    sink.Finish();
    reader.join();
    EXPECT_FALSE(sink.Broken());
    EXPECT_EQ(read, expected);
    EXPECT_EQ(sink.AllBytes(), expected);
}

TEST(PipeSink, AWriteItCannotHandOverKeepsEveryByte) {
    const std::uint8_t data[6] = {1, 2, 3, 4, 5, 6};
    {
        // more than the room: the reader sees what was handed over, the rest is kept
        PipeSink sink(8);
        sink.Write(data, 6);
        sink.TrackWritten();
        sink.Write(data, 6);
        EXPECT_TRUE(sink.Broken());
        sink.Finish();
        EXPECT_EQ(ReadAll(sink), Bytes(data, data + 6));
        Bytes all(data, data + 6);
        all.insert(all.end(), data, data + 6);
        EXPECT_EQ(sink.AllBytes(), all);
    }
    {
        // a change to bytes handed over
        PipeSink sink(64);
        sink.Write(data, 6);
        sink.TrackWritten();
        sink.Seek(1);
        const std::uint8_t nine = 9;
        sink.Write(&nine, 1);
        EXPECT_TRUE(sink.Broken());
        sink.Finish();
        EXPECT_EQ(sink.AllBytes(), (Bytes{1, 9, 3, 4, 5, 6}));
    }
    {
        // nothing written at all: the reader's wait ends with the writing
        PipeSink sink(64);
        Bytes read = {7};
        std::thread reader([&] { read = ReadAll(sink); });
        sink.Finish();
        reader.join();
        EXPECT_TRUE(read.empty());
    }
}
