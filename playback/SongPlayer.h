#pragma once

#include "song/SongFile.h"

#include <cstdint>
#include <memory>
#include <vector>

class Segment;
class SegmentState;

// A song that can also play itself through the sound engine: the document's song object.
class SongPlayer : public SongFile {
public:
    SongPlayer() = default;
    // Stops this player's playback (nothing when the engine has shut down already).
    ~SongPlayer() override;

    // Plays a rendered Standard MIDI File from its start, after stopping whatever plays.
    // 0 on success; 1 when the engine is not ready or the bytes are not a song.
    int PlayBuffer(std::vector<std::uint8_t> bytes);
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
    bool hasSegment_ = false;
    std::shared_ptr<const Segment> segment_;
    std::shared_ptr<SegmentState> segmentState_;
};
