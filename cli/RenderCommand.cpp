// quellor-cli render IN OUT.wav: the song as the program plays it, or as a phone with N voices
// plays it, rendered offline through the synthesizer into a WAV file.
#include "cli/CliCommon.h"
#include "cli/Commands.h"
#include "cli/EditOptions.h"
#include "cli/SongLoading.h"
#include "playback/FindSoundFont.h"
#include "playback/OfflineRenderer.h"
#include "playback/PhoneEngine.h"
#include "playback/PhoneSongBytes.h"
#include "playback/Segment.h"
#include "playback/WavFile.h"
#include "song/AtomicFile.h"
#include "song/ByteSink.h"
#include "song/SongFile.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>

namespace cli {

namespace {

std::string ChannelList(const SongWriter::ChannelFlags& flags) {
    std::ostringstream text;
    bool any = false;
    for (int ch = 0; ch < SongData::kChannels; ++ch) {
        if (!flags[ch])
            continue;
        text << (any ? " " : "") << ch + 1;
        any = true;
    }
    return any ? text.str() : "none";
}

std::string Seconds(std::uint64_t frames, std::uint32_t rate) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(frames) / rate);
    return seconds;
}

// render --phone N: the bytes process would write with the same options, played by the
// phone's own synthesizer at N voices. The synthesizer reads the MIP message itself: the
// channels printed are those the message keeps, nothing is muted here.
int RenderPhone(SongFile& song, const std::vector<std::string>& files, int voices,
                std::optional<int> channel, const SongFile::SaveOptions& options) {
    std::vector<std::uint8_t> bytes;
    SongWriter::ChannelFlags flags{};
    if (!PhoneSongBytes(song, options, channel.value_or(-1), bytes, voices, &flags)) {
        std::cerr << "quellor-cli: '" << files[0]
                  << "' cannot be written for a phone: " << song.lastError << "\n";
        return kExitFailure;
    }
    std::cout << "Channels playing on a phone with " << voices << " voices: " << ChannelList(flags)
              << "\n";

    std::vector<std::int16_t> samples;
    if (const PhoneError error = PhoneEngine::RenderSong(bytes, voices, samples);
        error != PhoneError::None) {
        std::cerr << "quellor-cli: '" << files[0] << "': " << PhoneErrorText(error) << "\n";
        return kExitFailure;
    }
    const WavFile wav(PhoneEngine::kSampleRate, PhoneEngine::kChannels);
    std::string error;
    if (!wav.Write(files[1], samples, error)) {
        std::cerr << "quellor-cli: cannot write '" << files[1] << "': " << error << "\n";
        return kExitFailure;
    }
    std::cout << "Wrote "
              << Seconds(samples.size() / PhoneEngine::kChannels, PhoneEngine::kSampleRate)
              << " s to " << files[1] << "\n";
    return kExitOk;
}

} // namespace

int RunRender(const std::vector<std::string>& args) {
    SongSwitches switches;
    std::optional<int> voices;
    std::optional<int> channel;
    std::optional<int> phone;
    std::optional<std::string> soundFont;
    std::vector<EditOption> edits;
    BatchProcessor::Options write;
    write.addVibra = false;
    bool writeOption = false;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (EndOfOptions(args, i, files))
            break;
        if (ParseSwitchOption(args, i, switches, true)) {
        } else if (ParseEditOption(args, i, edits)) {
        } else if (ParseWriteOption(args, i, write)) {
            writeOption = true;
        } else if (a == "--phone") {
            phone = ParseInt(OptionValue(args, i), PhoneEngine::kMinVoices, PhoneEngine::kMaxVoices,
                             "--phone");
        } else if (a == "--voices") {
            voices = ParseInt(OptionValue(args, i), 0, 1000000, "--voices");
        } else if (a == "--channel") {
            channel = ParseChannel(OptionValue(args, i));
        } else if (a == "--soundfont") {
            soundFont = OptionValue(args, i);
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError{"unknown option " + a};
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2)
        throw UsageError{"render takes an input file and an output WAV file"};
    if (phone && voices)
        throw UsageError{"--phone and --voices cannot be used together: --phone lets the phone "
                         "choose the channels, --voices chooses them for it"};
    if (phone && soundFont)
        throw UsageError{"--soundfont has no effect with --phone: a phone plays its own sounds"};
    if (writeOption && !phone)
        throw UsageError{"--action and --text choose what a phone receives: they need --phone"};

    if (phone) {
        SongFile song;
        if (!LoadForCli(song, files[0], switches))
            return kExitFailure;
        ApplyEdits(song, edits);
        return RenderPhone(song, files, *phone, channel, BatchProcessor::SaveOptionsFor(write));
    }

    if (!soundFont)
        soundFont = FindSoundFont();
    std::error_code ec;
    if (!soundFont || !std::filesystem::is_regular_file(*soundFont, ec)) {
        std::cerr << "quellor-cli: no SoundFont found"
                  << (soundFont ? " at '" + *soundFont + "'" : std::string()) << ": "
                  << "install a General MIDI SoundFont (timgm6mb-soundfont), or name one with "
                     "--soundfont or QUELLOR_SOUNDFONT\n";
        return kExitFailure;
    }

    SongFile song;
    if (!LoadForCli(song, files[0], switches))
        return kExitFailure;
    ApplyEdits(song, edits);

    // With the WAV data on standard output, the words go to standard error.
    std::ostream& report = IsStandardOutput(files[1]) ? std::cerr : std::cout;
    SongWriter::ChannelFlags flags = SongWriter::ChannelFlagsFor(channel.value_or(-1));
    if (voices) {
        const SongWriter::ChannelFlags kept = song.ChannelsForVoices(*voices);
        for (int ch = 0; ch < SongData::kChannels; ++ch)
            flags[ch] = flags[ch] && kept[ch];
        report << "Channels playing with " << *voices << " voices: " << ChannelList(flags) << "\n";
    } else if (channel) {
        report << "Channels playing: " << ChannelList(flags) << "\n";
    } else {
        SongWriter::ChannelFlags sounding{};
        for (int ch = 0; ch < SongData::kChannels; ++ch)
            sounding[ch] = song.IsChannelUsed(ch) && song.enabled[ch];
        report << "Channels playing: " << ChannelList(sounding) << "\n";
    }
    const std::vector<std::uint8_t> bytes = song.RenderForPlayback(flags);

    const std::shared_ptr<const Segment> segment = Segment::FromSmf(bytes.data(), bytes.size());
    if (!segment) {
        std::cerr << "quellor-cli: the song could not be rendered\n";
        return kExitFailure;
    }
    const std::uint64_t frames = OfflineRenderer::FrameCount(*segment);
    if (!OfflineRenderer::FitsWav(frames)) {
        std::cerr << "quellor-cli: '" << files[0]
                  << "' is too long for a WAV file: it would exceed 4 GiB\n";
        return kExitFailure;
    }

    OfflineRenderer renderer(*soundFont);
    std::string renderError;
    std::string fileError;
    const bool written = WriteOutput(
        files[1], [&](ByteSink& sink) { return renderer.RenderWav(*segment, sink, renderError); },
        fileError);
    if (!written) {
        std::cerr << "quellor-cli: cannot write '" << files[1]
                  << "': " << (renderError.empty() ? fileError : renderError) << "\n";
        return kExitFailure;
    }
    report << "Wrote " << Seconds(frames, OfflineRenderer::kSampleRate) << " s to " << files[1]
           << "\n";
    return kExitOk;
}

} // namespace cli
