#include "cli/FindingsReport.h"

#include "cli/CliCommon.h"

#include <cstdio>

namespace cli {

namespace {

std::string Counted(int n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// "channel 3, track 1, 1.250 s", or "-" for the whole file.
std::string Where(const SpMidiFinding& f) {
    std::string out;
    auto add = [&out](const std::string& part) { out += (out.empty() ? "" : ", ") + part; };
    if (f.channel)
        add("channel " + std::to_string(*f.channel + 1));
    if (f.track)
        add("track " + std::to_string(*f.track + 1));
    if (f.timeMs) {
        char text[32];
        std::snprintf(text, sizeof text, "%u.%03u s", *f.timeMs / 1000, *f.timeMs % 1000);
        add(text);
    }
    return out.empty() ? "-" : out;
}

template <class T> void JsonOptional(std::ostream& out, const std::optional<T>& value, T offset) {
    if (value)
        out << *value + offset;
    else
        out << "null";
}

} // namespace

void PrintFindingLines(std::ostream& out, const std::vector<SpMidiFinding>& findings) {
    for (const SpMidiFinding& f : findings)
        out << f.rule << "\t" << SpMidiRules::SeverityName(f.severity) << "\t" << Where(f) << "\t"
            << f.message << "\t" << f.fix << "\n";
}

void PrintFindingsJson(std::ostream& out, const std::vector<SpMidiFinding>& findings) {
    out << "[";
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const SpMidiFinding& f = findings[i];
        out << (i ? ", " : "") << "{\"rule\": " << JsonString(std::string(f.rule))
            << ", \"severity\": " << JsonString(std::string(SpMidiRules::SeverityName(f.severity)))
            << ", \"channel\": ";
        JsonOptional(out, f.channel, 1);
        out << ", \"track\": ";
        JsonOptional(out, f.track, 1);
        out << ", \"timeMs\": ";
        JsonOptional(out, f.timeMs, 0u);
        out << ", \"message\": " << JsonString(f.message) << ", \"fix\": " << JsonString(f.fix)
            << "}";
    }
    out << "]";
}

std::string TallyText(const SpMidiTally& tally) {
    return Counted(tally.errors, "error") + ", " + Counted(tally.warnings, "warning");
}

} // namespace cli
