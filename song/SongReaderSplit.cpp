// Reading a large song in two parts at once: SongReader::LoadInTwoParts and its steps.
#include "song/SongReader.h"

#include <exception>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

bool SongReader::LoadInTwoParts(ByteSource& in, std::unique_ptr<ByteSource>& secondSource) {
    // A format 0 song has one track; a small one is read faster than a thread starts.
    const std::uint64_t remaining = in.MostRemaining();
    if (format == 0 || remaining < kTwoPartBytes || remaining == ~std::uint64_t{0})
        return false;
    const std::uint64_t first = in.Position();
    const std::uint64_t end = first + remaining;
    // Where the track chunks after the first start, by their lengths, as BeginTrack walks
    // them; the one nearest the middle begins the second part.
    std::unique_ptr<ByteSource> scan = in.OpenAt(first - 8);
    std::uint64_t at = 0;
    if (!scan || !NextTrackChunk(*scan, at)) // the first track, read here
        return false;
    const std::uint64_t middle = first + remaining / 2;
    const auto offMiddle = [middle](std::uint64_t p) {
        return p > middle ? p - middle : middle - p;
    };
    int track = -1;
    std::uint64_t start = 0;
    for (int found = 1; found < kMaxTracks && NextTrackChunk(*scan, at); ++found) {
        if (track < 0 || offMiddle(at) < offMiddle(start)) {
            track = found;
            start = at;
        }
    }
    // Each part must be worth a thread.
    if (track < 0 || start - first < remaining / 8 || end - start < remaining / 8)
        return false;

    std::unique_ptr<ByteSource> source = in.OpenAt(start - 8);
    auto part = std::make_unique<SongReader>();
    part->switches = switches;
    std::thread second;
    try {
        second = std::thread([&] {
            try {
                part->LoadPart(*source, track, *this);
            } catch (...) {
                part->partFailed_ = true; // out of memory, say: read on here instead
            }
        });
    } catch (const std::system_error&) {
        return false; // no thread to be had
    }
    bool reached = false;
    try {
        reached = LoadEvents(in, track);
    } catch (...) {
        second.join();
        throw;
    }
    second.join();
    if (reached && CanJoin(*part, in, start)) {
        JoinPart(*part, track);
        secondSource = std::move(source);
        return true;
    }
    if (reached)
        LoadEvents(in, -1);
    return true;
}

void SongReader::LoadPart(ByteSource& in, int track, const SongReader& whole) {
    BeginLoad(std::string());
    format = whole.format;
    division = whole.division;
    // The tracks before it stay empty here.
    tracks.resize(static_cast<std::size_t>(track) + 1);
    currentTrack = track;
    if (!BeginTrack(in)) {
        partFailed_ = true;
        return;
    }
    ReserveForTrack(tracks.back(), in);
    LoadEvents(in, -1);
}

bool SongReader::CanJoin(const SongReader& part, const ByteSource& in, std::uint64_t start) const {
    // This reading reached the part's first track where the part began it; the part never
    // read a data byte without a status byte of its own (the running status would have come
    // from here), played no channel played here, set the Bank Select flags itself before
    // reading them, and met no MIP message (only the first one counts).
    if (part.partFailed_ || in.Position() != start || part.strayDataBytes_ != 0 ||
        part.flagsFromBefore_ || part.mipMessages_ != 0)
        return false;
    for (int ch = 0; ch < kChannels; ++ch)
        if (used[static_cast<std::size_t>(ch)] && part.used[static_cast<std::size_t>(ch)])
            return false;
    return true;
}

void SongReader::JoinPart(SongReader& part, int track) {
    SongData& d = *this;
    SongData& p = part;
    for (std::size_t ch = 0; ch < static_cast<std::size_t>(kChannels); ++ch) {
        if (!p.used[ch])
            continue;
        d.used[ch] = true;
        d.maxPolyphony[ch] = p.maxPolyphony[ch];
        d.sounding[ch] = p.sounding[ch];
        d.soundingKeys[ch] = p.soundingKeys[ch];
        d.programSeen[ch] = p.programSeen[ch];
        d.program[ch] = p.program[ch];
        d.noteCount[ch] = p.noteCount[ch];
        d.velocitySum[ch] = p.velocitySum[ch];
        d.volume[ch] = p.volume[ch];
        d.maxVolume[ch] = p.maxVolume[ch];
        d.timelines[ch] = std::move(p.timelines[ch]);
        vibraBankState_[ch] = part.vibraBankState_[ch];
    }
    d.lastTime = std::max(d.lastTime, p.lastTime);
    // What the later part set last stands.
    if (part.vibraFound_) {
        d.vibraChannel = p.vibraChannel;
        d.switches.vibraMode = p.switches.vibraMode;
        lastLoad.vibraMode = part.lastLoad.vibraMode;
        vibraFound_ = true;
    }
    if (part.rhythmBankSet_) {
        d.channel11Percussion = p.channel11Percussion;
        rhythmBankSet_ = true;
    }
    if (part.msb120Known_)
        msb120Seen_ = part.msb120Seen_;
    if (part.msb121Known_)
        msb121Seen_ = part.msb121Seen_;
    if (!d.titleFromMarker && p.titleFromMarker) {
        d.title = p.title;
        d.titleFromMarker = true;
    }
    // The part's tracks take the place of the one begun here.
    d.tracks.resize(static_cast<std::size_t>(track));
    for (std::size_t t = static_cast<std::size_t>(track); t < p.tracks.size(); ++t)
        d.tracks.push_back(std::move(p.tracks[t]));
    d.currentTrack = p.currentTrack;
    d.runningStatus = p.runningStatus;
    d.runningTick = p.runningTick;

    if (part.loadResult_ == LoadResult::NotStored)
        loadResult_ = LoadResult::NotStored;
    if (part.unstored_ > 0) {
        if (unstored_ == 0)
            firstUnstoredTrack_ = part.firstUnstoredTrack_;
        unstored_ += part.unstored_;
        largestUnstored_ = std::max(largestUnstored_, part.largestUnstored_);
    }
    lostSysEx_ += part.lostSysEx_;
    cutInsideEvent_ = part.cutInsideEvent_;
    moreTracksAfterLimit_ = part.moreTracksAfterLimit_;
    saturatedTimes_ += part.saturatedTimes_;
    loadedInTwoParts_ = true;
}
