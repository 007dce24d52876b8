#include "cli/LoadWords.h"

namespace cli {

namespace {

std::string Plural(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::string LeftOutText(const LoadReport::LeftOut& what) {
    using Kind = LoadReport::LeftOut::Kind;
    switch (what.kind) {
    case Kind::TooLargeEvents:
        return Plural(what.count, "event too large to store", "events too large to store");
    case Kind::UnterminatedSysEx:
        return Plural(what.count, "unterminated SysEx message", "unterminated SysEx messages");
    case Kind::ReadError:
        return "the rest of the file, which could not be read";
    case Kind::CutInsideEvent:
        return "the end of the file, which is cut off inside an event";
    case Kind::TracksAfterLimit:
        return "tracks after the " + std::to_string(what.count) + "th";
    case Kind::TimesCut:
        return "the times of " + Plural(what.count, "event", "events") +
               " beyond 49 days, cut to 49 days";
    }
    return "data";
}

std::string LeftOutList(const std::vector<LoadReport::LeftOut>& leftOut) {
    std::string text;
    for (const LoadReport::LeftOut& what : leftOut)
        text += (text.empty() ? "" : ", ") + LeftOutText(what);
    return text;
}

} // namespace cli
