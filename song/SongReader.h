#pragma once

#include "song/ByteSource.h"
#include "song/LoadReport.h"
#include "song/SongData.h"

#include <array>
#include <cstdint>
#include <string>

// Reads a Standard MIDI File into the shared SongData and analyses its channels.
//
// The reading steps fill the current-event fields of SongData one event at a time;
// LoadSong drives them, stores the events in their tracks and gathers the per-channel
// statistics, then proposes priorities unless the file carried a sound MIP message.
class SongReader : public virtual SongData {
public:
    // At most this many tracks are read.
    static constexpr int kMaxTracks = 120;

    // What one step of reading an event gave.
    enum class ReadStep {
        EndOfData, // the data ended (cleanly, or inside the event: see cutInsideEvent_)
        Event,     // the current-event fields hold an event to deliver
        ReadOn,    // nothing to deliver (an unknown meta event, part of a SysEx): read on
    };

    virtual ~SongReader() = default;

    // --- Standard MIDI File reading ---
    // True when the header chunk and the first track header are valid.
    bool ReadHeader(ByteSource& in);
    // True when an "MTrk" header with a non-zero length was read (chunks of other types in
    // front of it are skipped by their length).
    bool BeginTrack(ByteSource& in);
    // Passes from chunk to chunk as BeginTrack does, from the chunk header `in` stands at:
    // true with `start` at the data of the next track chunk, `in` then past that chunk;
    // false at the end of the data or at a track chunk of length 0 (the reading ends there).
    static bool NextTrackChunk(ByteSource& in, std::uint64_t& start);
    // False at the end of the data; otherwise the current-event fields hold the next event.
    // Channel messages, nearly every event of a song, are read inline.
    bool ReadEvent(ByteSource& in);
    ReadStep ReadMetaEvent(ByteSource& in);
    ReadStep ReadSysExPacket(ByteSource& in);
    ReadStep ReadEscapePacket(ByteSource& in);
    // A variable-length quantity: returns the number of bytes read and sets `value`;
    // 0 when the data ended before the first byte, -1 when it ended inside the number
    // (no value delivered).
    static int ReadVarLen(ByteSource& in, std::uint32_t& value) {
        // 7 bits per byte, most significant group first; every byte but the last has its top
        // bit set. Bits shifted out of 32 are lost. A finished value with all four bits
        // 0x0F000000 set gets 0xFF as its top byte, so the largest four-byte value,
        // 0x0FFFFFFF, reads as 0xFFFFFFFF.
        std::uint32_t v = 0;
        int count = 0;
        std::uint8_t b = 0;
        do {
            if (!in.GetByte(b))
                return count == 0 ? 0 : -1;
            ++count;
            v = (v << 7) | (b & 0x7Fu);
        } while (b & 0x80);
        if ((v & 0x0F000000u) == 0x0F000000u)
            v |= 0xFF000000u;
        value = v;
        return count;
    }

    // The current event is an End of Track (FF 2F), as opposed to a Device Name (FF 09),
    // which shares its event code 0x09.
    bool IsEndOfTrackEvent() const {
        return eventIsMeta && eventMetaType == 0x2F && eventLength > 0 && eventBuffer[0] == 0x09;
    }
    // Called on End of Track: starts reading the next track chunk (currentTrack counts it).
    // False when the reading of the song ends here (no further track, or the track limit
    // was reached: then currentTrack is kMaxTracks).
    bool AdvanceTrack(ByteSource& in);
    // Reads the header, then every event of every track in file order, End of Track
    // included, moving on to the next track chunk after each End of Track. `startTrack(i)`
    // is called when track chunk i begins (0 right after the header), `visit()` for each
    // event with the current-event fields holding it; `visit` returns false to stop.
    // Nothing is stored. False when the header is refused.
    template <class Visit, class StartTrack>
    bool ForEachEvent(ByteSource& in, Visit&& visit, StartTrack&& startTrack);
    template <class Visit> bool ForEachEvent(ByteSource& in, Visit&& visit) {
        return ForEachEvent(in, visit, [](int) {});
    }
    // Reads the channel messages that follow at once, straight from the bytes at hand as
    // ReadEvent's fast path reads them, and hands each to take(time, msg, length) instead of
    // the current-event fields (msg holds the status and two data bytes, the second 0 in a
    // two-byte message); take returns false to leave that event unread. Stops before an
    // event of another kind or where fewer than eight bytes are at hand, for ReadEvent to go
    // on. The current-event fields end up holding the last message read, as ReadEvent
    // would leave them.
    template <class Take> void ReadChannelRun(ByteSource& in, Take&& take);

    // --- Loading and channel analysis ---
    // Reads and analyses a whole song; `fileTitle` becomes the title unless the song
    // names itself. `lastLoad` tells the rest.
    LoadResult LoadSong(ByteSource& in, const std::string& fileTitle);
    // Opens `path` and runs LoadSong with `fileTitle` (empty unless the caller names the
    // file, as the document does). A file that cannot be opened leaves the model alone and
    // reports LoadReport::Status::CannotOpen, LoadResult::NotLoaded.
    LoadResult LoadSongFile(const std::string& path, const std::string& fileTitle = std::string());
    // Opens a regular file for reading (a folder reads nothing and a FIFO would block);
    // nullptr with `report` saying why when it cannot.
    static FilePtr OpenSongFile(const std::string& path, LoadReport& report);
    // Opens `path` and reads only its header: whether it can be loaded, without touching
    // any song (Loaded, CannotOpen with the system's reason, or NotSmf).
    static LoadReport ProbeFile(const std::string& path);
    // The title of the file behind `path`: its name without folder and extension.
    static std::string FileTitle(const std::string& path);
    // A note-on of `key` adds a note even when the key sounds already; a note-off of `key`
    // ends every note of that key sounding on the channel, as a synthesizer does.
    void NoteOn(std::uint32_t t, int ch, int key) {
        // Members of the virtual base through one reference: found once, not per access.
        SongData& d = *this;
        std::uint16_t& notes = d.soundingKeys[ch][key & 0x7F];
        // 65535 notes of one key at once: later strikes of that key no longer count.
        if (notes < 0xFFFF) {
            ++notes;
            ++d.sounding[ch];
        }
        if (d.sounding[ch] > d.maxPolyphony[ch])
            d.maxPolyphony[ch] = d.sounding[ch];
        d.timelines[ch].Set(t, static_cast<std::uint32_t>(d.sounding[ch]));
    }
    void NoteOff(std::uint32_t t, int ch, int key) {
        SongData& d = *this;
        std::uint16_t& notes = d.soundingKeys[ch][key & 0x7F];
        d.sounding[ch] -= notes;
        notes = 0;
        d.timelines[ch].Set(t, static_cast<std::uint32_t>(d.sounding[ch]));
    }
    // Parses the MIP message in the event buffer; true when it ended properly with F7.
    bool ParseMipMessage();
    void UseCountedPolyphony();
    // Gives the used channels priorities 1, 2, 3 ... by channel number or by weighting;
    // every used channel gets one, unused channels none.
    void ProposePriorities();

    // Data bytes read while there was no running status, which were skipped.
    std::uint64_t StrayDataBytes() const { return strayDataBytes_; }
    // A song whose size is known and at least this many bytes is read in two parts at once
    // when its tracks allow it (see LoadInTwoParts).
    static constexpr std::uint64_t kTwoPartBytes = std::uint64_t{1} << 21;
    // The last load read the song in two parts at once.
    bool LoadedInTwoParts() const { return loadedInTwoParts_; }

    // Number of channels in the file's MIP message whose cumulative value fell.
    int mipAnomalyCount = 0;
    LoadReport lastLoad;

private:
    // The millisecond of `tick`, rounded to the nearest. 0xFFFFFFFF is the writer's
    // end-of-track marker: later times saturate below it (`saturated` says so), and the
    // events so moved are counted, for the song they end is no longer the same.
    static std::uint32_t MsOfTick(std::uint64_t tick, double msPerTick, bool& saturated) {
        const double ms = static_cast<double>(tick) * msPerTick + 0.5;
        saturated = !(ms < 4294967295.0);
        return saturated ? 0xFFFFFFFEu : static_cast<std::uint32_t>(ms);
    }
    std::uint32_t TickToMs() {
        const SongData& d = *this;
        // Most events share their tick with the event before them (a delta of 0): the
        // conversion is made once per tick.
        if (d.runningTick != msTick_ || d.msPerTick != msPerTickUsed_) {
            msTick_ = d.runningTick;
            msPerTickUsed_ = d.msPerTick;
            msValue_ = MsOfTick(d.runningTick, d.msPerTick, msSaturated_);
        }
        if (msSaturated_)
            ++saturatedTimes_;
        return msValue_;
    }
    // The last conversion made by TickToMs.
    std::uint64_t msTick_ = ~std::uint64_t{0};
    double msPerTickUsed_ = 0.0;
    std::uint32_t msValue_ = 0;
    bool msSaturated_ = false;
    // Bytes of a channel or system message, status included.
    static std::uint32_t MessageLength(std::uint8_t status) {
        if (status == 0xF6 || status >= 0xF8)
            return 1;
        if ((status >= 0xC0 && status <= 0xDF) || status == 0xF1 || status == 0xF3)
            return 2;
        return 3;
    }
    // SysEx, escape and meta events.
    ReadStep ReadOtherEvent(ByteSource& in, std::uint8_t status);
    // The delta time at `p`, of at most four bytes: their count; when the fourth still has
    // its top bit set, the delta goes on (the caller takes the long way).
    static std::size_t ShortDelta(const std::uint8_t* p, std::uint32_t& delta) {
        delta = p[0] & 0x7Fu;
        std::size_t n = 1;
        while ((p[n - 1] & 0x80) && n < 4) {
            delta = (delta << 7) | (p[n] & 0x7Fu);
            ++n;
        }
        return n;
    }
    // ReadEvent for what its fast path does not take: every kind of event, step by step.
    bool ReadEventSteps(ByteSource& in);

    // --- Loading: one handler per kind of event ---
    void BeginLoad(const std::string& fileTitle);
    void LoadCurrentEvent();
    void LoadEscapePacket();
    void LoadMetaEvent();
    void LoadSysEx();
    void LoadOversizeEvent();
    void FinishLoad(const ByteSource& in);
    void StoreCurrentEvent();
    // Loads the channel messages that follow at once (ReadChannelRun).
    void LoadChannelRun(ByteSource& in);
    // The events from the current one on, to the end of the song or until track
    // `stopAtTrack` begins (true then).
    bool LoadEvents(ByteSource& in, int stopAtTrack);
    // Reads the tracks of the song's second half on a second thread while this one reads
    // the first half, and joins the halves when that gives what one reading would; when it
    // would not, this thread reads on from where it stands, as if there had been no second
    // part. False, with nothing read, when the song is not worth it. `secondSource` is the
    // source the reading ended in when the halves were joined.
    bool LoadInTwoParts(ByteSource& in, std::unique_ptr<ByteSource>& secondSource);
    // The second half, from the chunk header `in` stands at, as track `track` of `whole`.
    void LoadPart(ByteSource& in, int track, const SongReader& whole);
    // Whether the second half `part` read apart is what reading on here would have found.
    bool CanJoin(const SongReader& part, const ByteSource& in, std::uint64_t start) const;
    void JoinPart(SongReader& part, int track);
    // The ranking of the proposal, by channel number or by weighting.
    void RankChannels();
    // What a channel message tells of its channel: notes here, the rest (programs,
    // controllers) in AnalyseControlMessage.
    [[gnu::always_inline]] void AnalyseChannelMessage(const std::uint8_t* msg, std::uint32_t t) {
        SongData& d = *this;
        const int ch = msg[0] & 0x0F;
        const int kind = msg[0] & 0xF0;
        if (kind == 0x90 && msg[2] > 0) {
            NoteOn(t, ch, msg[1]);
            d.velocitySum[ch] += msg[2];
            ++d.noteCount[ch];
        } else if (kind == 0x80 || kind == 0x90) {
            NoteOff(t, ch, msg[1]);
        } else {
            AnalyseControlMessage(msg);
        }
        d.used[ch] = true;
        if (t > d.lastTime)
            d.lastTime = t;
    }
    void AnalyseControlMessage(const std::uint8_t* msg);

    // SysEx packets being joined within one ReadEvent call.
    bool sysexPending_ = false;
    bool sysexOverflow_ = false;
    std::uint32_t sysexLength_ = 0;
    std::uint32_t sysexTime_ = 0;
    std::uint8_t sysexLast_ = 0;
    // Unterminated SysEx messages lost to the event that followed them.
    int lostSysEx_ = 0;
    // The data ended inside an event (its delta time, status, data bytes or body): the
    // events before it are whole, the rest of the song is missing.
    bool cutInsideEvent_ = false;
    bool moreTracksAfterLimit_ = false;
    std::uint64_t strayDataBytes_ = 0;
    // Events whose time lay past the last millisecond a time can hold (about 49.7 days).
    std::uint64_t saturatedTimes_ = 0;
    // Length of the last track chunk header read, to size the track's event list, and the
    // stream position where that chunk ends.
    std::uint32_t trackChunkLength_ = 0;
    std::uint64_t trackChunkEnd_ = 0;
    void SkipRestOfTrackChunk(ByteSource& in) const;
    void ReserveForTrack(Track& track, const ByteSource& in) const;

    // Load work state.
    std::array<int, kChannels> vibraBankState_{};
    bool msb121Seen_ = false;
    bool msb120Seen_ = false;
    // What a part of a song read apart took from before it, or left for after it: flags a
    // Bank Select LSB read before this load set them, a vibra setup or a rhythm bank found,
    // MIP messages met.
    bool msb120Known_ = false;
    bool msb121Known_ = false;
    bool flagsFromBefore_ = false;
    bool vibraFound_ = false;
    bool rhythmBankSet_ = false;
    int mipMessages_ = 0;
    bool partFailed_ = false;
    bool loadedInTwoParts_ = false;
    bool mipFound_ = false;
    bool stripSysEx_ = true;
    int unstored_ = 0;
    int firstUnstoredTrack_ = -1;
    std::uint64_t largestUnstored_ = 0;
    LoadResult loadResult_ = LoadResult::NotLoaded;
};

template <class Visit, class StartTrack>
bool SongReader::ForEachEvent(ByteSource& in, Visit&& visit, StartTrack&& startTrack) {
    if (!ReadHeader(in))
        return false;
    startTrack(0);
    while (ReadEvent(in)) {
        if (!visit())
            break;
        if (IsEndOfTrackEvent()) {
            if (!AdvanceTrack(in))
                break;
            startTrack(currentTrack);
        }
    }
    return true;
}

template <class Take> void SongReader::ReadChannelRun(ByteSource& in, Take&& take) {
    if (in.Available() < 8)
        return;
    // Members of the virtual base through one reference: found once, not per access.
    SongData& d = *this;
    const std::uint8_t* const start = in.Next();
    const std::uint8_t* const last = start + (in.Available() - 8);
    const std::uint8_t* p = start;
    std::uint8_t running = d.runningStatus;
    std::uint64_t tick = d.runningTick;
    // The first data byte of the last message taken, and its time: the event buffer gets
    // that message when the run is over.
    const std::uint8_t* lastData = nullptr;
    std::uint32_t time = 0;
    // The conversion state in locals: nothing in the run can change the tempo.
    const double perTick = d.msPerTick;
    std::uint64_t msTick = msTick_;
    bool converted = perTick == msPerTickUsed_;
    std::uint32_t msValue = msValue_;
    bool msSaturated = msSaturated_;
    std::uint64_t saturated = 0;
    while (p <= last) {
        // A delta of one or two bytes is taken without a branch; longer ones the long way.
        const std::uint32_t b0 = p[0];
        const std::uint32_t b1 = p[1];
        const bool two = (b0 & 0x80) != 0;
        std::uint32_t delta = two ? ((b0 & 0x7Fu) << 7) | (b1 & 0x7Fu) : b0;
        std::size_t n = two ? 2 : 1;
        if (two && (b1 & 0x80)) {
            n = ShortDelta(p, delta);
            if (p[n - 1] & 0x80)
                break;
            if ((delta & 0x0F000000u) == 0x0F000000u)
                delta |= 0xFF000000u;
        }
        const std::uint8_t status = p[n];
        const bool hasStatus = (status & 0x80) != 0;
        const std::uint8_t run = hasStatus ? status : running;
        if (run < 0x80 || run >= 0xF0)
            break;
        const std::uint64_t at = tick + delta;
        // TickToMs, counting a saturated time only for a message taken.
        if (at != msTick || !converted) {
            msTick = at;
            converted = true;
            msValue = MsOfTick(at, perTick, msSaturated);
        }
        const std::size_t data = n + (hasStatus ? 1 : 0);
        const std::uint32_t bytes = MessageLength(run);
        const std::uint8_t next[3] = {run, p[data], bytes == 3 ? p[data + 1] : std::uint8_t{0}};
        if (!take(msValue, next, bytes))
            break;
        saturated += msSaturated ? 1 : 0;
        lastData = p + data;
        time = msValue;
        p += data + bytes - 1;
        tick = at;
        running = run;
    }
    if (converted) {
        msTick_ = msTick;
        msPerTickUsed_ = perTick;
        msValue_ = msValue;
        msSaturated_ = msSaturated;
    }
    saturatedTimes_ += saturated;
    if (p == start)
        return;
    in.Consume(static_cast<std::size_t>(p - start));
    d.runningStatus = running;
    d.runningTick = tick;
    const std::uint32_t length = MessageLength(running);
    std::uint8_t* buf = d.eventBuffer.get();
    buf[0] = running;
    std::copy(lastData, lastData + (length - 1), buf + 1);
    d.eventTime = time;
    d.eventIsMeta = false;
    d.eventIsEscape = false;
    d.eventMetaType = 0;
    d.eventOversize = false;
    d.eventLength = length;
}

inline bool SongReader::ReadEvent(ByteSource& in) {
    sysexPending_ = false;
    // Nearly every event is a channel message with a short delta time: read straight from
    // the bytes at hand when they hold the whole event; anything else takes the steps below.
    if (in.Available() >= 8) {
        // Members of the virtual base through one reference: found once, not per access.
        SongData& d = *this;
        const std::uint8_t* p = in.Next();
        std::uint32_t delta = 0;
        const std::size_t n = ShortDelta(p, delta);
        const std::uint8_t status = p[n];
        const std::uint8_t running = status & 0x80 ? status : d.runningStatus;
        if (!(p[n - 1] & 0x80) && running >= 0x80 && running < 0xF0) {
            // Four groups give at most 0x0FFFFFFF; all four bits 0x0F000000 set make the top
            // byte 0xFF, as ReadVarLen does.
            if ((delta & 0x0F000000u) == 0x0F000000u)
                delta |= 0xFF000000u;
            const std::size_t data = (status & 0x80) ? n + 1 : n;
            const std::uint32_t length = MessageLength(running);
            std::uint8_t* buf = d.eventBuffer.get();
            buf[0] = running;
            buf[1] = p[data];
            if (length == 3)
                buf[2] = p[data + 1];
            in.Consume(data + length - 1);
            d.runningStatus = running;
            d.runningTick += delta;
            d.eventTime = TickToMs();
            d.eventIsMeta = false;
            d.eventIsEscape = false;
            d.eventMetaType = 0;
            d.eventOversize = false;
            d.eventLength = length;
            return true;
        }
    }
    return ReadEventSteps(in);
}
