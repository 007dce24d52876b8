#pragma once

#include <QString>

// The program's string table: every fixed text keyed by its id. A command's string is its
// prompt: the status-bar text, then after "\n" the short name shown under its toolbar button.
namespace StringTable {

// The text of `id`; empty for an id without one.
QString Get(int id);
// The status-bar part of a command prompt (before the first "\n").
QString Prompt(int id);
// The short name of a command prompt (after the last "\n"); the whole text when it has none.
QString ShortName(int id);

} // namespace StringTable
