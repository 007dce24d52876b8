#include "cli/SongReport.h"

#include "cli/CliCommon.h"
#include "cli/FindingsReport.h"
#include "cli/LoadWords.h"
#include "song/ChannelCommands.h"

#include <iomanip>

namespace cli {

namespace {

void PrintJson(std::ostream& out, const SongFile& song, const std::string& path,
               const std::vector<SpMidiFinding>* findings) {
    // A name that is not UTF-8 cannot be shown as it is: its bytes lead back to the file.
    bool exact = true;
    out << "{\"path\": " << JsonPath(path, exact);
    if (!exact)
        out << ", \"pathBytes\": \"" << HexBytes(path) << "\"";
    out << ", \"title\": " << JsonString(song.title) << ", \"format\": " << song.format
        << ", \"division\": " << song.division << ", \"durationMs\": " << song.GetDuration()
        << ", \"tracks\": " << song.tracks.size()
        << ", \"loadResult\": " << static_cast<int>(song.lastLoad.result)
        << ", \"sourceMip\": " << JsonString(ChannelCommands::SourceMipText(song))
        << ", \"sequencePolyphony\": " << song.sequencePolyphony << ", \"vibraChannel\": ";
    if (song.vibraChannel < 0)
        out << "null";
    else
        out << song.vibraChannel + 1;
    out << ", \"channel11Percussion\": " << (song.channel11Percussion ? "true" : "false")
        << ", \"leftOut\": [";
    for (std::size_t i = 0; i < song.lastLoad.leftOut.size(); ++i)
        out << (i ? ", " : "") << JsonString(LeftOutText(song.lastLoad.leftOut[i]));
    out << "], \"channels\": [";
    bool first = true;
    for (int ch : ChannelCommands::ChannelsInPriorityOrder(song)) {
        out << (first ? "" : ", ") << "{\"channel\": " << ch + 1
            << ", \"instrument\": " << JsonString(ChannelCommands::InstrumentText(song, ch))
            << ", \"program\": " << static_cast<int>(song.GetProgram(ch))
            << ", \"maxPolyphony\": " << song.maxPolyphony[ch]
            << ", \"polyphony\": " << song.polyphony[ch] << ", \"priority\": " << song.priority[ch]
            << ", \"mip\": " << song.mip[ch]
            << ", \"enabled\": " << (song.enabled[ch] ? "true" : "false")
            << ", \"noteCount\": " << song.noteCount[ch]
            << ", \"velocitySum\": " << song.velocitySum[ch]
            << ", \"maxVolume\": " << song.maxVolume[ch] << "}";
        first = false;
    }
    out << "]";
    if (findings) {
        out << ", \"findings\": ";
        PrintFindingsJson(out, *findings);
    }
    out << "}\n";
}

void PrintTable(std::ostream& out, const SongFile& song, const std::string& path) {
    out << "File:                         " << path << "\n"
        << "Song Name:                    " << song.title << "\n"
        << "Format / division / tracks:   " << song.format << " / " << song.division << " / "
        << song.tracks.size() << "\n"
        << "Duration:                     " << song.GetDuration() << " ms\n"
        << "Load result:                  " << static_cast<int>(song.lastLoad.result) << "\n"
        << "Source contains MIP message:  " << ChannelCommands::SourceMipText(song) << "\n"
        << "Sequence Polyphony:           " << song.sequencePolyphony << "\n";
    if (song.channel11Percussion)
        out << "Channel 11 plays percussion.\n";
    for (const LoadReport::LeftOut& what : song.lastLoad.leftOut)
        out << "Left out:                     " << LeftOutText(what) << "\n";
    out << "\n"
        << std::left << std::setw(5) << "Chn." << std::setw(30) << "Instrument" << std::right
        << std::setw(5) << "Prio" << std::setw(6) << "Poly" << std::setw(6) << "Max"
        << std::setw(10) << "MIP (Sum)" << std::setw(7) << "Notes"
        << "  State\n";
    for (int ch : ChannelCommands::ChannelsInPriorityOrder(song)) {
        out << std::left << std::setw(5) << ch + 1 << std::setw(30)
            << ChannelCommands::InstrumentText(song, ch) << std::right << std::setw(5)
            << song.priority[ch] << std::setw(6) << song.polyphony[ch] << std::setw(6)
            << song.maxPolyphony[ch] << std::setw(10) << song.mip[ch] << std::setw(7)
            << song.noteCount[ch] << "  " << (song.enabled[ch] ? "audible" : "muted") << "\n";
    }
}

} // namespace

void PrintSongReport(std::ostream& out, const SongFile& song, const std::string& path, bool json,
                     const std::vector<SpMidiFinding>* findings) {
    if (json)
        PrintJson(out, song, path, findings);
    else
        PrintTable(out, song, path);
}

} // namespace cli
