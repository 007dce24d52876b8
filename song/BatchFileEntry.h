#pragma once

#include <string>

// One file of a batch run.
struct BatchFileEntry {
    enum Result { Pending = 0, Processed = 1, Failed = 2 };

    std::string path;  // full path of the source file as found
    std::string title; // the file's name without its extension
    int result = Pending;
    std::string reason; // why it failed, in words

    // "-", "OK" or "Failed".
    const char* ResultText() const;
};
