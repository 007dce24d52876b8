// render and graph in a core-only build (QUELLOR_CORE_ONLY), linked in place of
// RenderCommand.cpp and GraphCommand.cpp: the commands are known and say why they cannot run.
#include "cli/CliCommon.h"
#include "cli/Commands.h"

#include <iostream>

namespace cli {

namespace {

int NotBuilt(const char* command, const char* needs) {
    std::cerr << "quellor-cli: " << command << " is not part of this build: it needs " << needs
              << ", which a build with QUELLOR_CORE_ONLY leaves out\n";
    return kExitUsage;
}

} // namespace

int RunRender(const std::vector<std::string>&) {
    return NotBuilt("render", "the playback library (FluidSynth)");
}

int RunGraph(const std::vector<std::string>&) {
    return NotBuilt("graph", "Qt Gui");
}

} // namespace cli
