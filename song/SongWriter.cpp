#include "song/SongWriter.h"
#include "song/InstrumentMap.h"

#include <cmath>
#include <cstring>

namespace {

void WriteBigEndian(ByteSink& out, std::uint32_t value, int bytes) {
    std::uint8_t buf[4];
    for (int i = 0; i < bytes; ++i)
        buf[i] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
    out.Write(buf, static_cast<std::size_t>(bytes));
}

} // namespace

namespace {

// Puts a variable-length quantity at `out` (room for 10 bytes); returns its length.
// 7 bits per byte, most significant group first, bit 7 set on every byte but the last.
int PutVarLen(std::uint8_t* out, std::uint64_t value) {
    std::uint8_t groups[10];
    int n = 0;
    groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
    while ((value >>= 7) != 0)
        groups[n++] = static_cast<std::uint8_t>(0x80 | (value & 0x7F));
    for (int i = 0; i < n; ++i)
        out[i] = groups[n - 1 - i];
    return n;
}

} // namespace

void SongWriter::WriteVarLen(ByteSink& out, std::uint64_t value) {
    std::uint8_t buf[10];
    out.Write(buf, static_cast<std::size_t>(PutVarLen(buf, value)));
}

std::uint8_t SongWriter::OutgoingStatus(std::uint8_t code, bool forPlayback) const {
    // For playback the second percussion channel plays on the percussion channel.
    if (forPlayback && channel11Percussion && code >= 0x80 && code < 0xF0 && (code & 0x0F) == 10)
        return static_cast<std::uint8_t>((code & 0xF0) | 9);
    return code;
}

void SongWriter::WriteEvent(ByteSink& out, const EventRef& event, std::uint8_t statusOut) {
    // Ticks at the same fixed tempo the reader used, in 64 bits: long songs at large
    // divisions exceed 32 bits.
    // Events at one time share their tick: it is computed once.
    if (!tickOfTimeValid_ || event.GetTime() != tickOfTimeMs_) {
        const double exact = std::floor(static_cast<double>(event.GetTime()) / msPerTick + 0.5);
        tickOfTime_ =
            exact >= 1.8e19 ? UINT64_MAX : static_cast<std::uint64_t>(exact < 0 ? 0 : exact);
        tickOfTimeMs_ = event.GetTime();
        tickOfTimeValid_ = true;
    }
    const std::uint64_t tick = tickOfTime_;
    const std::uint8_t* data = event.GetData();
    const std::uint32_t length = event.GetLength();

    // Delta time, status or prefix and length go out in one piece with short data.
    std::uint8_t head[32];
    int n = PutVarLen(head, tick >= runningTick ? tick - runningTick : 0);
    const std::uint8_t* body = data + 1;
    std::uint32_t bodyLength = length - 1;
    if (event.IsEscape()) {
        head[n++] = 0xF7;
        n += PutVarLen(head + n, length);
        body = data;
        bodyLength = length;
        runningStatusOut_ = 0;
    } else if (event.IsMeta()) {
        std::uint8_t type = event.GetMetaType();
        if (type == 0)
            type = data[0] == 0x60 ? 0x51 : data[0];
        head[n++] = 0xFF;
        head[n++] = type;
        n += PutVarLen(head + n, length - 1);
        runningStatusOut_ = 0;
    } else if (data[0] == 0xF0) {
        head[n++] = 0xF0;
        n += PutVarLen(head + n, length - 1);
        runningStatusOut_ = 0;
    } else {
        // Running status: a channel message leaves out its status byte when it repeats. Not
        // when its first data byte has the top bit set (a damaged file): read back, that byte
        // would be taken for a status. System messages always carry their status and end
        // the running status, so a one-byte message is never written as nothing at all.
        const bool system = statusOut >= 0xF0;
        const bool dataLooksLikeStatus = length > 1 && (data[1] & 0x80) != 0;
        if (system || dataLooksLikeStatus || statusOut != runningStatusOut_)
            head[n++] = statusOut;
        runningStatusOut_ = system ? 0 : statusOut;
    }
    if (bodyLength <= 2) {
        // A channel message's data bytes.
        for (std::uint32_t i = 0; i < bodyLength; ++i)
            head[n + static_cast<int>(i)] = body[i];
        out.Write(head, static_cast<std::size_t>(n) + bodyLength);
    } else if (bodyLength <= sizeof head - static_cast<std::size_t>(n)) {
        std::memcpy(head + n, body, bodyLength);
        out.Write(head, static_cast<std::size_t>(n) + bodyLength);
    } else {
        out.Write(head, static_cast<std::size_t>(n));
        out.Write(body, bodyLength);
    }
    runningTick = tick;
}

int SongWriter::WriteSong(ByteSink& out, const ChannelFlags& channelFlags) {
    return Write(out, channelFlags, false);
}

int SongWriter::Write(ByteSink& out, const ChannelFlags& channelFlags, bool forPlayback) {
    std::uint32_t trackCount = 0;
    for (const Track& track : tracks)
        if (!track.events.empty())
            ++trackCount;
    // A file without a track chunk is no Standard MIDI File to the reader: a song with no
    // event left is written as one track holding End of Track alone.
    const bool emptySong = trackCount == 0;
    out.Write(reinterpret_cast<const std::uint8_t*>("MThd"), 4);
    WriteBigEndian(out, 6, 4);
    WriteBigEndian(out, trackCount > 1 ? 1 : 0, 2);
    WriteBigEndian(out, emptySong ? 1 : trackCount, 2);
    WriteBigEndian(out, static_cast<std::uint32_t>(division) & 0xFFFF, 2);

    bool vibraSetupWritten = false;
    const std::uint32_t mapIndex = switches.instrumentMapIndex;
    readPositions_.assign(tracks.size(), 0);
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        Track& track = tracks[t];
        if (track.events.empty())
            continue;
        out.Write(reinterpret_cast<const std::uint8_t*>("MTrk"), 4);
        lengthPosition_ = out.GetPosition();
        const std::uint8_t placeholder[4] = {0x00, 0x00, 0xFF, 0xFF};
        out.Write(placeholder, 4);
        msPerTick = division > 0 ? 500000.0 / (static_cast<double>(division) * timeUnit) : 1.0;
        tickOfTimeValid_ = false;
        runningTick = 0;
        runningStatusOut_ = 0;

        for (std::uint32_t& pos = readPositions_[t]; pos < track.events.size(); ++pos) {
            const EventRef event = track.events[pos];
            if (event.GetTime() == 0xFFFFFFFFu)
                break;
            if (event.GetLength() == 0)
                continue;
            if (event.IsMeta()) {
                if (keepMeta_ || event.GetCode() == 0x60)
                    WriteEvent(out, event, 0);
                continue;
            }
            if (event.IsEscape()) {
                if (keepSysEx_)
                    WriteEvent(out, event, 0);
                continue;
            }
            std::uint8_t* data = track.events.MutableData(pos);
            const int kind = data[0] & 0xF0;
            const int ch = data[0] & 0x0F;
            if (kind == 0x80 && event.GetLength() >= 3) {
                // A Note Off goes out as a Note On with velocity 0, which running status
                // can share with the note-ons around it.
                data[0] = static_cast<std::uint8_t>(0x90 | ch);
                data[2] = 0;
            }
            if (kind == 0xF0) {
                if (keepSysEx_)
                    WriteEvent(out, event, data[0]);
                continue;
            }
            if (!enabled[ch] || !channelFlags[ch])
                continue;
            if (kind == 0xC0 && event.GetLength() >= 2)
                data[1] = static_cast<std::uint8_t>(MapInstrument(data[1], mapIndex));
            if (ch == vibraChannel) {
                if (!vibraSetupWritten) {
                    for (const SongEvent& setup : BuildVibraSetupEvents(event.GetTime(), ch))
                        WriteEvent(out, setup, OutgoingStatus(setup.GetCode(), forPlayback));
                    vibraSetupWritten = true;
                }
                // The setup stands in for the channel's own bank selects, volume changes and
                // program changes.
                if (kind == 0xC0)
                    continue;
                if (kind == 0xB0 && event.GetLength() >= 2 &&
                    (data[1] == 0 || data[1] == 32 || data[1] == 7))
                    continue;
            }
            WriteEvent(out, event, OutgoingStatus(data[0], forPlayback));
        }

        const std::uint64_t end = out.GetPosition();
        out.Seek(lengthPosition_);
        WriteBigEndian(out, static_cast<std::uint32_t>(end - lengthPosition_), 4);
        out.Seek(end);
        const std::uint8_t endOfTrack[4] = {0x00, 0xFF, 0x2F, 0x00};
        out.Write(endOfTrack, 4);
    }
    if (emptySong) {
        const std::uint8_t onlyEndOfTrack[12] = {'M', 'T', 'r',  'k',  0,    0,
                                                 0,   4,   0x00, 0xFF, 0x2F, 0x00};
        out.Write(onlyEndOfTrack, sizeof onlyEndOfTrack);
    }
    out.Flush();
    return out.Ok() ? 1 : 0;
}

SongWriter::ChannelFlags SongWriter::ChannelFlagsFor(int channel) {
    ChannelFlags flags{};
    if (channel < 0)
        flags.fill(true);
    else if (channel < kChannels)
        flags[static_cast<std::size_t>(channel)] = true;
    return flags;
}

int SongWriter::WriteSongChannel(ByteSink& out, int channel) {
    return WriteSong(out, ChannelFlagsFor(channel));
}

std::vector<std::uint8_t> SongWriter::RenderForPlayback(const ChannelFlags& channelFlags) {
    MemorySink sink(1024);
    Write(sink, channelFlags, true);
    return sink.TakeBytes();
}

std::vector<std::uint8_t> SongWriter::RenderForPlayback(int channel) {
    // Muted channels are left out by the writing itself.
    return RenderForPlayback(ChannelFlagsFor(channel));
}

std::vector<SongEvent> SongWriter::BuildVibraSetupEvents(std::uint32_t time, int channel) const {
    const auto c = static_cast<std::uint8_t>(channel & 0x0F);
    const std::uint8_t cc = static_cast<std::uint8_t>(0xB0 | c);
    const std::uint8_t volume[3] = {cc, 0x07, 0x01};
    const std::uint8_t bank[3] = {cc, 0x00, 0x79};
    const std::uint8_t bankLsb[3] = {cc, 0x20, 0x06};
    const std::uint8_t program[2] = {
        static_cast<std::uint8_t>(0xC0 | c),
        static_cast<std::uint8_t>(switches.vibraMode != 0 ? 0x7C : 0x7D)};
    std::vector<SongEvent> events;
    events.reserve(4);
    events.emplace_back(time, volume, 3, false);
    events.emplace_back(time, bank, 3, false);
    events.emplace_back(time, bankLsb, 3, false);
    events.emplace_back(time, program, 2, false);
    return events;
}
