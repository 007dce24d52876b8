// quellor [FILE]: the desktop program, opened on FILE when one is named.
#include "app/CMainFrame.h"
#include "app/CQuellorApp.h"
#include "app/UserPrompt.h"
#include "song/AtomicFile.h"

#include <QApplication>
#include <QCommandLineParser>
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
        QStringLiteral("Write a picture of the window to <png> and quit; messages go to the "
                       "error output instead of boxes."),
        QStringLiteral("png"));
    parser.addOption(screenshot);
    parser.process(application);

    const QString picture = parser.value(screenshot);
    if (!picture.isEmpty())
        UserPrompt::SetHandler(
            [](UserPrompt::Icon, const QString& text, QMessageBox::StandardButtons) {
                std::fprintf(stderr, "quellor: %s\n", qPrintable(QString(text).replace('\n', ' ')));
                return QMessageBox::No;
            });

    CQuellorApp app;
    if (!app.InitInstance(parser.positionalArguments()))
        return 1;
    int result = 0;
    if (!picture.isEmpty()) {
        QTimer::singleShot(0, &app, [&app, &picture, &result] {
            app.Frame()->UpdateActions();
            if (!app.Frame()->grab().save(picture, "PNG")) {
                std::fprintf(stderr, "quellor: cannot write %s\n", qPrintable(picture));
                result = 1;
            }
            app.Frame()->close();
        });
    }
    const int exitCode = QApplication::exec();
    app.ExitInstance();
    return result != 0 ? result : exitCode;
}
