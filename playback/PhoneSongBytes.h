#pragma once

#include "song/SongFile.h"

#include <cstdint>
#include <vector>

// What the phone preview plays: the song exactly as SongFile::SaveProcessed writes it with
// `options`, the MIP message brought up to date when they say so. With `channel` 0-15 the
// song is written as a save of that channel alone would be: the other channels are left out
// and the MIP message lists that channel only, so a phone with fewer voices than the channel
// needs stays silent, as it would with a file of that one channel. The song's channel flags
// and its SysEx and meta switches are as they were afterwards; its MIP message is left up to
// date, as a save leaves it.
//
// `kept` (when given) receives the channels the written MIP message keeps on a phone with
// `voices` voices (SongWriter::ChannelsForVoices of the song as written; every channel written when
// it holds no MIP message).
//
// False with `song.lastError` set when the song could not take a MIP message.
bool PhoneSongBytes(SongFile& song, const SongFile::SaveOptions& options, int channel,
                    std::vector<std::uint8_t>& bytes, int voices = 0,
                    SongWriter::ChannelFlags* kept = nullptr);
