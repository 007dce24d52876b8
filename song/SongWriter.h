#pragma once

#include "song/ByteSink.h"
#include "song/SongData.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// Writes the shared SongData back as a Standard MIDI File, brings its MIP message up to date
// and edits it by whole channels.
//
// On the way out the writer turns Note Offs into Note Ons with velocity 0 and maps program
// changes through the current instrument map (both changes stay in the song), leaves out
// disabled channels, and puts the vibra setup in front of the vibra channel's first message.
class SongWriter : public virtual SongData {
public:
    using ChannelFlags = std::array<bool, kChannels>;

    virtual ~SongWriter() = default;

    // Writes the song; a channel message is written only when its flag is set and its channel
    // is enabled. 1 on success, 0 when the stream failed.
    virtual int WriteSong(ByteSink& out, const ChannelFlags& channelFlags);
    // All channels when `channel` is negative, else that channel alone.
    virtual int WriteSongChannel(ByteSink& out, int channel);
    // The flags WriteSongChannel writes with: all when `channel` is negative, else that one.
    static ChannelFlags ChannelFlagsFor(int channel);

    // System events (SysEx, escapes, the MIP message included) are written.
    void SetKeepSysEx(bool keep) { keepSysEx_ = keep; }
    bool GetKeepSysEx() const { return keepSysEx_; }
    // Meta events other than Set Tempo are written.
    void SetKeepMeta(bool keep) { keepMeta_ = keep; }
    bool GetKeepMeta() const { return keepMeta_; }

    // The song rendered into memory for the playback engine: written as WriteSong writes it,
    // except that channel index 10 of a song with channel11Percussion plays on index 9.
    std::vector<std::uint8_t> RenderForPlayback(const ChannelFlags& channelFlags);
    // All enabled channels when `channel` is negative, else that channel alone.
    std::vector<std::uint8_t> RenderForPlayback(int channel);

    // Channel Volume 1, Bank Select 121, Bank Select LSB 6 and Program Change 124 (vibra
    // mode not 0) or 125 on `channel`, all at `time`.
    std::vector<SongEvent> BuildVibraSetupEvents(std::uint32_t time, int channel) const;
    static void WriteVarLen(ByteSink& out, std::uint64_t value);

    // --- MIP message ---
    // F0 7F 7F 0B 01, then (channel, cumulative MIP) for every used, enabled channel with a
    // priority 1-16 in priority order, then F7.
    std::vector<std::uint8_t> BuildMipMessage() const;
    // The channels a phone with `voices` voices plays by that message: those it lists, in its
    // order, while their cumulative value stays within the voices.
    ChannelFlags ChannelsForVoices(int voices) const;
    // An event holding a MIP message (any device id, six bytes or more).
    static bool IsMipMessage(const EventRef& event);
    // The first event holding a MIP message, if any.
    std::optional<EventRef> FindMipMessage() const;
    // A GM1 or GM2 System On message.
    static bool IsGmSystemOn(const EventRef& event);
    // Makes the song hold exactly one up-to-date MIP message: every MIP message is taken out
    // and a new one goes to time 0 of the first track: at its front, or right after the last
    // GM System On at time 0 there. When no channel would be listed the song holds none.
    // Throws std::invalid_argument for a song without tracks that needs a message.
    void UpdateMipMessage();
    SongEvent CreateMipEvent() const;

    // --- Channel operations ---
    // Copies every channel message of `source` onto `destination`, each copy right before
    // its original; the destination takes the last priority. 1 when an event was copied.
    int DuplicateChannel(int source, int destination);
    // Removes every channel message of `channel`; the channel is no longer used and stops
    // being the vibra channel. 1 when an event was removed.
    int RemoveChannel(int channel);
    // Duplicates the first monophonic bass channel onto the first free channel, makes the
    // copy the vibra channel at priority 2 and returns it; -1 when there is no such pair.
    // With `updateMipFirst` the MIP message is brought up to date once both channels are
    // found, before the copy is made.
    int AddVibraFromBass(bool updateMipFirst = false);

private:
    // Bytes on their way to the sink, gathered in large pieces (SongWriter.cpp).
    class OutBuffer;

    // The one writing of the song, for a file or for the playback engine.
    int Write(ByteSink& out, const ChannelFlags& channelFlags, bool forPlayback);
    void WriteEvent(OutBuffer& out, const EventRef& event, std::uint8_t statusOut);
    // WriteEvent for a message of one to three bytes kept in the event's record (nearly
    // every event), without the cases it cannot be.
    void WriteShortMessage(OutBuffer& out, std::uint32_t time, const std::uint8_t* data,
                           std::uint32_t length, std::uint8_t statusOut);
    // The tick of an event time, for the track being written.
    std::uint64_t TickOf(std::uint32_t timeMs);
    // Writes the channel messages of `track` from `pos` on as the loop of Write does, as long
    // as they are plain messages kept in their records on channels other than the vibra
    // channel and not Program Changes; returns the position of the first one not written.
    std::size_t WriteChannelRun(OutBuffer& out, Track& track, std::size_t pos,
                                const ChannelFlags& channelFlags, bool forPlayback);
    std::uint8_t OutgoingStatus(std::uint8_t code, bool forPlayback) const;

    std::vector<std::uint32_t> readPositions_;
    bool keepSysEx_ = true;
    bool keepMeta_ = false;
    std::uint64_t lengthPosition_ = 0;
    std::uint8_t runningStatusOut_ = 0;
    // The tick of the last event time written (valid within one track).
    std::uint32_t tickOfTimeMs_ = 0;
    std::uint64_t tickOfTime_ = 0;
    bool tickOfTimeValid_ = false;
};
