#pragma once

#include <QString>

class CMainFrame;

// Pictures of the program's windows for its documentation, drawn the way the user sees them.
// Each picture with an empty path is left out.
struct ScreenshotPaths {
    QString mainWindow;
    QString polyphonyWindow;
    QString batchProcessor;
    // The songs the Batch Processor's picture shows being processed: the ".mid" files of this
    // folder, copied first into a temporary folder of their own.
    QString batchFolder;
};

// Writes the pictures as PNG files; false, with the reason in `error`, when one could not be
// made or written. The Batch Processor's picture shows a finished run: it waits for it.
bool TakeScreenshots(CMainFrame& frame, const ScreenshotPaths& paths, QString& error);
