#include "song/SongReader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {

bool ReadBigEndian(ByteSource& in, int bytes, std::uint32_t& value) {
    std::uint8_t buf[4];
    if (in.Read(buf, bytes) != static_cast<std::size_t>(bytes))
        return false;
    value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | buf[i];
    return true;
}

} // namespace

bool SongReader::ReadHeader(ByteSource& in) {
    std::uint8_t id[4];
    if (in.Read(id, 4) != 4 || std::memcmp(id, "MThd", 4) != 0)
        return false;
    std::uint32_t length = 0, fmt = 0, trackCount = 0, div = 0;
    if (!ReadBigEndian(in, 4, length) || !ReadBigEndian(in, 2, fmt))
        return false;
    const auto signedFormat = static_cast<std::int16_t>(fmt);
    if (signedFormat < 0 || signedFormat > 2)
        return false;
    if (!ReadBigEndian(in, 2, trackCount) || !ReadBigEndian(in, 2, div))
        return false;
    // A header shorter than its six fixed bytes is broken; a longer one is skipped.
    if (length < 6 || !in.Skip(length - 6))
        return false;
    format = signedFormat;
    const auto signedDivision = static_cast<std::int16_t>(div);
    if (signedDivision < 0) {
        // SMPTE: high byte = -(frames per second), low byte = ticks per frame.
        const int fps = -static_cast<int>(static_cast<std::int8_t>(div >> 8));
        division = fps * static_cast<int>(div & 0xFF);
    } else {
        division = signedDivision;
    }
    // No time base, no times.
    if (division <= 0)
        return false;
    return BeginTrack(in);
}

bool SongReader::BeginTrack(ByteSource& in) {
    msPerTick = 500000.0 / (static_cast<double>(timeUnit) * division);
    runningTick = 0;
    for (;;) {
        std::uint8_t id[4];
        std::uint32_t length = 0;
        if (in.Read(id, 4) != 4 || !ReadBigEndian(in, 4, length))
            return false;
        if (std::memcmp(id, "MTrk", 4) == 0) {
            trackChunkLength_ = length;
            trackChunkEnd_ = in.Position() + length;
            return length != 0;
        }
        // Chunks of unknown types are skipped, as the file format asks.
        if (!in.Skip(length))
            return false;
    }
}

bool SongReader::ReadEventSteps(ByteSource& in) {
    for (;;) {
        std::uint32_t delta = 0;
        std::uint8_t status = 0;
        const int deltaBytes = ReadVarLen(in, delta);
        if (deltaBytes <= 0 || !in.GetByte(status)) {
            lostSysEx_ += sysexPending_ ? 1 : 0;
            sysexPending_ = false;
            // The data may end between events; anything else is an event cut short.
            cutInsideEvent_ = cutInsideEvent_ || deltaBytes != 0;
            return false;
        }
        runningTick += delta;
        eventTime = TickToMs();
        eventIsMeta = false;
        eventIsEscape = false;
        eventMetaType = 0;
        eventOversize = false;
        if (status == 0xF0 || status == 0xF7 || status == 0xFF) {
            const ReadStep step = ReadOtherEvent(in, status);
            if (step == ReadStep::ReadOn)
                continue;
            cutInsideEvent_ = cutInsideEvent_ || step == ReadStep::EndOfData;
            return step == ReadStep::Event;
        }
        if (sysexPending_) {
            // An unterminated SysEx is lost to whatever comes next.
            ++lostSysEx_;
            sysexPending_ = false;
        }

        // Channel or system message; a data byte continues the running status.
        std::uint8_t first = 0;
        const bool statusPresent = (status & 0x80) != 0;
        if (statusPresent) {
            runningStatus = status;
        } else {
            if (runningStatus == 0) {
                ++strayDataBytes_;
                continue; // a data byte before any status byte: skipped
            }
            first = status;
        }
        std::uint8_t* buf = eventBuffer.get();
        const std::uint32_t length = MessageLength(runningStatus);
        buf[0] = runningStatus;
        if (length >= 2) {
            if (statusPresent) {
                if (!in.GetByte(buf[1])) {
                    cutInsideEvent_ = true;
                    return false;
                }
            } else {
                buf[1] = first;
            }
        }
        if (length == 3 && !in.GetByte(buf[2])) {
            cutInsideEvent_ = true;
            return false;
        }
        eventLength = length;
        return true;
    }
}

SongReader::ReadStep SongReader::ReadOtherEvent(ByteSource& in, std::uint8_t status) {
    if (status == 0xF0 || (status == 0xF7 && sysexPending_)) {
        // A new SysEx, or a continuation packet of an unfinished one.
        return ReadSysExPacket(in);
    }
    if (sysexPending_) {
        // An unterminated SysEx is lost to whatever comes next.
        ++lostSysEx_;
        sysexPending_ = false;
    }
    if (status == 0xF7)
        return ReadEscapePacket(in);
    const ReadStep step = ReadMetaEvent(in);
    if (step == ReadStep::Event)
        eventIsMeta = true;
    return step;
}

SongReader::ReadStep SongReader::ReadSysExPacket(ByteSource& in) {
    std::uint32_t length = 0;
    if (ReadVarLen(in, length) <= 0)
        return ReadStep::EndOfData;
    std::uint8_t* buf = eventBuffer.get();
    if (!sysexPending_) {
        buf[0] = 0xF0;
        sysexLength_ = 1;
        sysexTime_ = eventTime;
        sysexOverflow_ = false;
        sysexLast_ = 0xF0;
    }
    if (!sysexOverflow_ && length <= kEventBufferSize - sysexLength_) {
        if (in.Read(buf + sysexLength_, length) != length)
            return ReadStep::EndOfData; // cut short by the end of the data: never delivered
        sysexLength_ += length;
        sysexLast_ = buf[sysexLength_ - 1];
    } else {
        // Too large for the buffer: consumed whole, delivered as an event that cannot be
        // stored.
        sysexOverflow_ = true;
        if (length > 0) {
            if (!in.Skip(length - 1) || !in.GetByte(sysexLast_))
                return ReadStep::EndOfData;
        }
        sysexLength_ = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(std::uint64_t{sysexLength_} + length, 0xFFFFFFFFu));
    }
    if (sysexLast_ != 0xF7) {
        sysexPending_ = true;
        return ReadStep::ReadOn;
    }
    sysexPending_ = false;
    eventTime = sysexTime_;
    eventLength = sysexLength_;
    eventOversize = sysexOverflow_;
    return ReadStep::Event;
}

SongReader::ReadStep SongReader::ReadEscapePacket(ByteSource& in) {
    std::uint32_t length = 0;
    if (ReadVarLen(in, length) <= 0)
        return ReadStep::EndOfData;
    eventIsEscape = true;
    eventLength = length;
    if (length > kEventBufferSize) {
        eventOversize = true;
        return in.Skip(length) ? ReadStep::Event : ReadStep::EndOfData;
    }
    return in.Read(eventBuffer.get(), length) == length ? ReadStep::Event : ReadStep::EndOfData;
}

SongReader::ReadStep SongReader::ReadMetaEvent(ByteSource& in) {
    std::uint8_t type = 0;
    std::uint32_t length = 0;
    if (!in.GetByte(type) || ReadVarLen(in, length) <= 0)
        return ReadStep::EndOfData;
    std::uint8_t* buf = eventBuffer.get();
    eventMetaType = type;

    // Reads the whole payload after the code byte; `extra` more bytes must fit behind it.
    auto readPayload = [&](std::uint8_t code, std::uint32_t extra) {
        buf[0] = code;
        eventLength = length == 0xFFFFFFFFu ? length : length + 1;
        if (length > kEventBufferSize - 1 - extra) {
            eventOversize = true;
            return in.Skip(length) ? ReadStep::Event : ReadStep::EndOfData;
        }
        if (in.Read(buf + 1, length) != length)
            return ReadStep::EndOfData;
        if (extra)
            buf[length + 1] = 0; // texts get a terminating zero, not part of the length
        return ReadStep::Event;
    };
    // Reads nothing useful: the event is delivered without data.
    auto skipAll = [&](std::uint8_t code) {
        buf[0] = code;
        eventLength = 0;
        return in.Skip(length) ? ReadStep::Event : ReadStep::EndOfData;
    };

    if (type >= 0x01 && type <= 0x0F)
        return readPayload(type, 1);
    switch (type) {
    case 0x00: // Sequence Number
    case 0x21: // MIDI Port
        return skipAll(0x00);
    case 0x20: // MIDI Channel Prefix
        return readPayload(0x08, 0);
    case 0x2F: { // End of Track: the code and the 1-based number of the track just ended
        const int number = currentTrack + 1;
        buf[0] = 0x09;
        buf[1] = static_cast<std::uint8_t>(number >> 8);
        buf[2] = static_cast<std::uint8_t>(number & 0xFF);
        eventLength = 3;
        return in.Skip(length) ? ReadStep::Event : ReadStep::EndOfData;
    }
    case 0x51: // Set Tempo: three bytes of microseconds per quarter note
        if (length < 3)
            return skipAll(0x60); // too short to mean anything: not stored
        buf[0] = 0x60;
        if (in.Read(buf + 1, 3) != 3 || !in.Skip(length - 3))
            return ReadStep::EndOfData;
        eventLength = 4;
        return ReadStep::Event;
    case 0x54: // SMPTE Offset
        return skipAll(0x0B);
    case 0x58: // Time Signature
        return skipAll(0x0C);
    case 0x59: // Key Signature
        return skipAll(0x0D);
    case 0x7F: // Sequencer-Specific
        return readPayload(0x0E, 0);
    default: // unknown meta types are skipped whole
        return in.Skip(length) ? ReadStep::ReadOn : ReadStep::EndOfData;
    }
}

bool SongReader::NextTrackChunk(ByteSource& in, std::uint64_t& start) {
    for (;;) {
        std::uint8_t id[4];
        std::uint32_t length = 0;
        if (in.Read(id, 4) != 4 || !ReadBigEndian(in, 4, length))
            return false;
        const bool track = std::memcmp(id, "MTrk", 4) == 0;
        if (track && length == 0)
            return false;
        if (track)
            start = in.Position();
        if (!in.Skip(length) || track)
            return track;
    }
}

void SongReader::SkipRestOfTrackChunk(ByteSource& in) const {
    // Tracks are read up to their End of Track, and the next chunk is expected right after
    // it. Some files pad a track chunk beyond its End of Track: when the chunk is not over
    // yet and no "MTrk" follows at once, the chunk's length says where the next one starts.
    const std::uint64_t at = in.Position();
    std::uint8_t id[4];
    if (at < trackChunkEnd_ && !(in.Peek(id, 4) && std::memcmp(id, "MTrk", 4) == 0))
        in.Skip(trackChunkEnd_ - at);
}

bool SongReader::AdvanceTrack(ByteSource& in) {
    SkipRestOfTrackChunk(in);
    ++currentTrack;
    if (currentTrack >= kMaxTracks) {
        // The track limit: the tracks read so far stay; note whether any were left out.
        moreTracksAfterLimit_ = BeginTrack(in);
        return false;
    }
    runningTick = 0;
    if (!BeginTrack(in)) {
        --currentTrack;
        return false;
    }
    return true;
}

void SongReader::ReserveForTrack(Track& track, const ByteSource& in) const {
    // Most events take three bytes or more in the file, so the list rarely grows (and is
    // never copied) while the track is read; what it does not use is never touched. The
    // chunk length is only a claim: no more is reserved than the data left can hold, and a
    // reservation the memory cannot take is left out (the list grows as it must).
    const std::uint64_t bytes = std::min<std::uint64_t>(trackChunkLength_, in.MostRemaining());
    try {
        track.events.reserve(static_cast<std::size_t>(bytes / 3));
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
}
