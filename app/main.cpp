// quellor [FILE]: the desktop program, opened on FILE when one is named.
#include "app/CMainFrame.h"
#include "app/CQuellorApp.h"
#include "app/Screenshots.h"
#include "app/UserPrompt.h"
#include "song/AtomicFile.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // Ended while saving, the program leaves no half-written temporary file behind.
    RemoveTemporaryFilesOnSignals({SIGINT, SIGTERM});
    QApplication::setApplicationVersion(QStringLiteral(QUELLOR_VERSION));
    QApplication::setApplicationDisplayName(QStringLiteral("Quellor"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prepares Standard MIDI Files for SP-MIDI phones."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The song to open."),
                                 QStringLiteral("[file]"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Write a picture of the main window to <png> and quit; messages go to "
                       "the error output instead of boxes."),
        QStringLiteral("png"));
    const QCommandLineOption polyphonyShot(
        QStringLiteral("screenshot-polyphony"),
        QStringLiteral("With --screenshot: also a picture of the Polyphony window."),
        QStringLiteral("png"));
    const QCommandLineOption batchShot(
        QStringLiteral("screenshot-batch"),
        QStringLiteral("With --screenshot: also a picture of the Batch Processor after a run "
                       "over copies of the songs in --batch-folder."),
        QStringLiteral("png"));
    const QCommandLineOption batchFolder(
        QStringLiteral("batch-folder"),
        QStringLiteral("The songs of the Batch Processor's picture (default: the folder of "
                       "the song opened)."),
        QStringLiteral("folder"));
    parser.addOptions({screenshot, polyphonyShot, batchShot, batchFolder});
    parser.process(application);

    ScreenshotPaths pictures{parser.value(screenshot), parser.value(polyphonyShot),
                             parser.value(batchShot), parser.value(batchFolder)};
    const bool screenshots = !pictures.mainWindow.isEmpty();
    if (pictures.batchFolder.isEmpty() && !parser.positionalArguments().isEmpty())
        pictures.batchFolder = QFileInfo(parser.positionalArguments().front()).absolutePath();
    if (screenshots)
        UserPrompt::SetHandler(
            [](UserPrompt::Icon, const QString& text, QMessageBox::StandardButtons) {
                std::fprintf(stderr, "quellor: %s\n", qPrintable(QString(text).replace('\n', ' ')));
                return QMessageBox::No;
            });

    CQuellorApp app;
    if (!app.InitInstance(parser.positionalArguments()))
        return 1;
    int result = 0;
    if (screenshots) {
        QTimer::singleShot(0, &app, [&app, &pictures, &result] {
            QString error;
            if (!TakeScreenshots(*app.Frame(), pictures, error)) {
                std::fprintf(stderr, "quellor: %s\n", qPrintable(error));
                result = 1;
            }
            app.Frame()->close();
        });
    }
    const int exitCode = QApplication::exec();
    app.ExitInstance();
    return result != 0 ? result : exitCode;
}
