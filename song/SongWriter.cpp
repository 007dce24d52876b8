#include "song/SongWriter.h"
#include "song/InstrumentMap.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// Puts a variable-length quantity at `out` (room for 10 bytes); returns its length.
// 7 bits per byte, most significant group first, bit 7 set on every byte but the last.
int PutVarLen(std::uint8_t* out, std::uint64_t value) {
    if (value < 0x80) { // nearly every delta time
        out[0] = static_cast<std::uint8_t>(value);
        return 1;
    }
    std::uint8_t groups[10];
    int n = 0;
    groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
    while ((value >>= 7) != 0)
        groups[n++] = static_cast<std::uint8_t>(0x80 | (value & 0x7F));
    for (int i = 0; i < n; ++i)
        out[i] = groups[n - 1 - i];
    return n;
}

// The tick of `timeMs` at `msPerTick` (above 0), rounded to the nearest, halves up; past the
// last a tick can hold, the last. The value is never below 0.5, so dropping its fraction is
// rounding it down.
std::uint64_t TickAt(std::uint32_t timeMs, double msPerTick) {
    const double exact = static_cast<double>(timeMs) / msPerTick + 0.5;
    return exact >= 1.8e19 ? UINT64_MAX : static_cast<std::uint64_t>(exact);
}

// Running status: a channel message leaves out its status byte when it repeats. Not when its
// first data byte has the top bit set (a damaged file): read back, that byte would be taken
// for a status. System messages always carry their status and end the running status, so a
// one-byte message is never written as nothing at all. Puts the status at `out` when it is
// written and returns how many bytes that took.
std::size_t PutStatus(std::uint8_t* out, std::uint8_t statusOut, const std::uint8_t* data,
                      std::uint32_t length, std::uint8_t& running) {
    const bool system = statusOut >= 0xF0;
    const bool dataLooksLikeStatus = length > 1 && (data[1] & 0x80) != 0;
    const bool written = system || dataLooksLikeStatus || statusOut != running;
    if (written)
        out[0] = statusOut;
    running = system ? 0 : statusOut;
    return written ? 1 : 0;
}

void PutBigEndian(std::uint8_t* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
}

} // namespace

// The writer puts its bytes straight into this buffer, which hands them to the sink in large
// pieces: the sink sees one call per 64 KB, not one per event. A track's length is filled in
// here while its header is still in the buffer; the sink only sees a seek back when it is not.
class SongWriter::OutBuffer {
public:
    static constexpr std::size_t kSize = 64 * 1024;

    explicit OutBuffer(ByteSink& sink) : sink_(sink), base_(sink.GetPosition()) {}
    OutBuffer(const OutBuffer&) = delete;
    OutBuffer& operator=(const OutBuffer&) = delete;

    // Room for `count` bytes (at most kSize) at the end; Commit says how many were put there.
    std::uint8_t* Room(std::size_t count) {
        if (kSize - used_ < count)
            Flush();
        return bytes_ + used_;
    }
    void Commit(std::size_t count) { used_ += count; }
    // The same for a writer that keeps its own cursor: where the next byte goes, the end of
    // the room, and the cursor's position when the writer is done.
    std::uint8_t* Cursor() { return bytes_ + used_; }
    const std::uint8_t* End() const { return bytes_ + kSize; }
    void CommitTo(const std::uint8_t* cursor) { used_ = static_cast<std::size_t>(cursor - bytes_); }
    void Put(const std::uint8_t* data, std::size_t count) {
        if (count > kSize / 2) {
            Flush();
            sink_.Write(data, count);
            base_ += count;
            return;
        }
        std::memcpy(Room(count), data, count);
        used_ += count;
    }
    // Where the next byte goes, in the sink's positions.
    std::uint64_t Position() const { return base_ + used_; }
    // Overwrites four bytes written before, at sink position `at`, with `value`.
    void Patch(std::uint64_t at, std::uint32_t value) {
        std::uint8_t big[4];
        PutBigEndian(big, value, 4);
        if (at >= base_) {
            std::memcpy(bytes_ + (at - base_), big, 4);
            return;
        }
        Flush();
        sink_.Seek(at);
        sink_.Write(big, 4);
        sink_.Seek(base_);
    }
    void Flush() {
        if (used_ > 0)
            sink_.Write(bytes_, used_);
        base_ += used_;
        used_ = 0;
    }

private:
    ByteSink& sink_;
    std::uint64_t base_; // the sink position of bytes_[0]
    std::size_t used_ = 0;
    std::uint8_t bytes_[kSize];
};

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

inline std::uint64_t SongWriter::TickOf(std::uint32_t timeMs) {
    // Ticks at the same fixed tempo the reader used, in 64 bits: long songs at large
    // divisions exceed 32 bits.
    // Events at one time share their tick: it is computed once.
    if (!tickOfTimeValid_ || timeMs != tickOfTimeMs_) {
        tickOfTime_ = TickAt(timeMs, msPerTick);
        tickOfTimeMs_ = timeMs;
        tickOfTimeValid_ = true;
    }
    return tickOfTime_;
}

inline void SongWriter::WriteShortMessage(OutBuffer& out, std::uint32_t time,
                                          const std::uint8_t* data, std::uint32_t length,
                                          std::uint8_t statusOut) {
    const std::uint64_t tick = TickOf(time);
    std::uint8_t* head = out.Room(16);
    std::size_t n =
        static_cast<std::size_t>(PutVarLen(head, tick >= runningTick ? tick - runningTick : 0));
    n += PutStatus(head + n, statusOut, data, length, runningStatusOut_);
    head[n] = data[1];
    head[n + 1] = data[2];
    out.Commit(n + length - 1);
    runningTick = tick;
}

std::size_t SongWriter::WriteChannelRun(OutBuffer& out, Track& track, std::size_t pos,
                                        const ChannelFlags& channelFlags, bool forPlayback) {
    // What each status byte does in the run: 0 ends it (Program Changes, the vibra channel),
    // 1 leaves the message out (a channel not written), anything else is the status to write.
    std::array<std::uint8_t, 256> statusFor{};
    for (int code = 0x80; code < 0xF0; ++code) {
        const int ch = code & 0x0F;
        const auto index = static_cast<std::size_t>(ch);
        std::uint8_t action = static_cast<std::uint8_t>(code);
        if ((code & 0xF0) == 0xC0 || ch == vibraChannel)
            action = 0;
        else if (!enabled[index] || !channelFlags[index])
            action = 1;
        else if (forPlayback && channel11Percussion && ch == 10)
            action = static_cast<std::uint8_t>((code & 0xF0) | 9);
        statusFor[static_cast<std::size_t>(code)] = action;
    }
    // The state of the run in locals that nothing else can reach, so that the bytes written
    // through the cursor do not make the compiler read them again.
    const double perTick = msPerTick;
    std::uint64_t lastTick = runningTick;
    std::uint32_t status = runningStatusOut_;
    std::uint32_t cachedTime = tickOfTimeValid_ ? tickOfTimeMs_ : 0xFFFFFFFFu;
    std::uint64_t cachedTick = tickOfTime_;
    std::uint8_t* w = out.Cursor();
    const std::uint8_t* end = out.End();
    pos = track.events.VisitInline(
        pos, [&statusFor, perTick, &lastTick, &status, &cachedTime, &cachedTick, &w, &end,
              &out](std::uint32_t time, std::uint8_t* data, std::uint32_t length) {
            // Every byte of the message is read before anything is written.
            std::uint32_t code = data[0];
            const std::uint32_t d1 = data[1];
            std::uint32_t d2 = data[2];
            if (length < 2 || time == 0xFFFFFFFFu)
                return false;
            if ((code & 0xF0) == 0x80 && length >= 3) {
                code = 0x90 | (code & 0x0F);
                d2 = 0;
                data[0] = static_cast<std::uint8_t>(code);
                data[2] = 0;
            }
            const std::uint32_t statusOut = statusFor[code];
            if (statusOut <= 1)
                return statusOut == 1;
            std::uint8_t* at = w;
            if (end - at < 16) {
                out.CommitTo(at);
                at = out.Room(16);
                end = out.End();
            }
            if (time != cachedTime) {
                cachedTick = TickAt(time, perTick);
                cachedTime = time;
            }
            const std::uint64_t tick = cachedTick;
            const std::uint64_t delta = tick >= lastTick ? tick - lastTick : 0;
            lastTick = tick;
            std::size_t n;
            if (delta < 0x4000) {
                // One or two bytes, chosen without a branch.
                const bool two = delta >= 0x80;
                at[0] = static_cast<std::uint8_t>(two ? 0x80 | (delta >> 7) : delta);
                at[1] = static_cast<std::uint8_t>(delta & 0x7F);
                n = 1 + static_cast<std::size_t>(two);
            } else {
                n = static_cast<std::size_t>(PutVarLen(at, delta));
            }
            // Running status, as PutStatus has it for a channel message.
            at[n] = static_cast<std::uint8_t>(statusOut);
            n += (statusOut != status) | (d1 >> 7);
            status = statusOut;
            at[n] = static_cast<std::uint8_t>(d1);
            at[n + 1] = static_cast<std::uint8_t>(d2);
            w = at + n + length - 1;
            return true;
        });
    out.CommitTo(w);
    runningTick = lastTick;
    runningStatusOut_ = static_cast<std::uint8_t>(status);
    tickOfTimeValid_ = cachedTime != 0xFFFFFFFFu;
    tickOfTimeMs_ = cachedTime;
    tickOfTime_ = cachedTick;
    return pos;
}

void SongWriter::WriteEvent(OutBuffer& out, const EventRef& event, std::uint8_t statusOut) {
    const std::uint64_t tick = TickOf(event.GetTime());
    const std::uint8_t* data = event.GetData();
    const std::uint32_t length = event.GetLength();

    // Delta time, status or prefix and length go straight into the buffer, with short data.
    constexpr std::size_t kHead = 32;
    std::uint8_t* head = out.Room(kHead);
    std::size_t n =
        static_cast<std::size_t>(PutVarLen(head, tick >= runningTick ? tick - runningTick : 0));
    const std::uint8_t* body = data + 1;
    std::uint32_t bodyLength = length - 1;
    if (event.IsEscape()) {
        head[n++] = 0xF7;
        n += static_cast<std::size_t>(PutVarLen(head + n, length));
        body = data;
        bodyLength = length;
        runningStatusOut_ = 0;
    } else if (event.IsMeta()) {
        std::uint8_t type = event.GetMetaType();
        if (type == 0)
            type = data[0] == 0x60 ? 0x51 : data[0];
        head[n++] = 0xFF;
        head[n++] = type;
        n += static_cast<std::size_t>(PutVarLen(head + n, length - 1));
        runningStatusOut_ = 0;
    } else if (data[0] == 0xF0) {
        head[n++] = 0xF0;
        n += static_cast<std::size_t>(PutVarLen(head + n, length - 1));
        runningStatusOut_ = 0;
    } else {
        n += PutStatus(head + n, statusOut, data, length, runningStatusOut_);
    }
    if (bodyLength <= kHead - n) {
        // A channel message's data bytes, or a short SysEx or meta event.
        for (std::uint32_t i = 0; i < bodyLength; ++i)
            head[n + i] = body[i];
        out.Commit(n + bodyLength);
    } else {
        out.Commit(n);
        out.Put(body, bodyLength);
    }
    runningTick = tick;
}

int SongWriter::WriteSong(ByteSink& out, const ChannelFlags& channelFlags) {
    return Write(out, channelFlags, false);
}

int SongWriter::Write(ByteSink& sink, const ChannelFlags& channelFlags, bool forPlayback) {
    std::uint32_t trackCount = 0;
    for (const Track& track : tracks)
        if (!track.events.empty())
            ++trackCount;
    // A file without a track chunk is no Standard MIDI File to the reader: a song with no
    // event left is written as one track holding End of Track alone.
    const bool emptySong = trackCount == 0;
    // The buffer is large: it is kept off the stack of the thread that writes.
    const auto buffer = std::make_unique<OutBuffer>(sink);
    OutBuffer& out = *buffer;
    std::uint8_t* header = out.Room(14);
    std::memcpy(header, "MThd", 4);
    PutBigEndian(header + 4, 6, 4);
    PutBigEndian(header + 8, trackCount > 1 ? 1 : 0, 2);
    PutBigEndian(header + 10, emptySong ? 1 : trackCount, 2);
    PutBigEndian(header + 12, static_cast<std::uint32_t>(division) & 0xFFFF, 2);
    out.Commit(14);

    bool vibraSetupWritten = false;
    const std::uint32_t mapIndex = switches.instrumentMapIndex;
    readPositions_.assign(tracks.size(), 0);
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        Track& track = tracks[t];
        if (track.events.empty())
            continue;
        // The chunk header with a placeholder length, filled in when the track is written.
        const std::uint8_t chunk[8] = {'M', 'T', 'r', 'k', 0x00, 0x00, 0xFF, 0xFF};
        std::memcpy(out.Room(8), chunk, 8);
        out.Commit(8);
        lengthPosition_ = out.Position() - 4;
        msPerTick = division > 0 ? 500000.0 / (static_cast<double>(division) * timeUnit) : 1.0;
        tickOfTimeValid_ = false;
        runningTick = 0;
        runningStatusOut_ = 0;

        for (std::uint32_t& pos = readPositions_[t]; pos < track.events.size(); ++pos) {
            pos = static_cast<std::uint32_t>(
                WriteChannelRun(out, track, pos, channelFlags, forPlayback));
            if (pos == track.events.size())
                break;
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
            if (event.GetLength() <= 3)
                WriteShortMessage(out, event.GetTime(), data, event.GetLength(),
                                  OutgoingStatus(data[0], forPlayback));
            else
                WriteEvent(out, event, OutgoingStatus(data[0], forPlayback));
        }

        out.Patch(lengthPosition_, static_cast<std::uint32_t>(out.Position() - lengthPosition_));
        const std::uint8_t endOfTrack[4] = {0x00, 0xFF, 0x2F, 0x00};
        out.Put(endOfTrack, 4);
        out.Flush();
        sink.TrackWritten();
    }
    if (emptySong) {
        const std::uint8_t onlyEndOfTrack[12] = {'M', 'T', 'r',  'k',  0,    0,
                                                 0,   4,   0x00, 0xFF, 0x2F, 0x00};
        out.Put(onlyEndOfTrack, sizeof onlyEndOfTrack);
    }
    out.Flush();
    sink.Flush();
    return sink.Ok() ? 1 : 0;
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
