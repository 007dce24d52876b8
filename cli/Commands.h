#pragma once

#include <string>
#include <vector>

// The quellor-cli commands. Each takes the arguments after the command name and returns the
// process exit code; a usage error throws cli::UsageError.
namespace cli {

int RunDump(const std::vector<std::string>& args);
int RunInfo(const std::vector<std::string>& args);
int RunProcess(const std::vector<std::string>& args);
int RunBatch(const std::vector<std::string>& args);
// Built only with the playback library (QUELLOR_WITH_RENDER) and the desktop program's
// drawing code (QUELLOR_WITH_GRAPH).
int RunRender(const std::vector<std::string>& args);
int RunGraph(const std::vector<std::string>& args);

} // namespace cli
