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
int RunCheck(const std::vector<std::string>& args);
// These two need the playback library and Qt Gui. quellor-cli-media links RenderCommand.cpp
// and GraphCommand.cpp; quellor-cli links MediaCommands.cpp, which carries on as
// quellor-cli-media for them. A core-only build (QUELLOR_CORE_ONLY) links
// CoreOnlyCommands.cpp instead: there they say that the command is not part of the build and
// return kExitUsage.
int RunRender(const std::vector<std::string>& args);
int RunGraph(const std::vector<std::string>& args);

} // namespace cli
