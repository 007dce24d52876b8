#include "playback/PhoneSongBytes.h"

#include "song/ByteSink.h"
#include "song/ChannelCommands.h"

#include <stdexcept>

bool PhoneSongBytes(SongFile& song, const SongFile::SaveOptions& options, int channel,
                    std::vector<std::uint8_t>& bytes, int voices, SongWriter::ChannelFlags* kept) {
    const SongWriter::ChannelFlags enabled = song.enabled;
    const bool alone = channel >= 0 && channel < SongData::kChannels;
    if (alone)
        for (int ch = 0; ch < SongData::kChannels; ++ch)
            if (ch != channel)
                ChannelCommands::SetEnabled(song, ch, false);

    MemorySink sink;
    bool ok = song.SaveProcessed(sink, options);
    if (kept) {
        // Without a MIP message a phone plays every channel the file holds.
        if (options.keepSysEx && song.FindMipMessage()) {
            *kept = song.ChannelsForVoices(voices);
        } else {
            for (int ch = 0; ch < SongData::kChannels; ++ch)
                (*kept)[ch] = song.IsChannelUsed(ch) && song.enabled[ch];
        }
    }

    if (alone) {
        for (int ch = 0; ch < SongData::kChannels; ++ch)
            ChannelCommands::SetEnabled(song, ch, enabled[ch]);
        // The message of the whole song again, as a save of it would write it.
        if (options.updateMip) {
            try {
                song.UpdateMipMessage();
            } catch (const std::invalid_argument& e) {
                song.lastError = e.what();
                ok = false;
            }
        }
    }
    if (ok)
        bytes = sink.TakeBytes();
    return ok;
}
