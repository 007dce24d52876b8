#include "playback/SongPlayer.h"

#include "playback/PhonePlayer.h"
#include "playback/SoundEngine.h"

#include <utility>

SongPlayer::SongPlayer() = default;

SongPlayer::~SongPlayer() {
    StopPlayback();
}

PhonePlayer& SongPlayer::Phone() {
    if (!phone_)
        phone_ = std::make_unique<PhonePlayer>(CreateSystemAudioSink());
    return *phone_;
}

void SongPlayer::SetAudioSink(std::unique_ptr<AudioSink> sink) {
    phone_ = std::make_unique<PhonePlayer>(std::move(sink));
}

std::string SongPlayer::GetPhoneSoundError() const {
    return phone_ ? phone_->GetSoundError() : std::string();
}

PhoneError SongPlayer::GetPhoneError() const {
    return phone_ ? phone_->GetError() : PhoneError::None;
}

PhonePlayer::Result SongPlayer::PlayPhoneBuffer(const std::vector<std::uint8_t>& bytes,
                                                int voices) {
    StopPlayback();
    hasSegment_ = false;
    segmentState_.reset();
    segment_.reset();
    phoneLast_ = true;
    return Phone().Play(bytes, voices);
}

int SongPlayer::PlayBuffer(std::vector<std::uint8_t> bytes, std::uint16_t audibleChannels) {
    if (phone_)
        phone_->Stop();
    phoneLast_ = false;
    if (!IsSoundReady())
        return 1;
    // Whatever plays stops first, even when these bytes turn out not to play: otherwise a
    // playback this object no longer holds would go on with nothing able to stop it.
    StopAndWait();
    hasSegment_ = false;
    segmentState_.reset();
    segment_ = LoadSegmentFromMemory(bytes.data(), bytes.size());
    if (!segment_)
        return 1;
    segmentState_ = PlaySegment(segment_, audibleChannels);
    if (!segmentState_)
        return 1;
    hasSegment_ = true;
    return 0;
}

void SongPlayer::SetAudibleChannels(std::uint16_t audibleChannels) {
    if (hasSegment_ && segmentState_)
        segmentState_->SetAudibleChannels(audibleChannels);
}

void SongPlayer::StopPlayback() {
    if (phone_)
        phone_->Stop();
    // A playback that ended by itself, or was ended by the engine's shut-down or by another
    // playback, leaves nothing to stop; at exit the document outlives the engine.
    if (hasSegment_ && segmentState_->IsPlaying() && IsSoundReady())
        StopAndWait();
}

bool SongPlayer::IsPlaying() const {
    if (phoneLast_)
        return phone_ && phone_->IsPlaying();
    return hasSegment_ && segmentState_->IsPlaying() && IsEnginePlaying();
}

bool SongPlayer::GetProgress(std::uint64_t& length, std::uint64_t& position) {
    if (phoneLast_) {
        if (!phone_)
            return false;
        length = phone_->GetLengthMs();
        position = phone_->IsPlaying() ? phone_->GetPositionMs() : 0;
        return true;
    }
    if (!hasSegment_)
        return false;
    length = segment_->GetLengthMs();
    position = segmentState_->IsPlaying() ? segmentState_->GetSeek() : 0;
    return true;
}

std::uint32_t SongPlayer::ScaleProgress(std::uint64_t length, std::uint64_t position,
                                        std::uint32_t range) {
    if (length == 0)
        return 0;
    if (position >= length)
        return range;
    // 128 bits: position x range passes 64 bits for long songs with a wide range.
    __extension__ using Wide = unsigned __int128;
    return static_cast<std::uint32_t>(Wide{position} * range / length);
}
