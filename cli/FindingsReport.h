#pragma once

#include "song/SpMidiCheck.h"

#include <ostream>
#include <string>
#include <vector>

// The SP-MIDI checker's findings in the words quellor-cli prints.
namespace cli {

// One line per finding: rule id, severity, where, message and fix, separated by tabs.
void PrintFindingLines(std::ostream& out, const std::vector<SpMidiFinding>& findings);
// A JSON array of {"rule", "severity", "channel", "track", "timeMs", "message", "fix"};
// channel (1-16) and track (1-based) are null where a finding has none.
void PrintFindingsJson(std::ostream& out, const std::vector<SpMidiFinding>& findings);
// "1 error, 2 warnings": the errors and warnings of a tally.
std::string TallyText(const SpMidiTally& tally);

} // namespace cli
