#pragma once

#include "song/ByteSink.h"

#include <functional>
#include <initializer_list>
#include <string>

// Writes `path` through a temporary file in the same folder that is renamed over the target
// once `write` has succeeded and the data reached the disk; the folder is then synced too. On
// failure the temporary file is removed, the target is left as it was, `error` says why and
// the result is false.
//
// What the target may be:
// - A symbolic link is followed: the file it names is replaced, the link stays.
// - An existing target that is not a regular file (a folder, device, FIFO or socket) is
//   refused: it is never replaced by a regular file, nor written to.
// - An existing file the user may not write, or one that nobody may write (mode 444, even
//   for root), is refused, not replaced. A replaced file keeps its mode and, where the
//   system allows it, its owner and group.
// - When the folder takes no new file but the file itself is writable (or the owner could
//   not be kept), the whole content is first written to a temporary file in the system's
//   temporary folder, and only then copied over the file in place.
// The temporary name is shortened where needed, so that any name the file system accepts
// can be written. While it exists, the temporary file is known to
// RemoveTemporaryFilesNow().
bool WriteFileAtomically(const std::string& path, const std::function<bool(ByteSink&)>& write,
                         std::string& error);

// Writes the content `write` produces over the existing regular file `path` in place, after
// writing it whole to a temporary file in `scratchFolder`: the fallback WriteFileAtomically
// takes where it cannot replace the file. The target keeps its inode, mode and owner.
bool WriteFileInPlace(const std::string& path, const std::string& scratchFolder,
                      const std::function<bool(ByteSink&)>& write, std::string& error);

// Removes every temporary file a writer has open right now. Async-signal-safe: meant for a
// handler of a signal that ends the process.
void RemoveTemporaryFilesNow();

// Installs, for each of `signalNumbers`, a handler that removes the temporary files being written
// and then ends the process by the signal as its default action would.
void RemoveTemporaryFilesOnSignals(std::initializer_list<int> signalNumbers);
