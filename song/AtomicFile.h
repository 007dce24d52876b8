#pragma once

#include "song/ByteSink.h"

#include <functional>
#include <string>

// Writes `path` through a temporary file in the same folder that is renamed over the target
// once `write` has succeeded and the data reached the disk. On failure the temporary file is
// removed, the target is left as it was, `error` says why and the result is false.
bool WriteFileAtomically(const std::string& path, const std::function<bool(ByteSink&)>& write,
                         std::string& error);
