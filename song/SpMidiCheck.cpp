// The SP-MIDI checker: a walk over a file's raw events merged by time, and the rules of
// SpMidiRules applied to what it saw.
#include "song/SpMidiCheck.h"
#include "song/PipeSink.h"
#include "song/SongReader.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <tuple>

namespace {

constexpr int kChannels = SongData::kChannels;
constexpr int kPercussion = 9;    // MIDI channel 10
constexpr int kSecondRhythm = 10; // MIDI channel 11

// What fills a rule's templates.
struct Args {
    std::optional<int> channel = std::nullopt;
    std::optional<int> track = std::nullopt;
    std::optional<std::uint32_t> time = std::nullopt;
    long value = 0;
    long limit = 0;
    long count = 0;
    std::string detail = std::string();
};

std::string Seconds(std::uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%03u s", ms / 1000, ms % 1000);
    return text;
}

std::string Times(long n) {
    return n == 1 ? "once" : n == 2 ? "twice" : std::to_string(n) + " times";
}

std::string Fill(std::string_view text, const Args& args) {
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t close = text[i] == '{' ? text.find('}', i) : std::string_view::npos;
        if (close == std::string_view::npos) {
            out += text[i++];
            continue;
        }
        const std::string_view key = text.substr(i + 1, close - i - 1);
        if (key == "channel")
            out += std::to_string(args.channel.value_or(-1) + 1);
        else if (key == "track")
            out += std::to_string(args.track.value_or(-1) + 1);
        else if (key == "time")
            out += Seconds(args.time.value_or(0));
        else if (key == "value")
            out += std::to_string(args.value);
        else if (key == "limit")
            out += std::to_string(args.limit);
        else if (key == "count")
            out += std::to_string(args.count);
        else if (key.starts_with("count:"))
            out += std::to_string(args.count) + " " + std::string(key.substr(6)) +
                   (args.count == 1 ? "" : "s");
        else if (key == "times")
            out += Times(args.count);
        else if (key == "detail")
            out += args.detail;
        else
            out.append(text.substr(i, close - i + 1));
        i = close + 1;
    }
    return out;
}

void Raise(std::vector<SpMidiFinding>& out, std::string_view id, const Args& args) {
    const SpMidiRule* rule = SpMidiRules::Find(id);
    if (!rule)
        throw std::logic_error("no SP-MIDI rule " + std::string(id));
    out.push_back({rule->id, rule->severity, args.channel, args.track, args.time,
                   Fill(rule->message, args), Fill(rule->fix, args)});
}

void Sort(std::vector<SpMidiFinding>& findings) {
    std::stable_sort(findings.begin(), findings.end(),
                     [](const SpMidiFinding& a, const SpMidiFinding& b) {
                         return std::tuple(a.severity, a.timeMs, a.channel) <
                                std::tuple(b.severity, b.timeMs, b.channel);
                     });
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes, std::size_t most) {
    std::string out;
    char pair[4];
    for (std::size_t i = 0; i < bytes.size() && i < most; ++i) {
        std::snprintf(pair, sizeof pair, "%s%02X", i ? " " : "", bytes[i]);
        out += pair;
    }
    if (bytes.size() > most)
        out += " ...";
    return out;
}

// One channel message or SysEx as the file holds it.
struct RawEvent {
    std::uint32_t time;
    std::uint16_t track;
    std::uint8_t length;   // bytes of a channel message; 0 for a SysEx
    std::uint8_t bytes[3]; // the channel message
    std::int32_t sysex;    // index of a SysEx's bytes, -1 for a channel message
};

struct SysExBytes {
    std::vector<std::uint8_t> bytes; // F0 to F7; empty when it was too large to read
    bool oversize = false;
};

// When something first happened and how often.
struct Seen {
    std::optional<std::uint32_t> first;
    int track = -1;
    long count = 0;
    void Add(std::uint32_t time, int onTrack = -1) {
        if (!first) {
            first = time;
            track = onTrack;
        }
        ++count;
    }
};

// A channel as the walk in time order leaves it.
struct ChannelWalk {
    std::array<std::uint32_t, 128> keys{};    // notes sounding per key
    std::array<std::uint32_t, 128> keyFrom{}; // when the oldest of them began
    std::uint32_t sounding = 0;
    std::optional<std::uint32_t> firstNote;
    Seen overlaps, twoAtOnce, drumsOutside, rhythmBeforeProgram, rhythmNotes;
    Seen controllers, rpns, polyPressure, pressure, bends;
    std::bitset<128> controllerNumbers;
    std::set<int> rpnNumbers;
    int firstDrumOutside = -1;
    int bankMsb = -1, bankLsb = -1;
    int rpnMsb = 127, rpnLsb = 127;
    bool nrpn = false;
    bool rhythm = false;        // channel 11 only: switched to the rhythm bank
    bool rhythmPending = false; // channel 11 only: Bank Select 120 waits for its Program Change
    std::optional<std::uint32_t> vibraSetup;
    int vibraProgram = -1;
    bool noteBeforeVibraSetup = false;
};

bool ControllerInProfile(int number) {
    switch (number) {
    case 0:   // Bank Select
    case 1:   // Modulation
    case 6:   // Data Entry
    case 7:   // Channel Volume
    case 10:  // Pan
    case 11:  // Expression
    case 32:  // Bank Select LSB
    case 38:  // Data Entry LSB
    case 64:  // Sustain
    case 100: // RPN LSB
    case 101: // RPN MSB
    case 120: // All Sound Off
    case 121: // Reset All Controllers
    case 123: // All Notes Off
        return true;
    default:
        return false;
    }
}

// Pitch Bend Sensitivity, Fine Tuning and Coarse Tuning.
bool RpnInProfile(int msb, int lsb) {
    return msb == 0 && lsb <= 2;
}

enum class SysExKind { Mip, GmOn, MasterVolume, Other };

SysExKind Classify(const SysExBytes& s) {
    const auto& b = s.bytes;
    if (b.size() >= 5 && b[1] == 0x7F && b[3] == 0x0B && b[4] == 0x01)
        return SysExKind::Mip;
    // F0 7E <device> 09 01 F7 (GM1 System On) and 09 03 (GM2 System On).
    if (b.size() == 6 && b[1] == 0x7E && b[3] == 0x09 && (b[4] == 0x01 || b[4] == 0x03))
        return SysExKind::GmOn;
    // F0 7F <device> 04 01 lsb msb F7.
    if (b.size() >= 5 && b[1] == 0x7F && b[3] == 0x04 && b[4] == 0x01)
        return SysExKind::MasterVolume;
    return SysExKind::Other;
}

struct MipPair {
    int channel;
    int value;
};

// The pairs of a MIP message, or why it is no MIP message a phone reads.
struct MipParse {
    std::vector<MipPair> pairs;
    std::string malformed; // empty when the bytes are well formed
};

MipParse ParseMip(const std::vector<std::uint8_t>& b) {
    MipParse parse;
    if (b.size() < 6 || b.back() != 0xF7) {
        parse.malformed = "it does not end with F7";
        return parse;
    }
    const std::size_t end = b.size() - 1;
    for (std::size_t i = 5; i < end; ++i)
        if (b[i] & 0x80) {
            char text[64];
            std::snprintf(text, sizeof text, "byte %zu is %02X, not a data byte", i, b[i]);
            parse.malformed = text;
            return parse;
        }
    if ((end - 5) % 2 != 0) {
        parse.malformed = "its last channel has no value";
        return parse;
    }
    for (std::size_t i = 5; i < end; i += 2)
        parse.pairs.push_back({b[i], b[i + 1]});
    return parse;
}

// One MIP message as it stands in the walk.
struct MipSeen {
    std::uint32_t time;
    int track;
    std::size_t sysex;
};

// A file's channel messages and SysEx, merged by time.
struct FileEvents {
    bool smf = false;
    int format = 0;
    std::vector<RawEvent> events;
    std::vector<SysExBytes> sysex;
};

// The reader's current event as the walk sees it, on track `track`: false for what a phone
// takes no note of (meta events, escapes, system messages). A SysEx's bytes go to `file`.
bool TakeEvent(const SongReader& reader, int track, FileEvents& file, RawEvent& e) {
    if (reader.eventIsMeta || reader.eventIsEscape || reader.eventLength == 0)
        return false;
    const std::uint8_t* buf = reader.eventBuffer.get();
    e = RawEvent{reader.eventTime, static_cast<std::uint16_t>(track), 0, {}, -1};
    if (buf[0] >= 0x80 && buf[0] < 0xF0) {
        e.length = static_cast<std::uint8_t>(std::min<std::uint32_t>(reader.eventLength, 3));
        std::copy(buf, buf + e.length, e.bytes);
        return true;
    }
    if (buf[0] == 0xF0) {
        e.sysex = static_cast<std::int32_t>(file.sysex.size());
        SysExBytes s;
        s.oversize = reader.eventOversize;
        if (!s.oversize)
            s.bytes.assign(buf, buf + reader.eventLength);
        file.sysex.push_back(std::move(s));
        return true;
    }
    return false; // a system message read as a track event: nothing for a phone
}

// Every event of the file read in file order, then sorted into the order a phone plays
// them: the tracks merged by time, at one time the earlier track first.
FileEvents ReadEvents(ByteSource& in) {
    FileEvents file;
    SongReader reader;
    file.smf = reader.ForEachEvent(in, [&] {
        RawEvent e;
        if (TakeEvent(reader, reader.currentTrack, file, e))
            file.events.push_back(e);
        return true;
    });
    file.format = reader.format;
    std::stable_sort(file.events.begin(), file.events.end(),
                     [](const RawEvent& a, const RawEvent& b) {
                         return std::tie(a.time, a.track) < std::tie(b.time, b.track);
                     });
    return file;
}

// The same order without a sorted copy of every event: one reader per track chunk, each
// reading its own track, merged as they go. Where each track starts is taken from the chunk
// lengths, before the tracks are read; once they are, Verify tells whether reading the file
// in one go would have found the same tracks (a damaged file may not). The file is read
// through sources that `open` makes, each reading it from its start: memory, or the bytes
// of a song still being written (then the chunks are found as they arrive).
class TrackMerge {
public:
    using Opener = std::function<std::unique_ptr<ByteSource>()>;

    // False when the file is no Standard MIDI File to the reader.
    bool Open(Opener open, int& format) {
        open_ = std::move(open);
        SongReader probe;
        const std::unique_ptr<ByteSource> in = open_();
        if (!probe.ReadHeader(*in))
            return false;
        format = probe.format;
        division_ = probe.division;
        // The chunks after the first track chunk are found by their lengths, as BeginTrack
        // walks them.
        const std::uint64_t start = in->Position();
        AddTrack(start);
        scan_ = open_();
        std::uint64_t first = 0;
        scanning_ = scan_->Skip(start - 8) && SongReader::NextTrackChunk(*scan_, first);
        return true;
    }
    // Finds the track chunks up to track `track` (0-based); false when there are fewer.
    bool HasTrack(int track) {
        while (static_cast<int>(cursors_.size()) <= track && scanning_)
            ScanChunk();
        return static_cast<int>(cursors_.size()) > track;
    }
    int TrackCount() {
        while (scanning_)
            ScanChunk();
        return static_cast<int>(cursors_.size());
    }

    // The next event in merged order; false when every track has ended.
    bool Next(FileEvents& file, RawEvent& e) {
        if (!started_) {
            started_ = true;
            TrackCount();
            for (std::size_t i = 0; i < cursors_.size(); ++i)
                if ((only_.empty() || only_[i]) && Advance(*cursors_[i], file))
                    heap_.push_back(static_cast<int>(i));
            std::make_heap(heap_.begin(), heap_.end(), Later{this});
        } else if (!heap_.empty()) {
            // The track at the top has delivered its event and reads on. It usually goes on
            // at the same time and stays the earliest: then the heap is left as it is.
            const Later later{this};
            if (!Advance(*cursors_[static_cast<std::size_t>(heap_.front())], file)) {
                std::pop_heap(heap_.begin(), heap_.end(), later);
                heap_.pop_back();
            } else if ((heap_.size() > 1 && later(heap_[0], heap_[1])) ||
                       (heap_.size() > 2 && later(heap_[0], heap_[2]))) {
                std::pop_heap(heap_.begin(), heap_.end(), later);
                std::push_heap(heap_.begin(), heap_.end(), later);
            }
        }
        if (heap_.empty())
            return false;
        e = cursors_[static_cast<std::size_t>(heap_.front())]->head;
        return true;
    }

    // Next merges only the tracks whose flag is set (before the first call).
    void Restrict(const std::vector<bool>& tracks) { only_ = tracks; }
    struct Cursor;
    // The reader of track `track` (found already); it stays where it is as tracks are found.
    Cursor* CursorOf(int track) { return cursors_[static_cast<std::size_t>(track)].get(); }
    // Every event of the cursor's track that the walk takes, in file order: the channel
    // messages of runs read straight from the bytes to message(time, bytes, length), every
    // other event to take(event).
    template <class Message, class Take>
    static void ReadTrack(Cursor& c, FileEvents& file, Message&& message, Take&& take) {
        for (;;) {
            c.reader.ReadChannelRun(*c.in, [&message](std::uint32_t time, const std::uint8_t* msg,
                                                      std::uint32_t length) {
                message(time, msg, length);
                return true;
            });
            if (!Advance(c, file))
                return;
            take(c.head);
        }
    }

    // True when the tracks read are those that reading the file from start to end finds,
    // each read from the same state.
    bool Verify() {
        const auto count = static_cast<std::size_t>(TrackCount());
        for (std::size_t i = 0; i < count; ++i) {
            Cursor& c = *cursors_[i];
            if (!c.endOfTrack) {
                // The data ended inside this track: the file ends with it.
                if (i + 1 != count)
                    return false;
                continue;
            }
            const bool more = c.reader.AdvanceTrack(*c.in);
            if (more != (i + 1 < count))
                return false;
            if (!more)
                continue;
            if (c.in->Position() != starts_[i + 1])
                return false;
            // The next track was read with no running status; it would have had this one's.
            if (cursors_[i + 1]->reader.StrayDataBytes() > 0 && c.reader.runningStatus != 0)
                return false;
        }
        return true;
    }

    struct Cursor {
        explicit Cursor(std::unique_ptr<ByteSource> source) : in(std::move(source)) {}
        SongReader reader;
        std::unique_ptr<ByteSource> in;
        int track = 0;
        bool endOfTrack = false;
        RawEvent head{};
    };

private:
    // Heap order: the later event (by time, then track) sinks.
    struct Later {
        const TrackMerge* merge;
        bool operator()(int a, int b) const {
            const RawEvent& x = merge->cursors_[static_cast<std::size_t>(a)]->head;
            const RawEvent& y = merge->cursors_[static_cast<std::size_t>(b)]->head;
            return std::tie(x.time, x.track) > std::tie(y.time, y.track);
        }
    };

    void AddTrack(std::uint64_t start) {
        starts_.push_back(start);
        auto c = std::make_unique<Cursor>(open_());
        c->track = static_cast<int>(cursors_.size());
        c->reader.division = division_;
        c->reader.currentTrack = c->track;
        c->in->Skip(start - 8);
        c->reader.BeginTrack(*c->in);
        cursors_.push_back(std::move(c));
    }
    // The next track chunk, or the end of the search.
    void ScanChunk() {
        std::uint64_t start = 0;
        if (starts_.size() >= static_cast<std::size_t>(SongReader::kMaxTracks) ||
            !SongReader::NextTrackChunk(*scan_, start))
            scanning_ = false;
        else
            AddTrack(start);
    }
    // Reads the cursor's next event that the walk takes; false at the track's end.
    static bool Advance(Cursor& c, FileEvents& file) {
        for (;;) {
            if (!c.reader.ReadEvent(*c.in))
                return false;
            if (c.reader.IsEndOfTrackEvent()) {
                c.endOfTrack = true;
                return false;
            }
            if (TakeEvent(c.reader, c.track, file, c.head))
                return true;
        }
    }

    Opener open_;
    std::unique_ptr<ByteSource> scan_;
    bool scanning_ = false;
    int division_ = 0;
    std::vector<std::uint64_t> starts_;
    std::vector<std::unique_ptr<Cursor>> cursors_;
    std::vector<int> heap_;
    std::vector<bool> only_;
    bool started_ = false;
};

// The song as the walk in time order leaves it.
struct SongWalk {
    std::array<ChannelWalk, kChannels> channels;
    std::vector<MipSeen> mips;
    bool anyNote = false;
    bool noteBeforeMip = false;
    bool messageBeforeMip = false;
    Seen masterVolume, otherSysEx;
    std::string firstOtherSysEx;
};

// The messages other than notes (WalkChannelMessage); `d1` and `d2` without their top bit,
// 0 where the message has none.
void WalkControlMessage(ChannelWalk& c, int ch, std::uint32_t t, int kind, int d1, int d2);

// A channel message of kind `kind` (its status without the channel) at `t`.
inline void WalkChannelMessage(ChannelWalk& c, int ch, std::uint32_t t, int kind, int d1, int d2) {
    if (kind == 0x90 && d2 > 0) {
        if (!c.firstNote)
            c.firstNote = t;
        if (c.keys[d1] > 0)
            c.overlaps.Add(t);
        else
            c.keyFrom[d1] = t;
        ++c.keys[d1];
        if (++c.sounding == 2)
            c.twoAtOnce.Add(t);
        const bool drums = ch == kPercussion || (ch == kSecondRhythm && c.rhythm);
        if (drums && (d1 < 35 || d1 > 81)) {
            if (c.firstDrumOutside < 0)
                c.firstDrumOutside = d1;
            c.drumsOutside.Add(t);
        }
        if (ch == kSecondRhythm && c.rhythmPending)
            c.rhythmBeforeProgram.Add(t);
        if (ch == kSecondRhythm && c.rhythm)
            c.rhythmNotes.Add(t);
    } else if (kind == 0x80 || kind == 0x90) {
        // A note-off ends every note of its key, as a synthesizer does.
        c.sounding -= c.keys[d1];
        c.keys[d1] = 0;
    } else {
        WalkControlMessage(c, ch, t, kind, d1, d2);
    }
}

inline void WalkChannelMessage(ChannelWalk& c, int ch, const RawEvent& e) {
    WalkChannelMessage(c, ch, e.time, e.bytes[0] & 0xF0, e.length > 1 ? e.bytes[1] & 0x7F : 0,
                       e.length > 2 ? e.bytes[2] & 0x7F : 0);
}

void WalkControlMessage(ChannelWalk& c, int ch, std::uint32_t t, int kind, int d1, int d2) {
    if (kind == 0xB0) {
        if (!ControllerInProfile(d1)) {
            c.controllerNumbers.set(static_cast<std::size_t>(d1));
            c.controllers.Add(t);
        }
        switch (d1) {
        case 0:
            c.bankMsb = d2;
            // The bank changes at the next Program Change.
            if (ch == kSecondRhythm)
                c.rhythmPending = d2 == 120 && !c.rhythm;
            break;
        case 32:
            c.bankLsb = d2;
            break;
        case 101:
            c.rpnMsb = d2;
            c.nrpn = false;
            break;
        case 100:
            c.rpnLsb = d2;
            c.nrpn = false;
            break;
        case 98:
        case 99:
            c.nrpn = true;
            break;
        case 6:
        case 38:
        case 96:
        case 97:
            // Data Entry and Increment/Decrement change the selected parameter; with the
            // null RPN (7F 7F) selected they change nothing.
            if (!c.nrpn && !(c.rpnMsb == 127 && c.rpnLsb == 127) &&
                !RpnInProfile(c.rpnMsb, c.rpnLsb)) {
                c.rpnNumbers.insert(c.rpnMsb * 128 + c.rpnLsb);
                c.rpns.Add(t);
            }
            break;
        default:
            break;
        }
    } else if (kind == 0xC0) {
        if (ch == kSecondRhythm) {
            c.rhythm = c.bankMsb == 120;
            c.rhythmPending = false;
        }
        // Bank 121/6 with program 124 or 125 sets up the phone's vibra.
        if ((d1 == 124 || d1 == 125) && c.bankMsb == 121 && c.bankLsb == 6 && !c.vibraSetup) {
            c.vibraSetup = t;
            c.vibraProgram = d1;
            c.noteBeforeVibraSetup = c.firstNote.has_value();
        }
    } else if (kind == 0xA0) {
        c.polyPressure.Add(t);
    } else if (kind == 0xD0) {
        c.pressure.Add(t);
    } else if (kind == 0xE0) {
        c.bends.Add(t);
    }
}

// A Master Volume or another SysEx the profile does not list, at `time` on `track`.
void CountProfileSysEx(SongWalk& walk, const SysExBytes& s, std::uint32_t time, int track) {
    if (Classify(s) == SysExKind::MasterVolume) {
        walk.masterVolume.Add(time, track);
        return;
    }
    if (!walk.otherSysEx.first)
        walk.firstOtherSysEx = s.oversize ? "(too large to read)" : HexBytes(s.bytes, 6);
    walk.otherSysEx.Add(time, track);
}

// Walks the events in time order. What depends on the order of events (a second MIP
// message, a reset after the first) is raised on the way.
template <class Next>
SongWalk Walk(FileEvents& file, Next&& next, std::vector<SpMidiFinding>& out) {
    SongWalk walk;
    bool anyMessage = false;
    // A GM System On after the MIP message, while no note has followed it.
    bool resetPending = false;
    Args reset;
    RawEvent e;
    while (next(file, e)) {
        if (e.sysex < 0) {
            anyMessage = true;
            const int ch = e.bytes[0] & 0x0F;
            const bool note = (e.bytes[0] & 0xF0) == 0x90 && e.length > 2 && e.bytes[2] > 0;
            if (note && resetPending) {
                Raise(out, "gm-on-after-mip", reset);
                resetPending = false;
            }
            walk.anyNote = walk.anyNote || note;
            WalkChannelMessage(walk.channels[static_cast<std::size_t>(ch)], ch, e);
            continue;
        }
        const SysExBytes& s = file.sysex[static_cast<std::size_t>(e.sysex)];
        switch (Classify(s)) {
        case SysExKind::Mip:
            if (walk.mips.empty()) {
                walk.noteBeforeMip = walk.anyNote;
                walk.messageBeforeMip = anyMessage;
            } else {
                Raise(out, "mip-repeated", {.track = e.track, .time = e.time});
            }
            walk.mips.push_back({e.time, e.track, static_cast<std::size_t>(e.sysex)});
            resetPending = false;
            break;
        case SysExKind::GmOn:
            if (!walk.mips.empty() && !resetPending) {
                resetPending = true;
                reset = Args{.track = e.track, .time = e.time};
            }
            break;
        case SysExKind::MasterVolume:
        case SysExKind::Other:
            CountProfileSysEx(walk, s, e.time, e.track);
            break;
        }
    }
    return walk;
}

// Where in its track an event stands among those the walk takes.
struct Place {
    std::uint32_t time = 0;
    int track = -1;
    std::size_t index = 0;
    // True when this place comes before `other` in merged order.
    bool Before(const Place& other) const {
        if (track == other.track)
            return index < other.index;
        return time < other.time || (time == other.time && track < other.track);
    }
};

struct SysExSeen {
    Place place;
    std::int32_t sysex; // in the FileEvents of the walk that saw it
};

// What one track showed the walk.
struct TrackSeen {
    int track = 0;
    std::bitset<kChannels> plays;
    std::optional<Place> firstNote;
    std::optional<Place> firstMessage;
    std::vector<SysExSeen> sysex;
};

// What the tracks one thread read gave: the channels they alone play, walked; which channels
// they play on more than one track; the SysEx they hold.
struct WalkPart {
    WalkPart() { owner.fill(-1); }
    std::array<ChannelWalk, kChannels> channels;
    std::array<int, kChannels> owner;
    std::bitset<kChannels> shared;
    bool anyNote = false;
    FileEvents file;
    std::vector<TrackSeen> tracks;
};

void WalkTrack(TrackMerge::Cursor& cursor, int t, WalkPart& part) {
    TrackSeen seen;
    seen.track = t;
    std::size_t index = 0;
    // The channels this track has played so far, and of those the ones walked here: a
    // channel's first message on the track settles whether it is its own.
    std::uint32_t plays = 0;
    std::uint32_t walked = 0;
    bool noteSeen = false;
    const auto message = [&](std::uint32_t time, const std::uint8_t* bytes, std::uint32_t length) {
        const std::size_t at = index++;
        const int ch = bytes[0] & 0x0F;
        const std::uint32_t bit = 1u << ch;
        if (!(plays & bit)) {
            const auto c = static_cast<std::size_t>(ch);
            plays |= bit;
            if (part.owner[c] >= 0)
                part.shared.set(c); // walked again later
            else
                part.owner[c] = t;
            if (!part.shared[c])
                walked |= bit;
            if (!seen.firstMessage)
                seen.firstMessage = Place{time, t, at};
        }
        const int kind = bytes[0] & 0xF0;
        if (kind == 0x90 && length > 2 && bytes[2] > 0 && !noteSeen) {
            noteSeen = true;
            seen.firstNote = Place{time, t, at};
            part.anyNote = true;
        }
        if (walked & bit)
            WalkChannelMessage(part.channels[static_cast<std::size_t>(ch)], ch, time, kind,
                               length > 1 ? bytes[1] & 0x7F : 0, length > 2 ? bytes[2] & 0x7F : 0);
    };
    TrackMerge::ReadTrack(cursor, part.file, message, [&](const RawEvent& e) {
        if (e.sysex >= 0)
            seen.sysex.push_back({Place{e.time, t, index++}, e.sysex});
        else
            message(e.time, e.bytes, e.length);
    });
    seen.plays = std::bitset<kChannels>(plays);
    part.tracks.push_back(std::move(seen));
}

// Two threads reading the tracks of one file: one takes them from the first on as they are
// found, the other (a helper) from the last back, once every track is there; they meet in
// between. Each walks what it takes into a part of its own.
class TrackShare {
public:
    // The first thread: takes tracks from the front until none is left, then waits for the
    // helper's tracks in progress.
    void WalkFront(TrackMerge& merge, WalkPart& part) {
        std::unique_lock<std::mutex> lock(mutex_);
        merge_ = &merge;
        changed_.notify_all();
        while (front_ < back_ && merge.HasTrack(front_)) {
            const int t = front_++;
            TrackMerge::Cursor* cursor = merge.CursorOf(t);
            lock.unlock();
            try {
                WalkTrack(*cursor, t, part);
            } catch (...) {
                lock.lock();
                CloseAndWait(lock); // the helper must be done with the readers first
                throw;
            }
            lock.lock();
        }
        CloseAndWait(lock);
    }
    // The helper, once the file is whole: takes tracks from the back while any are left. A
    // walk that is over, or that never reached its tracks, is left alone. It never throws:
    // what stopped it is kept for WalkFront's caller.
    void Help() {
        std::unique_lock<std::mutex> lock(mutex_);
        try {
            changed_.wait(lock, [this] { return merge_ || closed_; });
            if (!closed_ && back_ == kNone)
                back_ = merge_->TrackCount();
            while (!closed_ && back_ > front_) {
                const int t = --back_;
                TrackMerge::Cursor* cursor = merge_->CursorOf(t);
                ++helping_;
                lock.unlock();
                try {
                    WalkTrack(*cursor, t, helped_);
                } catch (...) {
                    lock.lock();
                    --helping_;
                    throw;
                }
                lock.lock();
                --helping_;
                changed_.notify_all();
            }
        } catch (...) {
            failure_ = std::current_exception(); // the walk cannot be whole
            closed_ = true;
            changed_.notify_all();
        }
    }
    // Why the helper gave up, once WalkFront has returned.
    std::exception_ptr Failure() const { return failure_; }
    // No walk is coming (the file is no song to the reader, say): the helper need not wait.
    void Close() {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }
    // The helper's part, once WalkFront has returned.
    WalkPart& Helped() { return helped_; }

private:
    // No more tracks are taken; waits for those the helper is reading.
    void CloseAndWait(std::unique_lock<std::mutex>& lock) {
        closed_ = true;
        changed_.wait(lock, [this] { return helping_ == 0; });
    }

    static constexpr int kNone = 1 << 30;
    std::mutex mutex_;
    std::condition_variable changed_;
    TrackMerge* merge_ = nullptr;
    int front_ = 0;
    int back_ = kNone;
    int helping_ = 0;
    bool closed_ = false;
    WalkPart helped_;
    std::exception_ptr failure_;
};

// Both parts in one: tracks in file order, channels played by both treated as shared, the
// second part's SysEx numbered after the first's.
void JoinParts(WalkPart& into, WalkPart& other) {
    const auto offset = static_cast<std::int32_t>(into.file.sysex.size());
    for (SysExBytes& s : other.file.sysex)
        into.file.sysex.push_back(std::move(s));
    for (TrackSeen& seen : other.tracks) {
        for (SysExSeen& x : seen.sysex)
            x.sysex += offset;
        into.tracks.push_back(std::move(seen));
    }
    std::sort(into.tracks.begin(), into.tracks.end(),
              [](const TrackSeen& a, const TrackSeen& b) { return a.track < b.track; });
    for (std::size_t c = 0; c < static_cast<std::size_t>(kChannels); ++c) {
        if (other.owner[c] < 0)
            continue;
        if (into.owner[c] >= 0) {
            into.shared.set(c);
            continue;
        }
        into.owner[c] = other.owner[c];
        into.channels[c] = other.channels[c];
        if (other.shared[c])
            into.shared.set(c);
    }
    into.anyNote = into.anyNote || other.anyNote;
}

// How the walk track by track ended.
enum class TrackWalk {
    Done,
    Mixed,     // the song needs the walk in merged order (see WalkByTrack)
    Unverified // the tracks cannot be read apart (TrackMerge::Verify)
};

// The walk of Walk without merging every track: each track is read on its own, its channel
// messages straight into the channels it plays, and the SysEx messages of all tracks, few,
// are walked in merged order afterwards. A channel's state depends only on the order of its
// own messages: a channel that plays on one track takes them in that track's order, and a
// channel that plays on several (drums split over two tracks) is walked again over just
// those tracks merged. The result is that of Walk unless a GM System On follows the first
// MIP message (whether a note comes after it depends on every track): then it gives up
// (Mixed). Merged order puts events by time, at one time the earlier track first, within a
// track in file order. With `share`, a helper thread may read some of the tracks.
TrackWalk WalkByTrack(TrackMerge& merge, const TrackMerge::Opener& open, FileEvents& file,
                      SongWalk& walk, std::vector<SpMidiFinding>& out, TrackShare* share) {
    WalkPart part;
    if (share) {
        share->WalkFront(merge, part);
        if (share->Failure())
            std::rethrow_exception(share->Failure());
        JoinParts(part, share->Helped());
    } else {
        for (int t = 0; merge.HasTrack(t); ++t)
            WalkTrack(*merge.CursorOf(t), t, part);
    }
    file.sysex = std::move(part.file.sysex);
    walk.channels = part.channels;
    walk.anyNote = part.anyNote;
    const std::bitset<kChannels> shared = part.shared;
    const std::vector<TrackSeen>& tracks = part.tracks;
    std::vector<SysExSeen> sysex;
    for (const TrackSeen& seen : tracks)
        sysex.insert(sysex.end(), seen.sysex.begin(), seen.sysex.end());
    if (!merge.Verify())
        return TrackWalk::Unverified;
    if (shared.any()) {
        // The channels on several tracks from the start, over the tracks that play them.
        std::vector<bool> involved(tracks.size());
        for (std::size_t t = 0; t < involved.size(); ++t)
            involved[t] = (tracks[t].plays & shared).any();
        for (int ch = 0; ch < kChannels; ++ch)
            if (shared[static_cast<std::size_t>(ch)])
                walk.channels[static_cast<std::size_t>(ch)] = ChannelWalk();
        TrackMerge again;
        FileEvents scratch; // their SysEx are known already
        again.Open(open, scratch.format);
        again.Restrict(involved);
        RawEvent e;
        while (again.Next(scratch, e)) {
            const int ch = e.bytes[0] & 0x0F;
            if (e.sysex < 0 && shared[static_cast<std::size_t>(ch)])
                WalkChannelMessage(walk.channels[static_cast<std::size_t>(ch)], ch, e);
        }
    }

    // Each track's SysEx came in its order: sorting by time and track gives merged order.
    std::stable_sort(sysex.begin(), sysex.end(), [](const SysExSeen& a, const SysExSeen& b) {
        return std::tie(a.place.time, a.place.track) < std::tie(b.place.time, b.place.track);
    });
    const auto anyBefore = [&tracks](std::optional<Place> TrackSeen::*first, const Place& at) {
        return std::any_of(tracks.begin(), tracks.end(), [&](const TrackSeen& seen) {
            return seen.*first && (seen.*first)->Before(at);
        });
    };
    for (const SysExSeen& seen : sysex) {
        const Place& at = seen.place;
        const SysExBytes& s = file.sysex[static_cast<std::size_t>(seen.sysex)];
        switch (Classify(s)) {
        case SysExKind::Mip:
            if (walk.mips.empty()) {
                walk.noteBeforeMip = anyBefore(&TrackSeen::firstNote, at);
                walk.messageBeforeMip = anyBefore(&TrackSeen::firstMessage, at);
            } else {
                Raise(out, "mip-repeated", {.track = at.track, .time = at.time});
            }
            walk.mips.push_back({at.time, at.track, static_cast<std::size_t>(seen.sysex)});
            break;
        case SysExKind::GmOn:
            if (!walk.mips.empty())
                return TrackWalk::Mixed;
            break;
        case SysExKind::MasterVolume:
        case SysExKind::Other:
            CountProfileSysEx(walk, s, at.time, at.track);
            break;
        }
    }
    return TrackWalk::Done;
}

// The bytes of every MIP message; the pairs of the first one when a phone can read them.
std::optional<MipParse> CheckMipMessages(const FileEvents& file, const SongWalk& walk,
                                         std::vector<SpMidiFinding>& out) {
    std::optional<MipParse> first;
    for (std::size_t m = 0; m < walk.mips.size(); ++m) {
        const MipSeen& seen = walk.mips[m];
        const std::vector<std::uint8_t>& b = file.sysex[seen.sysex].bytes;
        const Args at{.track = seen.track, .time = seen.time};
        MipParse parse = ParseMip(b);
        if (!parse.malformed.empty()) {
            Args a = at;
            a.detail = parse.malformed;
            Raise(out, "mip-malformed", a);
            continue;
        }
        if (b[2] != 0x7F) {
            Args a = at;
            a.value = b[2];
            Raise(out, "mip-device-id", a);
        }
        if (parse.pairs.empty()) {
            Raise(out, "mip-empty", at);
            continue;
        }
        if (parse.pairs.size() > 16) {
            Args a = at;
            a.value = static_cast<long>(parse.pairs.size());
            Raise(out, "mip-too-many-entries", a);
        }
        bool readable = true;
        std::bitset<kChannels> listed, repeated;
        int previous = 0;
        for (const MipPair& p : parse.pairs) {
            Args a = at;
            a.value = p.value;
            if (p.channel >= kChannels) {
                a.value = p.channel;
                Raise(out, "mip-channel-range", a);
                readable = false;
                continue;
            }
            const auto ch = static_cast<std::size_t>(p.channel);
            a.channel = p.channel;
            if (listed[ch] && !repeated[ch]) {
                repeated.set(ch);
                Raise(out, "mip-channel-repeated", a);
            }
            listed.set(ch);
            a.limit = previous;
            if (p.value < previous)
                Raise(out, "mip-value-falls", a);
            if (p.value == 0)
                Raise(out, "mip-value-zero", a);
            previous = p.value;
        }
        if (m == 0 && readable)
            first = std::move(parse);
    }
    return first;
}

// Where the first MIP message stands.
void CheckPlacement(const SongWalk& walk, std::vector<SpMidiFinding>& out) {
    if (walk.mips.empty()) {
        if (walk.anyNote)
            Raise(out, "mip-missing", {});
        return;
    }
    const MipSeen& m = walk.mips.front();
    if (walk.noteBeforeMip) {
        Raise(out, "mip-after-notes", {.track = m.track, .time = m.time});
    } else if (m.time != 0 || m.track != 0 || walk.messageBeforeMip) {
        Args a{.track = m.track, .time = m.time};
        a.detail = m.time != 0    ? "it comes at " + Seconds(m.time)
                   : m.track != 0 ? "it is in track " + std::to_string(m.track + 1)
                                  : "channel messages come before it";
        Raise(out, "mip-not-at-start", a);
    }
}

// What the first MIP message does to the channels that play.
void CheckCoverage(const MipParse& first, const SongWalk& walk, std::vector<SpMidiFinding>& out) {
    const std::uint32_t at = walk.mips.front().time;
    std::bitset<kChannels> listed;
    for (const MipPair& p : first.pairs)
        listed.set(static_cast<std::size_t>(p.channel));
    for (int ch = 0; ch < kChannels; ++ch) {
        const ChannelWalk& c = walk.channels[static_cast<std::size_t>(ch)];
        if (c.firstNote && !listed[static_cast<std::size_t>(ch)])
            Raise(out, "channel-not-listed", {.channel = ch, .time = c.firstNote});
    }

    const MipPair& lead = first.pairs.front();
    Args a{.channel = lead.channel, .time = at};
    a.value = lead.value;
    if (lead.value > 6)
        Raise(out, "mip-first-above-6", a);
    else if (lead.value > 5)
        Raise(out, "mip-first-above-5", a);

    std::bitset<kChannels> done;
    int previous = 0;
    for (const MipPair& p : first.pairs) {
        const auto ch = static_cast<std::size_t>(p.channel);
        if (!done[ch]) {
            done.set(ch);
            Args v{.channel = p.channel, .time = at};
            v.value = p.value;
            if (p.value > 24)
                Raise(out, "mip-value-above-24", v);
            if (walk.channels[ch].vibraSetup) {
                if (p.value > 5)
                    Raise(out, "vibra-priority", v);
                // A vibra channel listed alone has the value 1, the least a value can be.
                v.value = p.value - previous;
                if (p.value > std::max(previous, 1))
                    Raise(out, "vibra-adds-voices", v);
            }
        }
        previous = std::max(previous, p.value);
    }
}

// What each channel plays, and the vibra channel's setup.
void CheckChannels(const SongWalk& walk, std::optional<std::uint32_t> vibraMode,
                   std::vector<SpMidiFinding>& out) {
    for (int ch = 0; ch < kChannels; ++ch) {
        const ChannelWalk& c = walk.channels[static_cast<std::size_t>(ch)];
        auto seen = [&](const char* id, const Seen& s, std::string detail = std::string()) {
            if (!s.first)
                return;
            Args a{.channel = ch, .time = s.first};
            a.count = s.count;
            a.detail = std::move(detail);
            Raise(out, id, a);
        };
        seen("rhythm-bank-no-program", c.rhythmBeforeProgram);
        seen("rhythm-channel-11", c.rhythmNotes);
        seen("drum-note-range", c.drumsOutside, "key " + std::to_string(c.firstDrumOutside));
        seen("note-overlap", c.overlaps);
        seen("poly-aftertouch", c.polyPressure);
        seen("channel-pressure", c.pressure);
        seen("pitch-bend", c.bends);

        std::string numbers;
        for (int n = 0; n < 128; ++n)
            if (c.controllerNumbers[static_cast<std::size_t>(n)])
                numbers += (numbers.empty() ? "" : ", ") + std::to_string(n);
        seen("controller-unsupported", c.controllers, numbers);
        std::string rpns;
        for (int n : c.rpnNumbers)
            rpns += (rpns.empty() ? "RPN " : ", ") + std::to_string(n / 128) + "/" +
                    std::to_string(n % 128);
        seen("rpn-unsupported", c.rpns, rpns);

        std::uint32_t unended = 0;
        std::uint32_t from = 0xFFFFFFFFu;
        for (std::size_t k = 0; k < 128; ++k)
            if (c.keys[k] > 0) {
                unended += c.keys[k];
                from = std::min(from, c.keyFrom[k]);
            }
        if (unended > 0) {
            Args a{.channel = ch, .time = from};
            a.count = unended;
            Raise(out, "note-never-ends", a);
        }

        if (!c.vibraSetup)
            continue;
        const Args at{.channel = ch, .time = c.vibraSetup};
        if (ch == kPercussion)
            Raise(out, "vibra-on-percussion", at);
        if (c.noteBeforeVibraSetup) {
            Args a{.channel = ch, .time = c.firstNote};
            a.detail = Seconds(*c.vibraSetup);
            Raise(out, "vibra-setup-late", a);
        }
        const int wanted = vibraMode ? (*vibraMode != 0 ? 124 : 125) : c.vibraProgram;
        if (c.vibraProgram != wanted) {
            Args a = at;
            a.value = c.vibraProgram;
            a.limit = wanted;
            Raise(out, "vibra-program-mode", a);
        }
        seen("vibra-polyphonic", c.twoAtOnce);
    }
}

// SysEx messages the profile does not list.
void CheckSysEx(const SongWalk& walk, std::vector<SpMidiFinding>& out) {
    if (walk.masterVolume.first) {
        Args a{.track = walk.masterVolume.track, .time = walk.masterVolume.first};
        a.count = walk.masterVolume.count;
        Raise(out, "sysex-master-volume", a);
    }
    if (walk.otherSysEx.first) {
        Args a{.track = walk.otherSysEx.track, .time = walk.otherSysEx.first};
        a.count = walk.otherSysEx.count;
        a.detail = walk.firstOtherSysEx;
        Raise(out, "sysex-unsupported", a);
    }
}

} // namespace

std::vector<SpMidiFinding> SpMidiCheck::CheckFile(ByteSource& in) const {
    std::vector<std::uint8_t> bytes;
    std::uint8_t block[64 * 1024];
    for (std::size_t n; (n = in.Read(block, sizeof block)) > 0;)
        bytes.insert(bytes.end(), block, block + n);
    return CheckBytes(bytes);
}

namespace {

// The checker's findings for the file that `open` reads; with `share`, a helper thread may
// read some of its tracks.
std::vector<SpMidiFinding> CheckOpened(const TrackMerge::Opener& open,
                                       std::optional<std::uint32_t> vibraMode,
                                       TrackShare* share = nullptr) {
    // However the check ends, a helper waits no longer.
    struct CloseShare {
        TrackShare* share;
        ~CloseShare() {
            if (share)
                share->Close();
        }
    } closeShare{share};
    std::vector<SpMidiFinding> out;
    FileEvents file;
    // Tracks merged as they are read; a file whose tracks cannot be read apart in the same
    // way is read whole and sorted instead.
    TrackMerge merge;
    file.smf = merge.Open(open, file.format);
    if (!file.smf) {
        Raise(out, "not-smf", {});
        return out;
    }
    const auto fileFindings = [&out, &file] {
        out.clear();
        if (file.format == 2)
            Raise(out, "smf-format-2", {});
    };
    fileFindings();
    SongWalk walk;
    TrackWalk walked = WalkByTrack(merge, open, file, walk, out, share);
    if (walked == TrackWalk::Mixed) {
        file.sysex.clear();
        fileFindings();
        TrackMerge merged;
        merged.Open(open, file.format);
        walk = Walk(
            file, [&merged](FileEvents& f, RawEvent& e) { return merged.Next(f, e); }, out);
        walked = merged.Verify() ? TrackWalk::Done : TrackWalk::Unverified;
    }
    if (walked == TrackWalk::Unverified) {
        const std::unique_ptr<ByteSource> in = open();
        file = ReadEvents(*in);
        fileFindings();
        std::size_t next = 0;
        walk = Walk(
            file,
            [&next](FileEvents& f, RawEvent& e) {
                if (next == f.events.size())
                    return false;
                e = f.events[next++];
                return true;
            },
            out);
    }
    if (const std::optional<MipParse> first = CheckMipMessages(file, walk, out))
        CheckCoverage(*first, walk, out);
    CheckPlacement(walk, out);
    CheckChannels(walk, vibraMode, out);
    CheckSysEx(walk, out);
    Sort(out);
    return out;
}

} // namespace

std::vector<SpMidiFinding> SpMidiCheck::CheckBytes(const std::vector<std::uint8_t>& bytes) const {
    const TrackMerge::Opener open = [&bytes] { return std::make_unique<MemorySource>(bytes); };
    if (bytes.size() < kSharedCheckBytes)
        return CheckOpened(open, vibraMode);
    // A large file: a second thread reads tracks from the last back.
    TrackShare share;
    std::thread helper;
    try {
        helper = std::thread([&share] { share.Help(); });
    } catch (const std::system_error&) {
        return CheckOpened(open, vibraMode);
    }
    std::vector<SpMidiFinding> found;
    try {
        found = CheckOpened(open, vibraMode, &share);
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    return found;
}

std::vector<SpMidiFinding> SpMidiCheck::CheckSong(const SongData& song) const {
    std::vector<SpMidiFinding> out;
    for (int ch = 0; ch < kChannels; ++ch) {
        // The channels a save lists; the vibra channel sounds no note.
        const int p = song.priority[static_cast<std::size_t>(ch)];
        if (!song.used[static_cast<std::size_t>(ch)] ||
            !song.enabled[static_cast<std::size_t>(ch)] || p < 1 || p > kChannels ||
            ch == song.vibraChannel)
            continue;
        const auto share =
            static_cast<std::uint32_t>(std::max(song.polyphony[static_cast<std::size_t>(ch)], 0));
        // Each rise above the share steals notes until the count falls back to it.
        Seen over;
        std::uint32_t most = 0;
        bool above = false;
        for (const PolyphonyTimeline::Entry& e :
             song.timelines[static_cast<std::size_t>(ch)].Entries()) {
            if (e.value > share && !above)
                over.Add(e.time);
            above = e.value > share;
            most = std::max(most, e.value);
        }
        if (over.first) {
            Args a{.channel = ch, .time = over.first};
            a.value = most;
            a.limit = share;
            a.count = over.count;
            Raise(out, "polyphony-over-share", a);
        }
    }
    Sort(out);
    return out;
}

namespace {

// Why a save to be checked wrote nothing.
std::runtime_error CouldNotWrite(const SongFile& song) {
    return std::runtime_error(song.lastError.empty() ? "the song could not be written"
                                                     : song.lastError);
}

} // namespace

std::vector<SpMidiFinding> SpMidiCheck::CheckSaved(SongFile& song,
                                                   const SongFile::SaveOptions& options) const {
    std::size_t events = 0;
    for (const Track& track : song.tracks)
        events += track.events.size();
    if (events >= kPipedEvents) {
        if (std::optional<std::vector<SpMidiFinding>> found = CheckWhileSaving(song, options))
            return *found;
    }
    // Room for the written song at once: a growing buffer would copy itself as it goes.
    // Most events take about four bytes in a file; what is not used is never touched.
    MemorySink sink(4 * events + 4096);
    if (!song.SaveProcessed(sink, options))
        throw CouldNotWrite(song);
    return Combine(CheckBytes(sink.Bytes()), CheckSong(song));
}

std::size_t SpMidiCheck::SavedSizeBound(const SongData& song) {
    // A short event takes at most 14 bytes (a delta of up to ten, status, two data bytes), a
    // long one at most 17 besides its bytes (delta, prefix, type, a length of up to five);
    // each track chunk adds its header and End of Track. On top: the file header, a lone
    // End of Track chunk, the MIP message and the vibra setup a save may add.
    std::size_t bound = 14 + 12 + 64 + 4 * 14 + 4096;
    for (const Track& track : song.tracks)
        bound += 12 + 14 * track.events.size() + 17 * track.events.LongEventCount() +
                 track.events.LongEventBytes();
    return bound;
}

std::optional<std::vector<SpMidiFinding>>
SpMidiCheck::CheckWhileSaving(SongFile& song, const SongFile::SaveOptions& options) const {
    // The checker reads each track chunk on a thread of its own as soon as the writer has
    // finished it, from room that never moves. Its reading is that of CheckBytes: the same
    // steps over the same bytes, only handed over a track at a time.
    // Once the writer is done, this thread helps, reading tracks from the last back.
    std::unique_ptr<PipeSink> room;
    try {
        room = std::make_unique<PipeSink>(SavedSizeBound(song));
    } catch (const std::bad_alloc&) {
        return std::nullopt; // the room for the most a save can write is not to be had
    }
    PipeSink& sink = *room;
    TrackShare share;
    std::vector<SpMidiFinding> found;
    std::exception_ptr failure;
    std::thread checker;
    try {
        checker = std::thread([&] {
            try {
                found = CheckOpened([&sink] { return std::make_unique<PipeSource>(sink); },
                                    vibraMode, &share);
            } catch (...) {
                failure = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        return std::nullopt; // no thread to be had: checked after the save instead
    }
    bool saved = false;
    try {
        saved = song.SaveProcessed(sink, options);
    } catch (...) {
        sink.Finish();
        checker.join();
        throw;
    }
    sink.Finish();
    if (saved)
        share.Help();
    checker.join();
    if (!saved)
        throw CouldNotWrite(song);
    if (sink.Broken()) {
        // The writer went past its room or back into bytes handed over: what the checker
        // read is not the file; the whole file is checked again.
        found = CheckBytes(sink.AllBytes());
    } else if (failure) {
        std::rethrow_exception(failure);
    }
    return Combine(std::move(found), CheckSong(song));
}

std::vector<SpMidiFinding> SpMidiCheck::Combine(std::vector<SpMidiFinding> a,
                                                std::vector<SpMidiFinding> b) {
    a.insert(a.end(), std::make_move_iterator(b.begin()), std::make_move_iterator(b.end()));
    Sort(a);
    return a;
}

bool SpMidiCheck::HasError(const std::vector<SpMidiFinding>& findings) {
    return std::any_of(findings.begin(), findings.end(),
                       [](const SpMidiFinding& f) { return f.severity == SpMidiSeverity::Error; });
}

SpMidiTally SpMidiCheck::Tally(const std::vector<SpMidiFinding>& findings) {
    SpMidiTally tally;
    for (const SpMidiFinding& f : findings) {
        if (f.severity == SpMidiSeverity::Error)
            ++tally.errors;
        else if (f.severity == SpMidiSeverity::Warning)
            ++tally.warnings;
        else
            ++tally.notes;
    }
    return tally;
}
