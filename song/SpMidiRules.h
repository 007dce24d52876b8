#pragma once

#include <span>
#include <string_view>

// How bad a checker finding is for the phones that play the file.
enum class SpMidiSeverity {
    Error,   // a phone will misplay it
    Warning, // some phones will misplay it
    Note,    // worth knowing; plays as meant on most phones
};

// One rule of the SP-MIDI checker: the texts the command-line tool, the program and the
// README show for it. `message` and `fix` are templates; the checker fills in
// {channel} (1-16), {track} (1-based), {time} (seconds), {value}, {limit}, {count},
// {count:word} ("1 note", "2 notes" for {count:note}), {times} ("once", "twice",
// "5 times") and {detail}.
struct SpMidiRule {
    std::string_view id; // stable, kebab-case
    SpMidiSeverity severity;
    std::string_view description;
    std::string_view source; // where the rule comes from, as short as "TS 23.040 H.4"
    std::string_view message;
    std::string_view fix;
};

// The checker's rules, in the order they are listed to users.
namespace SpMidiRules {

std::span<const SpMidiRule> All();
// The rule with that id, or nullptr.
const SpMidiRule* Find(std::string_view id);
// "error", "warning" or "note".
std::string_view SeverityName(SpMidiSeverity severity);

} // namespace SpMidiRules
