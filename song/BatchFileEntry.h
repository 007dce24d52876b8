#pragma once

#include "song/LoadReport.h"
#include "song/SpMidiCheck.h"

#include <string>
#include <vector>

// Why a file of a batch run failed, as facts; the front ends put them into words.
struct BatchFailure {
    enum class Reason {
        None,
        CannotOpen,     // the source could not be opened; `error` holds the system's reason
        NotSmf,         // the source is not a Standard MIDI File
        LeftOut,        // loading left out `leftOut`: the processed file would lack it
        CannotWrite,    // the output could not be written; `error` says why
        OutputTaken,    // another file of this run was already written to `path`
        OutputIsSource, // the output `path` would replace another source file of the run
        Error,          // anything else (out of memory, say); `error` says what
    };

    Reason reason = Reason::None;
    std::string path;  // the output, for CannotWrite, OutputTaken, OutputIsSource
    std::string error; // the system's reason
    std::vector<LoadReport::LeftOut> leftOut; // what loading left out
};

// One file of a batch run.
struct BatchFileEntry {
    enum class Result { Pending, Processed, Failed };

    std::string path;  // full path of the source file as found
    std::string title; // the file's name without its extension
    Result result = Result::Pending;
    BatchFailure failure; // why it failed
    SpMidiTally findings; // what the SP-MIDI checker found in the written file
};
