#pragma once

#include "song/ByteSource.h"
#include "song/SongData.h"
#include "song/SongFile.h"
#include "song/SongWriter.h"
#include "song/SpMidiRules.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One thing the checker found: the rule, how bad it is, where, and what to do about it.
struct SpMidiFinding {
    std::string_view rule; // the rule's id (SpMidiRules)
    SpMidiSeverity severity = SpMidiSeverity::Note;
    std::optional<int> channel; // 0-15
    std::optional<int> track;   // 0-based, in file order
    std::optional<std::uint32_t> timeMs;
    std::string message;
    std::string fix;
};

// Findings counted by severity.
struct SpMidiTally {
    int errors = 0;
    int warnings = 0;
    int notes = 0;
};

// Checks a song against the SP-MIDI rules of SpMidiRules: the bytes of a Standard MIDI
// File, as it stands or as a save would write it, and a loaded song's analysis. The
// findings come sorted by severity, then by time.
class SpMidiCheck {
public:
    // The vibra mode the song is meant for (0: Program Change 125, else 124); when unset,
    // either program passes.
    std::optional<std::uint32_t> vibraMode;

    // The file event by event, as a phone receives it: every MIP message and SysEx, the
    // tracks merged by time. Reads `in` to its end.
    std::vector<SpMidiFinding> CheckFile(ByteSource& in) const;
    std::vector<SpMidiFinding> CheckBytes(const std::vector<std::uint8_t>& bytes) const;
    // The analysis of a loaded song: each listed channel's counted notes against the share
    // of the MIP values its polyphony gives it.
    std::vector<SpMidiFinding> CheckSong(const SongData& song) const;

    // What a save of `song` with `options` writes, checked: the bytes and the analysis of
    // the song as that save leaves it, in one sorted list. It changes the song as the save
    // does. Throws std::runtime_error when the song cannot be written (it has no track).
    std::vector<SpMidiFinding> CheckSaved(SongFile& song,
                                          const SongFile::SaveOptions& options) const;
    // From this many bytes on, CheckBytes reads the tracks on two threads.
    static constexpr std::size_t kSharedCheckBytes = std::size_t{1} << 20;
    // From this many events on, CheckSaved checks the bytes while they are being written.
    static constexpr std::size_t kPipedEvents = std::size_t{1} << 16;
    // The most bytes a save of `song` can write.
    static std::size_t SavedSizeBound(const SongData& song);
    // Both lists in one, sorted as the checker sorts.
    static std::vector<SpMidiFinding> Combine(std::vector<SpMidiFinding> a,
                                              std::vector<SpMidiFinding> b);

    static bool HasError(const std::vector<SpMidiFinding>& findings);
    static SpMidiTally Tally(const std::vector<SpMidiFinding>& findings);

private:
    // CheckSaved for a large song, the checker on a second thread; nothing when no thread
    // could be started.
    std::optional<std::vector<SpMidiFinding>>
    CheckWhileSaving(SongFile& song, const SongFile::SaveOptions& options) const;
};
