#pragma once

#include "playback/AudioSink.h"
#include "playback/PhoneEngine.h"
#include "playback/PhonePlayer.h"
#include "song/SongFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Segment;
class SegmentState;

// A song that can also play itself through the sound engine, or as a phone plays it through
// the phone synthesizer: the document's song object. One playback at a time, in either way.
class SongPlayer : public SongFile {
public:
    SongPlayer();
    // Stops this player's playback (nothing when the engine has shut down already).
    ~SongPlayer() override;

    // Plays a rendered Standard MIDI File from its start, after stopping whatever plays.
    // 0 on success; 1 when the engine is not ready or the bytes are not a song.
    // `audibleChannels` (bit n: channel index n) sound from the start; SetAudibleChannels
    // changes them while the song plays.
    int PlayBuffer(std::vector<std::uint8_t> bytes, std::uint16_t audibleChannels = 0xFFFF);
    // Mutes and unmutes channels of the song that plays, without restarting it: the muted
    // ones are silenced within a fraction of a second. Nothing when nothing plays.
    void SetAudibleChannels(std::uint16_t audibleChannels);
    // Plays a Standard MIDI File from its start as a phone with `voices` voices plays it,
    // after stopping whatever plays: Playing, NotPlayable (the phone synthesizer refuses the
    // bytes or the voices) or NoSound (the sound output cannot play).
    PhonePlayer::Result PlayPhoneBuffer(const std::vector<std::uint8_t>& bytes, int voices);
    // Where the phone's sound goes (the system's sound output until this is called); stops
    // the phone's playback.
    void SetAudioSink(std::unique_ptr<AudioSink> sink);
    // Why the sound output could not play the phone's last song; empty when it could.
    std::string GetPhoneSoundError() const;
    // Why the phone synthesizer refused the last song; PhoneError::None when it did not.
    PhoneError GetPhoneError() const;
    // Stops the playback this player started, if it still sounds.
    void StopPlayback();
    bool IsPlaying() const;
    // Length and position of the last playback in ms; false when there is none. The position
    // is 0 when it no longer plays.
    bool GetProgress(std::uint64_t& length, std::uint64_t& position);
    // position x range / length for a progress bar, at most range; 0 for a length of 0.
    static std::uint32_t ScaleProgress(std::uint64_t length, std::uint64_t position,
                                       std::uint32_t range);

private:
    PhonePlayer& Phone();

    bool hasSegment_ = false;
    bool phoneLast_ = false; // the last playback was the phone's
    std::unique_ptr<PhonePlayer> phone_;
    std::shared_ptr<const Segment> segment_;
    std::shared_ptr<SegmentState> segmentState_;
};
