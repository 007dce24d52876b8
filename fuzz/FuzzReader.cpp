// Feeds arbitrary bytes to the loader, then writes the song back and reads the result again:
// no input may crash, hang or leak.
#include "song/ByteSource.h"
#include "song/SongFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SongFile song;
    MemorySource source(data, size);
    song.LoadSong(source, "fuzz");
    if (song.lastLoad.IsSmf()) {
        song.UpdateMipMessage();
        MemorySink sink;
        song.WriteSongChannel(sink, -1);
        SongFile again;
        MemorySource written(sink.Bytes());
        again.LoadSong(written, "again");
    }
    return 0;
}
