// Loading and channel analysis: SongReader::LoadSong and its steps.
#include "song/SongReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace {

// The text of a text meta event in the buffer, up to its first zero byte, as a title or a
// track name is shown.
std::string TextOf(const std::uint8_t* buf, std::uint32_t length) {
    const char* text = reinterpret_cast<const char*>(buf + 1);
    return std::string(text, ::strnlen(text, length - 1));
}

} // namespace

void SongReader::UseCountedPolyphony() {
    for (int ch = 0; ch < kChannels; ++ch)
        polyphony[ch] = maxPolyphony[ch];
}

// The MIP message: F0 7F <device> 0B 01, then (channel, cumulative MIP) pairs in priority
// order, then F7. The order gives the priorities 1, 2, 3 ...; each channel's polyphony is
// its value minus the one before it. A falling value is an anomaly: such a message is not
// trusted.
bool SongReader::ParseMipMessage() {
    hasMipMessage = true;
    const std::uint8_t* buf = eventBuffer.get();
    const std::uint32_t length = std::min(eventLength, kEventBufferSize);
    std::uint32_t pos = 5;
    int p = 1;
    int previous = 0;
    for (;;) {
        if (pos >= length)
            return false;
        if (buf[pos] == 0xF7)
            return true;
        if (pos + 1 >= length)
            return false;
        const int ch = buf[pos];
        const int value = buf[pos + 1];
        if (ch > 15 || value > 127)
            return false;
        SetChannelPriority(ch, p);
        polyphony[ch] = value - previous;
        if (value - previous < 0)
            ++mipAnomalyCount;
        previous = value;
        ++p;
        pos += 2;
    }
}

void SongReader::AnalyseControlMessage(const std::uint8_t* msg) {
    // Members of the virtual base through one reference: found once, not per access.
    SongData& d = *this;
    const int ch = msg[0] & 0x0F;
    const int kind = msg[0] & 0xF0;
    if (kind == 0xC0) {
        const int number = msg[1];
        if (!d.programSeen[ch]) {
            d.program[ch] = number;
            d.programSeen[ch] = true;
        }
        // Bank 121/6 followed by d.program 124 or 125 marks the phone's vibra trigger.
        if ((number == 124 || number == 125) && vibraBankState_[ch] == 3) {
            d.vibraChannel = ch;
            d.switches.vibraMode = number == 124 ? 1 : 0;
            lastLoad.vibraMode = d.switches.vibraMode;
            vibraFound_ = true;
        }
        vibraBankState_[ch] = 0;
    } else if (kind == 0xB0) {
        const int controller = msg[1];
        const int value = msg[2];
        if (controller == 0) { // Bank Select MSB: 120 and 121 set their own flag
            if (value == 120) {
                msb120Seen_ = true;
                msb120Known_ = true;
            } else if (value == 121) {
                msb121Seen_ = true;
                msb121Known_ = true;
            } else {
                msb120Seen_ = false;
                msb121Seen_ = false;
                msb120Known_ = msb121Known_ = true;
            }
        } else if (controller == 7) { // Channel Volume
            d.volume[ch] = value;
            if (value > d.maxVolume[ch])
                d.maxVolume[ch] = value;
        } else if (controller == 32) { // Bank Select LSB
            // What it does with the flags: a part of a song read apart must have set the
            // ones that matter itself.
            const bool rhythmKnown = msb120Known_ && (msb120Seen_ || msb121Known_);
            if ((value == 0 && ch == 10 && !rhythmKnown) || (value == 6 && !msb121Known_))
                flagsFromBefore_ = true;
            if (value == 0) {
                // Bank 120 on channel index 10 is a rhythm bank, 121 a melodic one.
                if (ch == 10) {
                    if (msb121Seen_)
                        d.channel11Percussion = false;
                    if (msb120Seen_)
                        d.channel11Percussion = true;
                    rhythmBankSet_ = rhythmBankSet_ || msb120Seen_ || msb121Seen_;
                    vibraBankState_[10] = 0;
                }
            } else if (value == 6) {
                vibraBankState_[ch] = msb121Seen_ ? 3 : 0;
            } else {
                vibraBankState_[ch] = 0;
            }
            msb120Seen_ = false;
            msb121Seen_ = false;
            msb120Known_ = msb121Known_ = true;
        }
    }
}

void SongReader::StoreCurrentEvent() {
    // Members of the virtual base through one reference: found once, not per access.
    SongData& d = *this;
    bool stored = false;
    if (!d.eventOversize) {
        Track& track = d.tracks[static_cast<std::size_t>(d.currentTrack)];
        const SongEvent::Kind kind = d.eventIsEscape ? SongEvent::Escape
                                     : d.eventIsMeta ? SongEvent::Meta
                                                     : SongEvent::Plain;
        stored =
            track.AddEvent(d.eventTime, d.eventBuffer.get(), d.eventLength, kind, d.eventMetaType);
    }
    if (!stored) {
        loadResult_ = LoadResult::NotStored;
        if (unstored_++ == 0)
            firstUnstoredTrack_ = d.currentTrack;
        largestUnstored_ = std::max<std::uint64_t>(largestUnstored_, d.eventLength);
    }
}

void SongReader::BeginLoad(const std::string& fileTitle) {
    currentTrack = 0;
    runningTick = 0;
    eventLength = 0;
    titleFromMarker = false;
    mipAnomalyCount = 0;
    vibraBankState_.fill(0);
    msb120Seen_ = false;
    msb121Seen_ = false;
    msb120Known_ = false;
    msb121Known_ = false;
    flagsFromBefore_ = false;
    vibraFound_ = false;
    rhythmBankSet_ = false;
    mipMessages_ = 0;
    loadedInTwoParts_ = false;
    sysexPending_ = false;
    lostSysEx_ = 0;
    cutInsideEvent_ = false;
    moreTracksAfterLimit_ = false;
    saturatedTimes_ = 0;
    lastLoad = LoadReport{};
    mipFound_ = false;
    unstored_ = 0;
    firstUnstoredTrack_ = -1;
    largestUnstored_ = 0;
    stripSysEx_ = switches.sysexStripping;
    loadResult_ = LoadResult::Loaded;

    ClearTracks();
    ResetSong();
    title = fileTitle;
}

LoadResult SongReader::LoadSong(ByteSource& in, const std::string& fileTitle) {
    BeginLoad(fileTitle);
    const bool smf = ReadHeader(in);
    // The source the reading ended in: the second part's, when the song was read in two.
    std::unique_ptr<ByteSource> secondSource;
    if (smf) {
        ReserveForTrack(tracks.front(), in);
        if (!LoadInTwoParts(in, secondSource))
            LoadEvents(in, -1);
    } else {
        lastLoad.status = LoadReport::Status::NotSmf;
        loadResult_ = LoadResult::NotLoaded;
    }
    if (currentTrack >= kMaxTracks)
        loadResult_ = LoadResult::NoChannelData; // the track limit ended the reading
    FinishLoad(secondSource ? *secondSource : in);
    return lastLoad.result;
}

bool SongReader::LoadEvents(ByteSource& in, int stopAtTrack) {
    // Every event of every track in file order, as ForEachEvent reads them; runs of channel
    // messages, nearly the whole song, are loaded straight from the bytes.
    for (;;) {
        LoadChannelRun(in);
        if (!ReadEvent(in))
            return false;
        LoadCurrentEvent();
        if (IsEndOfTrackEvent()) {
            if (!AdvanceTrack(in))
                return false;
            ReserveForTrack(AppendTrack(), in);
            if (currentTrack == stopAtTrack)
                return true;
        }
    }
}

void SongReader::LoadChannelRun(ByteSource& in) {
    // What LoadCurrentEvent does with a channel message.
    Track& track = tracks[static_cast<std::size_t>(currentTrack)];
    ReadChannelRun(
        in, [this, &track](std::uint32_t time, const std::uint8_t* msg, std::uint32_t length) {
            if (track.endTime > time)
                return false; // it goes before events stored already: Track::AddEvent sorts it in
            AnalyseChannelMessage(msg, time);
            track.endTime = time;
            track.events.PushShort(time, msg[0], msg[1], msg[2], length);
            return true;
        });
}

void SongReader::LoadCurrentEvent() {
    // Members of the virtual base through one reference: found once, not per access.
    SongData& d = *this;
    if (d.eventOversize)
        return LoadOversizeEvent();
    if (d.eventLength == 0 || IsEndOfTrackEvent())
        return; // End of Track is not stored: the writer ends each track itself
    if (d.eventIsEscape)
        return LoadEscapePacket();
    if (d.eventIsMeta)
        return LoadMetaEvent();
    const std::uint8_t code = d.eventBuffer[0];
    if (code >= 0x80 && code < 0xF0) {
        AnalyseChannelMessage(d.eventBuffer.get(), d.eventTime);
        StoreCurrentEvent();
    } else if (code == 0xF0) {
        LoadSysEx();
    } else {
        StoreCurrentEvent(); // a system message read as a track event
    }
}

void SongReader::LoadOversizeEvent() {
    // It cannot be stored. A SysEx that stripping drops anyway is not reported as left
    // out, though.
    if (eventIsMeta || eventIsEscape || !stripSysEx_)
        StoreCurrentEvent();
    else
        loadResult_ = LoadResult::NotStored;
}

void SongReader::LoadEscapePacket() {
    // An escape packet is no SysEx and no meta event; its bytes count as channel data only
    // when they hold one whole channel message.
    const std::uint8_t code = eventBuffer[0];
    const std::uint32_t whole = (code >= 0xC0 && code <= 0xDF) ? 2 : 3;
    if (code >= 0x80 && code < 0xF0 && eventLength == whole)
        AnalyseChannelMessage(eventBuffer.get(), eventTime);
    StoreCurrentEvent();
}

void SongReader::LoadMetaEvent() {
    const std::uint8_t* buf = eventBuffer.get();
    const std::uint8_t code = buf[0];
    if (code == 0x03) { // Sequence/Track Name
        const std::string text = TextOf(buf, eventLength);
        if (format == 0 && title.empty())
            title = text;
        else
            tracks[static_cast<std::size_t>(currentTrack)].name = text;
    } else if (code == 0x06) { // Marker: the first one names the song
        if (!titleFromMarker) {
            title = TextOf(buf, eventLength);
            titleFromMarker = true;
        }
    } else if (code == 0x60 && eventTime > lastTime) { // Set Tempo
        lastTime = eventTime;
    }
    StoreCurrentEvent();
}

void SongReader::LoadSysEx() {
    const std::uint8_t* buf = eventBuffer.get();
    bool keep = false;
    if (eventLength > 7 && buf[1] == 0x7F) {
        // Universal Real Time: only the MIP message is kept, and only the first.
        if (buf[3] == 0x0B && buf[4] == 0x01) {
            keep = !mipFound_;
            ++mipMessages_;
            if (!mipFound_ && ParseMipMessage())
                mipFound_ = true;
        }
    } else {
        keep = !stripSysEx_;
    }
    if (keep)
        StoreCurrentEvent();
}

void SongReader::FinishLoad(const ByteSource& in) {
    if (lastLoad.status == LoadReport::Status::Loaded) {
        using Kind = LoadReport::LeftOut::Kind;
        auto& leftOut = lastLoad.leftOut;
        if (unstored_ > 0)
            leftOut.push_back({Kind::TooLargeEvents, static_cast<std::uint64_t>(unstored_),
                               largestUnstored_, 0, firstUnstoredTrack_});
        // Stripping drops SysEx messages anyway; otherwise a lost one is missed.
        if (lostSysEx_ > 0 && !stripSysEx_)
            leftOut.push_back(
                {Kind::UnterminatedSysEx, static_cast<std::uint64_t>(lostSysEx_), 0, 0, -1});
        // A read error (not the end of the data) ends the song early: the rest is missing.
        if (in.HasError())
            leftOut.push_back({Kind::ReadError, 0, 0, in.Position(), currentTrack});
        else if (cutInsideEvent_)
            leftOut.push_back({Kind::CutInsideEvent, 0, 0, in.Position(), currentTrack});
        if (moreTracksAfterLimit_)
            leftOut.push_back({Kind::TracksAfterLimit, kMaxTracks, 0, 0, -1});
        if (saturatedTimes_ > 0)
            leftOut.push_back({Kind::TimesCut, saturatedTimes_, 0, 0, -1});
    }

    if (mipFound_ && mipAnomalyCount == 0) {
        // A sound MIP message is trusted. Channels it does not list need the polyphony
        // they play with.
        for (int ch = 0; ch < kChannels; ++ch)
            if (priority[ch] <= 0)
                polyphony[ch] = maxPolyphony[ch];
    } else {
        UseCountedPolyphony();
        ProposePriorities();
    }

    if (CountUsedChannels() == 0) {
        lastLoad.result = LoadResult::NoChannelData;
        return;
    }
    ComputeSequencePolyphony();
    ComputeMipTable();
    lastLoad.result = loadResult_;
}

FilePtr SongReader::OpenSongFile(const std::string& filePath, LoadReport& report) {
    auto cannotOpen = [&report](const std::string& reason) {
        report = LoadReport{};
        report.status = LoadReport::Status::CannotOpen;
        report.error = reason;
        return nullptr;
    };
    struct stat info {};
    if (::stat(filePath.c_str(), &info) != 0)
        return cannotOpen(std::strerror(errno));
    if (S_ISDIR(info.st_mode))
        return cannotOpen(std::strerror(EISDIR));
    if (!S_ISREG(info.st_mode))
        return cannotOpen("not a regular file");
    FilePtr file(std::fopen(filePath.c_str(), "rb"));
    if (!file)
        return cannotOpen(std::strerror(errno));
    return file;
}

LoadResult SongReader::LoadSongFile(const std::string& filePath, const std::string& fileTitle) {
    auto file = OpenSongFile(filePath, lastLoad);
    if (!file)
        return LoadResult::NotLoaded;
    FileSource source(file.get());
    return LoadSong(source, fileTitle);
}

LoadReport SongReader::ProbeFile(const std::string& filePath) {
    LoadReport report;
    auto file = OpenSongFile(filePath, report);
    if (!file)
        return report;
    FileSource source(file.get(), 4096);
    SongReader probe;
    if (!probe.ReadHeader(source))
        report.status = LoadReport::Status::NotSmf;
    return report;
}

std::string SongReader::FileTitle(const std::string& filePath) {
    return std::filesystem::path(filePath).stem().string();
}
