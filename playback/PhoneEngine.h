#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// Sonivox EAS's handles (sonivox/eas.h stays inside PhoneEngine.cpp).
struct s_eas_data_tag;
struct s_eas_stream_tag;

// Why a phone render could not be made or went on no further.
enum class PhoneError {
    None,
    BadVoices,    // the voice count is outside PhoneEngine::kMinVoices..kMaxVoices
    NotASong,     // EAS refused the bytes: not a Standard MIDI File it can play to its end
    TooLong,      // longer than EAS can time (PhoneEngine::kMaxSongMs)
    EngineFailed, // EAS could not be started, or failed while rendering
};

// A sentence for messages: "the song is not a Standard MIDI File that a phone can play".
const char* PhoneErrorText(PhoneError error);

// A Standard MIDI File as a phone with a given number of voices plays it, through Sonivox EAS,
// the synthesizer of Android phones. EAS honours the song's SP-MIDI MIP message itself: at N
// voices it plays the channels whose cumulative MIP fits in N and mutes the others, and its
// voice stealing keeps the channels it plays within N voices. Nothing here mutes channels.
//
// The sound is 16-bit interleaved stereo at EAS's own rate, 22,050 Hz, rendered offline as fast
// as the machine allows; the same bytes and voices give the same samples on every run.
//
// Threads: each engine owns an EAS instance of its own, and EAS (built, as Debian builds it,
// with the dynamic memory model) keeps all of its state in the instance: no process-wide
// state, so engines on different threads render at once without a lock. One engine is used
// by one thread at a time.
class PhoneEngine {
public:
    static constexpr std::uint32_t kSampleRate = 22050;
    static constexpr std::uint32_t kChannels = 2;
    static constexpr int kMinVoices = 1;
    static constexpr int kMaxVoices = 64; // EAS's voice pool
    // EAS reckons a song's length in 1/256 ms in a signed 32-bit number, so it cannot tell the
    // length of a song from 2^23 - 1 ms (2 h 19 min 48 s) on: such a song is refused.
    static constexpr std::uint32_t kMaxSongMs = (1u << 23) - 1;

    static bool IsValidVoices(int voices) { return voices >= kMinVoices && voices <= kMaxVoices; }

    // Opens `song` (a Standard MIDI File; the bytes are copied) for a phone with `voices`
    // voices. The song is parsed through to its end first, so a file EAS cannot play is refused
    // here rather than halfway. nullptr with `error` set on failure.
    static std::unique_ptr<PhoneEngine> Open(std::span<const std::uint8_t> song, int voices,
                                             PhoneError& error);

    // The whole song as the phone plays it, the release of its last notes included, appended
    // to `samples` (interleaved stereo). On failure `samples` is left as it was.
    static PhoneError RenderSong(std::span<const std::uint8_t> song, int voices,
                                 std::vector<std::int16_t>& samples);

    ~PhoneEngine();
    PhoneEngine(const PhoneEngine&) = delete;
    PhoneEngine& operator=(const PhoneEngine&) = delete;

    // Renders the next frames into `out` (kChannels samples a frame; a trailing partial frame
    // is left alone) and returns how many frames it wrote: all that fit, fewer only when the
    // song ended or failed during this call, 0 once it has ended.
    std::size_t Render(std::span<std::int16_t> out);
    // Whether the song has ended: played out with its last notes released, failed (see
    // GetError) or stopped.
    bool AtEnd() const { return !stream_ && pendingFrames_ == 0; }
    // Ends the song now, with what was rendered so far; Render gives nothing afterwards.
    void Stop();
    // PhoneError::None unless EAS failed while rendering; the song then ends.
    PhoneError GetError() const { return error_; }

    int GetVoices() const { return voices_; }
    // The song's length as EAS parsed it, without the release of its last notes.
    std::uint32_t GetLengthMs() const { return lengthMs_; }
    std::uint64_t GetFramesRendered() const { return framesRendered_; }

private:
    struct EasDeleter {
        void operator()(s_eas_data_tag* eas) const;
    };
    struct StreamCloser {
        s_eas_data_tag* eas; // the instance the stream belongs to
        void operator()(s_eas_stream_tag* stream) const;
    };

    PhoneEngine() = default;
    PhoneError Start(std::span<const std::uint8_t> song, int voices);
    // Renders one EAS buffer into block_; false when the song has ended.
    bool RenderBlock();

    // Declared in the order they are needed: the stream closes before the instance shuts
    // down, and the bytes EAS reads from outlive both.
    std::vector<std::uint8_t> song_;
    std::unique_ptr<s_eas_data_tag, EasDeleter> eas_;
    std::unique_ptr<s_eas_stream_tag, StreamCloser> stream_;

    std::vector<std::int16_t> block_; // the last EAS buffer
    std::size_t blockFrames_ = 0;     // EAS's buffer size in frames
    std::size_t pendingFrames_ = 0;   // frames of block_ not yet handed out, at its end
    int voices_ = 0;
    std::uint32_t lengthMs_ = 0;
    std::uint64_t framesRendered_ = 0;
    PhoneError error_ = PhoneError::None;
};
