#include "cli/CliCommon.h"
#include "cli/LoadWords.h"
#include "song/AtomicFile.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace cli {

bool EndOfOptions(const std::vector<std::string>& args, std::size_t i,
                  std::vector<std::string>& operands) {
    if (args[i] != "--")
        return false;
    operands.insert(operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    return true;
}

bool WriteOutput(const std::string& path, const std::function<bool(ByteSink&)>& write,
                 std::string& error) {
    if (!IsStandardOutput(path))
        return WriteFileAtomically(path, write, error);
    std::fflush(stdout);
    FileSink sink(stdout);
    errno = 0;
    bool ok = write(sink);
    sink.Flush(); // the sink's buffer goes to the stream
    ok = ok && sink.Ok() && std::fflush(stdout) == 0;
    if (!ok)
        error = std::strerror(errno ? errno : EIO);
    return ok;
}

const std::string& OptionValue(const std::vector<std::string>& args, std::size_t& i) {
    if (i + 1 >= args.size())
        throw UsageError{"option " + args[i] + " needs a value"};
    return args[++i];
}

bool ParseSwitchOption(const std::vector<std::string>& args, std::size_t& i, SongSwitches& switches,
                       bool allowVibraMode) {
    const std::string& name = args[i];
    if (name == "--prio") {
        const std::string& v = OptionValue(args, i);
        if (v != "channel" && v != "oblix")
            throw UsageError{"--prio takes channel or oblix"};
        switches.prioOblix = v == "oblix";
    } else if (name == "--sysex") {
        const std::string& v = OptionValue(args, i);
        if (v != "strip" && v != "keep")
            throw UsageError{"--sysex takes strip or keep"};
        switches.sysexStripping = v == "strip";
    } else if (name == "--map") {
        const std::string& v = OptionValue(args, i);
        if (v != "sp" && v != "gm")
            throw UsageError{"--map takes sp or gm"};
        switches.instrumentMapIndex = v == "gm" ? 1 : 0;
    } else if (name == "--vibra-mode" && allowVibraMode) {
        switches.vibraMode =
            static_cast<unsigned>(ParseInt(OptionValue(args, i), 0, 1, "--vibra-mode"));
    } else {
        return false;
    }
    return true;
}

bool ParseWriteOption(const std::vector<std::string>& args, std::size_t& i,
                      BatchProcessor::Options& options) {
    if (args[i] == "--action") {
        const std::string& v = OptionValue(args, i);
        using Action = BatchProcessor::MidiAction;
        if (v == "remove")
            options.midiAction = Action::RemoveSpMidi;
        else if (v == "leave")
            options.midiAction = Action::LeaveSpMidi;
        else if (v == "update")
            options.midiAction = Action::UpdateSpMidi;
        else
            throw UsageError{"--action takes remove, leave or update"};
        return true;
    }
    if (args[i] == "--text") {
        const std::string& v = OptionValue(args, i);
        if (v != "strip" && v != "keep")
            throw UsageError{"--text takes strip or keep"};
        options.removeText = v == "strip";
        return true;
    }
    return false;
}

std::string FailureText(const BatchFailure& failure) {
    switch (failure.reason) {
    case BatchFailure::Reason::None:
        break;
    case BatchFailure::Reason::CannotOpen:
        return "cannot open: " + failure.error;
    case BatchFailure::Reason::NotSmf:
        return "not a Standard MIDI File";
    case BatchFailure::Reason::LeftOut:
        return "data left out on loading: " + LeftOutList(failure.leftOut);
    case BatchFailure::Reason::CannotWrite:
        return "cannot write: " + failure.error;
    case BatchFailure::Reason::OutputTaken:
        return "another file of this run was already written to " + failure.path;
    case BatchFailure::Reason::OutputIsSource:
        return "the output " + failure.path + " would replace another source file";
    case BatchFailure::Reason::Error:
        return failure.error;
    }
    return {};
}

int ParseInt(const std::string& text, int lo, int hi, const char* what) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty() || value < lo || value > hi)
        throw UsageError{std::string(what) + " must be a number from " + std::to_string(lo) +
                         " to " + std::to_string(hi) + ", not '" + text + "'"};
    return value;
}

int ParseChannel(const std::string& text) {
    return ParseInt(text, 1, 16, "a channel") - 1;
}

namespace {

// The length of the valid UTF-8 sequence at text[i], or 0 when there is none.
std::size_t Utf8SequenceAt(const std::string& text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80           ? 1
                               : (c >> 5) == 0x06 ? 2
                               : (c >> 4) == 0x0E ? 3
                               : (c >> 3) == 0x1E ? 4
                                                  : 0;
    if (length == 0 || i + length > text.size() || (length == 2 && c < 0xC2))
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2)
            return 0;
    return length;
}

// MIDI files carry texts in no declared encoding: what is UTF-8 stays, any other byte is
// taken as Latin-1.
std::string ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t n = Utf8SequenceAt(text, i)) {
            out.append(text, i, n);
            i += n;
        } else {
            const auto c = static_cast<unsigned char>(text[i++]);
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// `text`, valid UTF-8, escaped for a JSON string.
std::string JsonEscaped(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

} // namespace

std::string JsonString(const std::string& raw) {
    std::string out = "\"";
    out += JsonEscaped(ToUtf8(raw));
    out += '"';
    return out;
}

std::string JsonPath(const std::string& path, bool& exact) {
    exact = true;
    std::string out = "\"";
    std::size_t run = 0; // the start of the valid UTF-8 not yet copied
    for (std::size_t i = 0; i < path.size();) {
        if (const std::size_t n = Utf8SequenceAt(path, i)) {
            i += n;
            continue;
        }
        out += JsonEscaped(path.substr(run, i - run));
        out += "\\ufffd";
        exact = false;
        run = ++i;
    }
    out += JsonEscaped(path.substr(run));
    out += '"';
    return out;
}

std::string HexBytes(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : text) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

} // namespace cli
