// quellor-cli graph IN OUT.png: the song's polyphony over time, drawn as the program does.
#include "cli/CliCommon.h"
#include "cli/Commands.h"
#include "cli/SongLoading.h"
#include "graph/PolyphonyGraphPainter.h"
#include "song/SongFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>

#include <cstdlib>
#include <iostream>

namespace cli {

int RunGraph(const std::vector<std::string>& args) {
    SongSwitches switches;
    int width = 600, height = 200;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (EndOfOptions(args, i, files))
            break;
        if (args[i] == "--width")
            width = ParseInt(OptionValue(args, i), 21, 20000, "--width");
        else if (args[i] == "--height")
            height = ParseInt(OptionValue(args, i), 11, 20000, "--height");
        else if (ParseSwitchOption(args, i, switches, false))
            continue;
        else if (args[i].size() > 1 && args[i][0] == '-')
            throw UsageError{"unknown option " + args[i]};
        else
            files.push_back(args[i]);
    }
    if (files.size() != 2)
        throw UsageError{"graph takes an input file and an output picture"};

    SongFile song;
    if (!LoadForCli(song, files[0], switches))
        return kExitFailure;

    // Text needs a font database, which needs a GUI application; no display is required.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Qt's note about a missing runtime folder says nothing about the picture.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && !text.startsWith(QLatin1String("QStandardPaths:")))
            std::cerr << text.toStdString() << "\n";
    });
    int argc = 1;
    char name[] = "quellor-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    const QImage image = PolyphonyGraphPainter::Render(song, width, height);
    // Encoded whole first, then written as every output file is: the previous picture stays
    // until the new one is complete, and the name is used as the system gave it.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    std::string error;
    if (image.isNull() || !image.save(&buffer, "PNG")) {
        std::cerr << "quellor-cli: cannot write '" << files[1]
                  << "': the picture could not be made\n";
        return kExitFailure;
    }
    const bool written = WriteOutput(
        files[1],
        [&](ByteSink& sink) {
            sink.Write(reinterpret_cast<const std::uint8_t*>(png.constData()),
                       static_cast<std::size_t>(png.size()));
            return true;
        },
        error);
    if (!written) {
        std::cerr << "quellor-cli: cannot write '" << files[1] << "': " << error << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace cli
