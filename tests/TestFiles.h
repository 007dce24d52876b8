#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

// Helpers for tests that build Standard MIDI Files byte by byte.
namespace testfiles {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A variable-length quantity as a file holds it (delta times, lengths).
inline Bytes Vlq(std::uint64_t value) {
    Bytes groups{static_cast<std::uint8_t>(value & 0x7F)};
    while ((value >>= 7) != 0)
        groups.insert(groups.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    return groups;
}

// Bytes written as hex pairs separated by spaces: Hex("90 3C 40").
inline Bytes Hex(const char* text) {
    Bytes out;
    for (char* end = nullptr;; text = end) {
        const long value = std::strtol(text, &end, 16);
        if (end == text)
            return out;
        out.push_back(static_cast<std::uint8_t>(value));
    }
}

inline Bytes Be32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

// "MThd" with length 6, the format, the track count and the division.
inline Bytes Header(int format, int tracks, int division) {
    return Cat({{'M', 'T', 'h', 'd'},
                Be32(6),
                {static_cast<std::uint8_t>(format >> 8), static_cast<std::uint8_t>(format),
                 static_cast<std::uint8_t>(tracks >> 8), static_cast<std::uint8_t>(tracks),
                 static_cast<std::uint8_t>(division >> 8), static_cast<std::uint8_t>(division)}});
}

// An "MTrk" chunk around `events` (delta times included); End of Track is appended.
inline Bytes TrackChunk(const Bytes& events, bool endOfTrack = true) {
    Bytes data = events;
    if (endOfTrack)
        data.insert(data.end(), {0x00, 0xFF, 0x2F, 0x00});
    return Cat({{'M', 'T', 'r', 'k'}, Be32(static_cast<std::uint32_t>(data.size())), data});
}

// A song's file name as a test name: letters and digits, everything else '_'.
inline std::string TestName(const std::filesystem::path& song) {
    std::string name = song.stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

// The real General MIDI songs of the openttd-openmsx package.
inline std::vector<std::filesystem::path> RealSongs() {
    std::vector<std::filesystem::path> songs;
    const std::filesystem::path folder = "/usr/share/games/openttd/baseset/openmsx";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().extension() == ".mid")
            songs.push_back(entry.path());
    std::sort(songs.begin(), songs.end());
    return songs;
}

// A fresh folder under the system's temporary location, removed by the destructor.
class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quellor-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

// A shell word in single quotes.
inline std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// A path as a shell word.
inline std::string Q(const std::filesystem::path& path) {
    return Quote(path.string());
}

struct Outcome {
    int code = -1;
    std::string out, err;
};

// Runs a shell command line (bounded by a timeout) and captures its exit code and output.
inline Outcome Exec(const std::string& command) {
    testfiles::TempDir dir;
    const std::string line = "timeout 120 " + command + " >" + Quote((dir / "out").string()) +
                             " 2>" + Quote((dir / "err").string()) + " </dev/null";
    const int status = std::system(line.c_str());
    const Bytes o = ReadFile(dir / "out"), e = ReadFile(dir / "err");
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(o.begin(), o.end()),
            std::string(e.begin(), e.end())};
}

} // namespace testfiles
