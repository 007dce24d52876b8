#pragma once

#include "song/BatchProcessor.h"
#include "song/ByteSink.h"
#include "song/SongSwitches.h"

#include <functional>
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

// When args[i] is "--", which ends the options, appends every argument after it to
// `operands` and returns true: the caller's scan is over.
bool EndOfOptions(const std::vector<std::string>& args, std::size_t i,
                  std::vector<std::string>& operands);

// "-" as an output file: standard output.
inline bool IsStandardOutput(const std::string& path) {
    return path == "-";
}
// Writes what `write` produces to `path`, replacing the file safely (WriteFileAtomically), or
// to standard output when `path` is "-" (the sink then cannot seek). False with `error` set.
bool WriteOutput(const std::string& path, const std::function<bool(ByteSink&)>& write,
                 std::string& error);

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
// A file's path in JSON: the name as UTF-8 when it is valid UTF-8, else with U+FFFD for each
// byte that is not; `exact` tells which.
std::string JsonPath(const std::string& path, bool& exact);
// The bytes of `text` as hex digits, two per byte.
std::string HexBytes(const std::string& text);

} // namespace cli
