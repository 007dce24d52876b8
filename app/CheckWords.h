#pragma once

#include "song/SpMidiCheck.h"

#include <QString>

// The SP-MIDI checker's counts in the program's words from the string table.
// "1 error, 2 warnings".
QString TallyText(const SpMidiTally& tally);
