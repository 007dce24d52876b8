// Feeds arbitrary bytes to the loader: no input may crash, hang or leak. A song the loader
// accepts (A) is then written (B), B is loaded and written (C), and C once more (D). What
// must hold:
//
//  1. B's channel messages are, track by track, those of A as the writer left it, at the
//     same times. The writer edits the song in place while it writes (a Note Off becomes a
//     Note On with velocity 0, programs go through the instrument map), so A is taken after
//     writing B. Times compare in milliseconds: the writer turns them back into ticks at the
//     reader's fixed tempo, which need not give the file's ticks, only ticks that read back
//     as the same milliseconds. On the vibra channel the writer's own setup stands in for
//     the channel's volume, bank selects and programs, which are therefore not compared.
//  2. D is C byte for byte: once the reader has tidied what the first write carried over
//     from a damaged file, reading and writing change nothing. Not so for a song whose MIP
//     message lists no channel (F0 7F 7F 0B 01 F7): the reader takes that for a plain SysEx
//     and drops it, so each write puts a new one in front of the first track.
//
// B and C themselves may differ: a damaged first MIP message is rewritten and the next one
// kept as it was, and a track whose events are all left out (meta events but Set Tempo) is
// written as a chunk with End of Track alone, which loads as an empty track and is not
// written again.
//
// A mismatch traps, so that libFuzzer keeps the input.
#include "song/ByteSink.h"
#include "song/ByteSource.h"
#include "song/SongFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

struct ChannelMessage {
    std::uint32_t time;
    std::vector<std::uint8_t> bytes;
};
using TrackMessages = std::vector<std::vector<ChannelMessage>>;

bool IsVibraSetupKind(const SongData& song, const EventRef& event) {
    const std::uint8_t* data = event.GetData();
    if ((data[0] & 0x0F) != song.vibraChannel)
        return false;
    if ((data[0] & 0xF0) == 0xC0)
        return true;
    return (data[0] & 0xF0) == 0xB0 && event.GetLength() >= 2 &&
           (data[1] == 0 || data[1] == 32 || data[1] == 7);
}

// The channel messages of each track that has any.
TrackMessages ChannelMessages(const SongData& song) {
    TrackMessages tracks;
    for (const Track& track : song.tracks) {
        std::vector<ChannelMessage> messages;
        for (const EventRef event : track.events)
            if (event.IsChannelMessage() && !IsVibraSetupKind(song, event))
                messages.push_back(
                    {event.GetTime(), {event.GetData(), event.GetData() + event.GetLength()}});
        if (!messages.empty())
            tracks.push_back(std::move(messages));
    }
    return tracks;
}

// The reader saturates times at kLatest, a tick count it cannot reach in milliseconds; the
// writer turns that back into the nearest tick, which reads back up to a tick earlier.
bool SameMessages(const TrackMessages& loaded, const TrackMessages& reread, double msPerTick) {
    constexpr std::uint32_t kLatest = 0xFFFFFFFEu;
    if (loaded.size() != reread.size())
        return false;
    for (std::size_t t = 0; t < loaded.size(); ++t) {
        if (loaded[t].size() != reread[t].size())
            return false;
        for (std::size_t i = 0; i < loaded[t].size(); ++i) {
            const ChannelMessage& a = loaded[t][i];
            const ChannelMessage& b = reread[t][i];
            const bool sameTime = a.time == b.time || (a.time == kLatest && b.time <= kLatest &&
                                                       b.time + msPerTick + 1 >= kLatest);
            if (!sameTime || a.bytes != b.bytes)
                return false;
        }
    }
    return true;
}

// Whether every delta time the writer can write reads back as written: the reader takes a
// value with all of the bits 0x0F000000 set as 0xFF000000 more, and keeps 32 bits of one
// longer than four bytes, which the writer puts out for a long gap (left by events it does not
// write, say). Songs with such ticks are only loaded and written.
bool TicksReadBack(const SongData& song) {
    for (const Track& track : song.tracks)
        for (const EventRef event : track.events)
            if (event.GetTime() / song.msPerTick >= 0x0F000000)
                return false;
    return true;
}

std::vector<std::uint8_t> Write(SongFile& song) {
    song.UpdateMipMessage();
    MemorySink sink;
    song.WriteSongChannel(sink, -1);
    return sink.TakeBytes();
}

// Loads `bytes` into `song`; false when they are no Standard MIDI File.
bool Load(SongFile& song, const std::uint8_t* bytes, std::size_t size) {
    MemorySource source(bytes, size);
    song.LoadSong(source, "fuzz");
    return song.lastLoad.IsSmf();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SongFile a;
    if (!Load(a, data, size))
        return 0;
    const std::vector<std::uint8_t> b = Write(a);
    SongFile fromB;
    const bool bLoads = Load(fromB, b.data(), b.size());
    if (!TicksReadBack(a))
        return 0;
    if (!bLoads || !SameMessages(ChannelMessages(a), ChannelMessages(fromB), a.msPerTick))
        __builtin_trap();

    const std::vector<std::uint8_t> c = Write(fromB);
    const bool mipListsAChannel = fromB.BuildMipMessage().size() > 6;
    SongFile fromC;
    if (!Load(fromC, c.data(), c.size()) || (mipListsAChannel && Write(fromC) != c))
        __builtin_trap();
    return 0;
}
