// render and graph in quellor-cli: they run in quellor-cli-media, the same tool linked with
// the playback library (FluidSynth) and Qt Gui, installed beside it. The other commands never
// load those libraries, which costs every start time and memory. The process goes on as
// quellor-cli-media (exec: the same process, its signals, exit code and output).
#include "cli/CliCommon.h"
#include "cli/Commands.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace cli {

namespace {

int RunInMedia(const char* command, const std::vector<std::string>& args) {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string media = "quellor-cli-media";
    if (n > 0) {
        const std::string path(self, static_cast<std::size_t>(n));
        media = path.substr(0, path.rfind('/') + 1) + media;
    }
    std::vector<std::string> all = {media, command};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::cout.flush();
    ::execv(media.c_str(), argv.data());
    std::cerr << "quellor-cli: " << command << " runs in " << media
              << ", which cannot be started: " << std::strerror(errno) << "\n";
    return kExitFailure;
}

} // namespace

int RunRender(const std::vector<std::string>& args) {
    return RunInMedia("render", args);
}

int RunGraph(const std::vector<std::string>& args) {
    return RunInMedia("graph", args);
}

} // namespace cli
