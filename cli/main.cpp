// quellor-cli: the headless front end of Quellor.
#include "cli/CliCommon.h"
#include "cli/Commands.h"
#include "song/AtomicFile.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#ifndef QUELLOR_VERSION
#define QUELLOR_VERSION "0.0.0"
#endif

namespace {

const char* const kHelp = R"(Usage: quellor-cli COMMAND [ARGS...]

Prepares Standard MIDI Files for phones that play Scalable Polyphony MIDI (SP-MIDI).

Commands:
  dump FILE
      Prints every event the reader delivers, one line each: track, time in ms, 1 for a
      meta event else 0, and the event bytes in hex.
  info FILE [--json] [--prio channel|oblix] [--sysex strip|keep] [--map sp|gm]
      Loads FILE as the program does and prints its channel analysis.
  process IN OUT [--json] [--prio channel|oblix] [--sysex strip|keep] [--vibra-mode 0|1]
                 [--action remove|leave|update] [--text strip|keep] [--map sp|gm]
                 [--priority CH=P] [--polyphony CH=N] [--mute CH] [--solo CH]
                 [--remove CH] [--duplicate SRC=DST] [--vibra CH] [--add-vibra]
                 [--allow-loss]
      Loads IN, applies the edits left to right (channels are numbers 1-16), brings the
      MIP message up to date and writes OUT (which may be IN). A song from which loading
      left data out is not written unless --allow-loss is given.
  batch SRC DST [--action remove|leave|update] [--text strip|keep] [--add-vibra]
                [--prio channel|oblix] [--sysex strip|keep] [--vibra-mode 0|1] [--map sp|gm]
                [--jobs N]
      Processes every .mid file of folder SRC into folder DST, one line per file in name
      order. A missing DST is created (its parent must exist). --jobs N processes N files
      at once, 1-256 (default: one per processor core); the files written and the lines
      printed are the same for every N.
  check IN [--json] [--after-save] [load, map, action, text and edit options]
      Checks IN against the SP-MIDI rules and prints one line per finding: rule, severity,
      where, what happens and the fix. With --after-save it checks what process writes
      with the same options instead of the file as it stands.
  check --rules
      Lists the rules check applies.
  render IN OUT.wav [--voices N] [--channel CH] [--soundfont PATH] [load and map options]
                    [edits as for process]
      Renders the song to a WAV file as a phone with N voices would play it.
  render IN OUT.wav --phone N [--channel CH] [--action remove|leave|update] [--text strip|keep]
                    [load and map options] [edits as for process]
      Plays the file process would write on the phone synthesizer (Sonivox EAS) with N
      voices, 1-64, and writes what it sounds like (22,050 Hz stereo WAV).
  graph IN OUT.png [--width W] [--height H]
      Draws the song's polyphony over time into a PNG picture.

Defaults are the program's first-start settings: --prio oblix, --sysex strip, --map sp,
--vibra-mode 0, --action update, --text strip.

OUT may be - (standard output) for process, render and graph; the report then goes to
standard error. An existing OUT that is not a regular file, or that may not be written,
is refused. "--" ends the options: every argument after it is a file.

Options:
  --help      Shows this text.
  --version   Prints the version.

Exit codes: 0 success, 1 a file could not be read or written (or is not a Standard MIDI
File, or memory ran out), 2 a usage error, 3 check found at least one error.
)";

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << kHelp;
        return cli::kExitUsage;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kHelp;
        return cli::kExitOk;
    }
    if (command == "--version") {
        std::cout << "quellor-cli " << QUELLOR_VERSION << "\n";
        return cli::kExitOk;
    }
    // Ended by Ctrl+C or a stop request, no half-written temporary file stays behind (the
    // batch takes Ctrl+C as "stop after this file" instead).
    RemoveTemporaryFilesOnSignals({SIGINT, SIGTERM});
    try {
        if (command == "dump")
            return cli::RunDump(args);
        if (command == "info")
            return cli::RunInfo(args);
        if (command == "process")
            return cli::RunProcess(args);
        if (command == "batch")
            return cli::RunBatch(args);
        if (command == "check")
            return cli::RunCheck(args);
        if (command == "render")
            return cli::RunRender(args);
        if (command == "graph")
            return cli::RunGraph(args);
        throw cli::UsageError{"unknown command '" + command + "'"};
    } catch (const cli::UsageError& e) {
        std::cerr << "quellor-cli: " << e.message << "\nTry 'quellor-cli --help'.\n";
        return cli::kExitUsage;
    } catch (const std::bad_alloc&) {
        // Every writer has removed its temporary file on the way out.
        std::cerr << "quellor-cli: " << command << ": out of memory\n";
        return cli::kExitFailure;
    } catch (const std::exception& e) {
        std::cerr << "quellor-cli: " << command << ": " << e.what() << "\n";
        return cli::kExitFailure;
    }
}
