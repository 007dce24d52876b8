#include "playback/PhoneEngine.h"

#include <sonivox/eas.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

static_assert(sizeof(EAS_PCM) == sizeof(std::int16_t));

namespace {

using Bytes = std::vector<std::uint8_t>;

// EAS reads the song through these, with the locator's handle pointing at the bytes. EAS
// marks a free file slot by a null handle, so the handle is never null.
int ReadAt(void* handle, void* buffer, int offset, int size) {
    const Bytes& bytes = *static_cast<const Bytes*>(handle);
    if (offset < 0 || size <= 0 || static_cast<std::size_t>(offset) >= bytes.size())
        return 0;
    const std::size_t n = std::min(static_cast<std::size_t>(size), bytes.size() - offset);
    std::memcpy(buffer, bytes.data() + offset, n);
    return static_cast<int>(n);
}

int SizeOf(void* handle) {
    return static_cast<int>(static_cast<const Bytes*>(handle)->size());
}

// What a refusal by EAS's parser means for the caller.
PhoneError Refusal(EAS_RESULT result) {
    return result == EAS_ERROR_MALLOC_FAILED ? PhoneError::EngineFailed : PhoneError::NotASong;
}

// The frames of `ms` milliseconds, rounded up.
std::uint64_t FramesOf(std::uint64_t ms) {
    return (ms * PhoneEngine::kSampleRate + 999) / 1000;
}

} // namespace

const char* PhoneErrorText(PhoneError error) {
    switch (error) {
    case PhoneError::None:
        return "no error";
    case PhoneError::BadVoices:
        return "a phone has 1 to 64 voices";
    case PhoneError::NotASong:
        return "the song is not a Standard MIDI File that a phone can play";
    case PhoneError::TooLong:
        return "the song is longer than a phone can play (over 2 h 19 min)";
    case PhoneError::EngineFailed:
        return "the phone synthesizer (Sonivox EAS) failed";
    }
    return "unknown error";
}

void PhoneEngine::EasDeleter::operator()(s_eas_data_tag* eas) const {
    EAS_Shutdown(eas); // frees the instance whatever it reports
}

void PhoneEngine::StreamCloser::operator()(s_eas_stream_tag* stream) const {
    EAS_CloseFile(eas, stream); // safe while playing: the stream's voices are cut
}

std::unique_ptr<PhoneEngine> PhoneEngine::Open(std::span<const std::uint8_t> song, int voices,
                                               PhoneError& error) {
    std::unique_ptr<PhoneEngine> engine(new PhoneEngine);
    error = engine->Start(song, voices);
    if (error != PhoneError::None)
        return nullptr;
    return engine;
}

PhoneError PhoneEngine::Start(std::span<const std::uint8_t> song, int voices) {
    if (!IsValidVoices(voices))
        return PhoneError::BadVoices;
    if (song.size() > static_cast<std::size_t>(INT_MAX)) // EAS reads with int offsets
        return PhoneError::TooLong;
    // The library must be the 22,050 Hz stereo build the samples are described as.
    const S_EAS_LIB_CONFIG* config = EAS_Config();
    if (!config || config->sampleRate != static_cast<EAS_I32>(kSampleRate) ||
        config->numChannels != static_cast<EAS_I32>(kChannels) || config->mixBufferSize <= 0 ||
        config->maxVoices < kMaxVoices)
        return PhoneError::EngineFailed;

    song_.assign(song.begin(), song.end());
    EAS_DATA_HANDLE eas = nullptr;
    if (EAS_Init(&eas) != EAS_SUCCESS || !eas)
        return PhoneError::EngineFailed;
    eas_.reset(eas);

    EAS_FILE locator{&song_, ReadAt, SizeOf}; // EAS copies it; song_ must stay
    EAS_HANDLE stream = nullptr;
    // An empty or short buffer gives EAS_EOF, a positive code: anything but success refuses.
    if (const EAS_RESULT r = EAS_OpenFile(eas, &locator, &stream); r != EAS_SUCCESS || !stream)
        return r == EAS_SUCCESS ? PhoneError::NotASong : Refusal(r);
    stream_ = std::unique_ptr<s_eas_stream_tag, StreamCloser>(stream, StreamCloser{eas});

    if (const EAS_RESULT r = EAS_Prepare(eas, stream); r != EAS_SUCCESS)
        return Refusal(r);
    // A parse of the whole song in EAS's metadata mode, which leaves the synthesizer alone
    // (MIP messages included) and rewinds the song.
    EAS_I32 length = 0;
    if (const EAS_RESULT r = EAS_ParseMetaData(eas, stream, &length); r != EAS_SUCCESS)
        return Refusal(r);
    if (length < 0 || length >= static_cast<EAS_I32>(kMaxSongMs)) // where EAS's count stops
        return PhoneError::TooLong;
    lengthMs_ = static_cast<std::uint32_t>(length);

    // The stream's polyphony, after EAS_Prepare made its synthesizer. EAS would take values
    // beyond its pool as "no limit" and pin others: the range was checked above. The MIP
    // message is applied when EAS reads it, against this count. The synthesizer-wide count
    // (EAS_SetSynthPolyphony) stays at the whole pool: EAS's muting reads the stream's count,
    // so lowering the wide one instead would keep channels that then steal each other's voices.
    if (EAS_SetPolyphony(eas, stream, voices) != EAS_SUCCESS)
        return PhoneError::EngineFailed;
    EAS_I32 set = 0;
    if (EAS_GetPolyphony(eas, stream, &set) != EAS_SUCCESS || set != voices)
        return PhoneError::EngineFailed;
    voices_ = voices;

    blockFrames_ = static_cast<std::size_t>(config->mixBufferSize);
    block_.assign(blockFrames_ * kChannels, 0);
    return PhoneError::None;
}

PhoneEngine::~PhoneEngine() = default;

bool PhoneEngine::RenderBlock() {
    if (!stream_)
        return false;
    EAS_I32 generated = 0;
    const EAS_RESULT r =
        EAS_Render(eas_.get(), block_.data(), static_cast<EAS_I32>(blockFrames_), &generated);
    EAS_STATE state = EAS_STATE_ERROR;
    if (r != EAS_SUCCESS || generated != static_cast<EAS_I32>(blockFrames_) ||
        EAS_State(eas_.get(), stream_.get(), &state) != EAS_SUCCESS || state == EAS_STATE_ERROR) {
        error_ = PhoneError::EngineFailed;
        stream_.reset();
        return false;
    }
    pendingFrames_ = blockFrames_;
    // The song has ended once its last notes have been released: this buffer is its last.
    if (state == EAS_STATE_STOPPED)
        stream_.reset();
    return true;
}

std::size_t PhoneEngine::Render(std::span<std::int16_t> out) {
    const std::size_t wanted = out.size() / kChannels;
    std::size_t done = 0;
    while (done < wanted) {
        if (pendingFrames_ == 0 && !RenderBlock())
            break;
        const std::size_t n = std::min(wanted - done, pendingFrames_);
        const std::size_t from = (blockFrames_ - pendingFrames_) * kChannels;
        std::copy_n(block_.begin() + static_cast<std::ptrdiff_t>(from), n * kChannels,
                    out.begin() + static_cast<std::ptrdiff_t>(done * kChannels));
        pendingFrames_ -= n;
        done += n;
    }
    framesRendered_ += done;
    return done;
}

void PhoneEngine::Stop() {
    stream_.reset();
    pendingFrames_ = 0;
}

PhoneError PhoneEngine::RenderSong(std::span<const std::uint8_t> song, int voices,
                                   std::vector<std::int16_t>& samples) {
    PhoneError error = PhoneError::None;
    const std::unique_ptr<PhoneEngine> engine = Open(song, voices, error);
    if (!engine)
        return error;
    // EAS's time arithmetic overflows on some absurd delta times, and such a song would play
    // on for days: the length EAS can time, plus a minute of release, bounds the render.
    const std::uint64_t limit = FramesOf(std::uint64_t{kMaxSongMs} + 60000);
    std::vector<std::int16_t> sound;
    sound.reserve(FramesOf(std::uint64_t{engine->GetLengthMs()} + 2000) * kChannels);
    constexpr std::size_t kChunkFrames = 4096;
    while (!engine->AtEnd()) {
        if (engine->GetFramesRendered() > limit)
            return PhoneError::TooLong;
        const std::size_t at = sound.size();
        sound.resize(at + kChunkFrames * kChannels);
        const std::size_t n = engine->Render(std::span(sound).subspan(at));
        sound.resize(at + n * kChannels);
    }
    if (engine->GetError() != PhoneError::None)
        return engine->GetError();
    if (samples.empty())
        samples = std::move(sound);
    else
        samples.insert(samples.end(), sound.begin(), sound.end());
    return PhoneError::None;
}
