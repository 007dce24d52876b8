#include "playback/PhonePlayer.h"

#include <utility>

PhonePlayer::PhonePlayer(std::unique_ptr<AudioSink> sink) : sink_(std::move(sink)) {}

PhonePlayer::~PhonePlayer() {
    Stop();
}

PhonePlayer::Result PhonePlayer::Play(std::span<const std::uint8_t> song, int voices) {
    Stop();
    error_ = PhoneError::None;
    soundError_.clear();
    lengthMs_ = 0;
    frames_.store(0);
    engine_ = PhoneEngine::Open(song, voices, error_);
    if (!engine_)
        return Result::NotPlayable;
    lengthMs_ = engine_->GetLengthMs();
    // Raised before the sink's thread starts, so that a caller asking at once sees it play.
    playing_.store(true, std::memory_order_release);
    if (!sink_ || !sink_->Start(
                      PhoneEngine::kSampleRate, PhoneEngine::kChannels,
                      [this](std::span<std::int16_t> out) { return Pull(out); }, soundError_)) {
        playing_.store(false);
        engine_.reset();
        return Result::NoSound;
    }
    return Result::Playing;
}

void PhonePlayer::Stop() {
    if (sink_)
        sink_->Stop();
    playing_.store(false, std::memory_order_release);
    engine_.reset();
}

std::uint64_t PhonePlayer::GetPositionMs() const {
    return frames_.load(std::memory_order_relaxed) * 1000 / PhoneEngine::kSampleRate;
}

std::size_t PhonePlayer::Pull(std::span<std::int16_t> out) {
    if (!engine_ || engine_->AtEnd())
        return 0;
    const std::size_t n = engine_->Render(out);
    frames_.fetch_add(n, std::memory_order_relaxed);
    if (engine_->AtEnd())
        playing_.store(false, std::memory_order_release);
    return n;
}
