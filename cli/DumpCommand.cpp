// quellor-cli dump FILE: every event the reader delivers, in file order.
#include "cli/CliCommon.h"
#include "cli/Commands.h"
#include "song/SongReader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

namespace cli {

namespace {

// A song reader that delivers events without storing them.
class EventDumper : public SongReader {
public:
    int Dump(ByteSource& in, std::FILE* out) {
        ClearTracks();
        ResetSong();
        static const char kHex[] = "0123456789ABCDEF";
        std::string line;
        auto startTrack = [&](int track) {
            if (track == 0)
                std::fprintf(out, "# format %d division %d\n", format, division);
        };
        auto print = [&] {
            if (eventOversize)
                return true; // consumed whole, not delivered as data
            line.clear();
            line += std::to_string(currentTrack);
            line += '\t';
            line += std::to_string(eventTime);
            line += eventIsMeta ? "\t1\t" : "\t0\t";
            const std::uint8_t* buf = eventBuffer.get();
            for (std::uint32_t i = 0; i < eventLength; ++i) {
                if (i)
                    line += ' ';
                line += kHex[buf[i] >> 4];
                line += kHex[buf[i] & 15];
            }
            line += '\n';
            std::fwrite(line.data(), 1, line.size(), out);
            return true;
        };
        return ForEachEvent(in, print, startTrack) ? kExitOk : kExitFailure;
    }
};

} // namespace

int RunDump(const std::vector<std::string>& args) {
    std::vector<std::string> operands;
    if (args.empty() || !EndOfOptions(args, 0, operands))
        operands = args;
    if (operands.size() != 1)
        throw UsageError{"dump takes one file"};
    const std::string& path = operands[0];
    LoadReport report;
    const FilePtr file = SongReader::OpenSongFile(path, report);
    if (!file) {
        std::cerr << "quellor-cli: cannot open '" << path << "': " << report.error << "\n";
        return kExitFailure;
    }
    FileSource source(file.get());
    EventDumper dumper;
    if (dumper.Dump(source, stdout) != kExitOk) {
        std::cerr << "quellor-cli: '" << path << "' is not a Standard MIDI File\n";
        return kExitFailure;
    }
    std::fflush(stdout);
    return kExitOk;
}

} // namespace cli
