#pragma once

#include "song/BatchProcessor.h"
#include "song/SongSwitches.h"

#include <optional>
#include <string>
#include <vector>

// Shared pieces of the quellor-cli commands: argument scanning, the load and map switches,
// JSON text.
namespace cli {

// Exit codes of every command.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// check: the SP-MIDI checker found at least one error.
constexpr int kExitFindings = 3;

// Thrown for a usage error; main prints the message and exits with kExitUsage.
struct UsageError {
    std::string message;
};

// Consumes args[i] (and its value) when it is one of the loader, proposal and writer switches
// every command that loads a song accepts (--prio channel|oblix, --sysex strip|keep,
// --map sp|gm, and with `allowVibraMode` --vibra-mode 0|1); true when it was. The defaults
// are the program's first-start settings.
bool ParseSwitchOption(const std::vector<std::string>& args, std::size_t& i, SongSwitches& switches,
                       bool allowVibraMode);
// Consumes args[i] (and its value) when it is --action remove|leave|update or
// --text strip|keep, the Batch Processor's writing options; true when it was.
bool ParseWriteOption(const std::vector<std::string>& args, std::size_t& i,
                      BatchProcessor::Options& options);
// Why a file was not processed, in the words process and batch print.
std::string FailureText(const BatchFailure& failure);
// The value after option args[i]; throws UsageError when there is none.
const std::string& OptionValue(const std::vector<std::string>& args, std::size_t& i);
// A channel number 1..16 given on the command line, as an index 0..15.
int ParseChannel(const std::string& text);
int ParseInt(const std::string& text, int lo, int hi, const char* what);

std::string JsonString(const std::string& text);

} // namespace cli
