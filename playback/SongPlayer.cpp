#include "playback/SongPlayer.h"

#include "playback/SoundEngine.h"

SongPlayer::~SongPlayer() {
    StopPlayback();
}

int SongPlayer::PlayBuffer(std::vector<std::uint8_t> bytes) {
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
    segmentState_ = PlaySegment(segment_);
    if (!segmentState_)
        return 1;
    hasSegment_ = true;
    return 0;
}

void SongPlayer::StopPlayback() {
    // A playback that ended by itself, or was ended by the engine's shut-down or by another
    // playback, leaves nothing to stop; at exit the document outlives the engine.
    if (hasSegment_ && segmentState_->IsPlaying() && IsSoundReady())
        StopAndWait();
}

bool SongPlayer::IsPlaying() const {
    return hasSegment_ && segmentState_->IsPlaying() && IsEnginePlaying();
}

bool SongPlayer::GetProgress(std::uint64_t& length, std::uint64_t& position) {
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
