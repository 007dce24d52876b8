#include "app/Screenshots.h"
#include "app/CDlgBatch.h"
#include "app/CDlgPolyphony.h"
#include "app/CMainFrame.h"
#include "app/CQuellorView.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

namespace {

// A batch of a few small songs ends in well under a second; this only keeps a run that
// hangs from keeping the program.
constexpr int kBatchTimeoutMs = 60000;
constexpr int kBatchWidth = 840;

bool Save(QWidget& window, const QString& path, QString& error) {
    window.show();
    QApplication::processEvents();
    if (window.grab().save(path, "PNG"))
        return true;
    error = QStringLiteral("cannot write %1").arg(path);
    return false;
}

bool SaveBatchProcessor(CMainFrame& frame, const ScreenshotPaths& paths, QString& error) {
    const QTemporaryDir scratch;
    const QDir source(scratch.path() + QStringLiteral("/songs"));
    const QDir destination(scratch.path() + QStringLiteral("/songs.sp"));
    if (!scratch.isValid() || !source.mkpath(QStringLiteral(".")) ||
        !destination.mkpath(QStringLiteral("."))) {
        error = QStringLiteral("cannot make a temporary folder");
        return false;
    }
    const QDir songs(paths.batchFolder);
    for (const QString& name : songs.entryList({QStringLiteral("*.mid")}, QDir::Files))
        QFile::copy(songs.filePath(name), source.filePath(name));

    CDlgBatch batch(&frame);
    batch.findChild<QComboBox*>(QStringLiteral("sourceCombo"))->setEditText(source.path());
    batch.findChild<QComboBox*>(QStringLiteral("destinationCombo"))
        ->setEditText(destination.path());
    // Wide enough for the results with their check counts.
    batch.resize(std::max(batch.sizeHint().width(), kBatchWidth), batch.sizeHint().height());
    batch.show();
    QEventLoop loop;
    QObject::connect(&batch, &CDlgBatch::runFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kBatchTimeoutMs, &loop, &QEventLoop::quit);
    batch.findChild<QPushButton*>(QStringLiteral("runButton"))->click();
    if (batch.IsRunning())
        loop.exec();
    const bool saved = Save(batch, paths.batchProcessor, error);
    batch.done(QDialog::Accepted);
    return saved;
}

} // namespace

bool TakeScreenshots(CMainFrame& frame, const ScreenshotPaths& paths, QString& error) {
    frame.UpdateActions();
    if (!paths.mainWindow.isEmpty() && !Save(frame, paths.mainWindow, error))
        return false;
    if (!paths.polyphonyWindow.isEmpty()) {
        frame.View().OnViewPolyphony();
        CDlgPolyphony* polyphony = frame.View().PolyphonyWindow();
        const bool saved = Save(*polyphony, paths.polyphonyWindow, error);
        polyphony->hide();
        if (!saved)
            return false;
    }
    if (!paths.batchProcessor.isEmpty() && !SaveBatchProcessor(frame, paths, error))
        return false;
    return true;
}
