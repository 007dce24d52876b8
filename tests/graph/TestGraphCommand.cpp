// quellor-cli graph: the picture it writes is the painter's for the song as loaded, at the size
// asked for; a size out of range or a file that is not a song leaves no picture behind.
#include "graph/PolyphonyGraphPainter.h"
#include "song/SongFile.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kDemo = QStringLiteral(QUELLOR_SOURCE_DIR "/examples/demo.mid");

int RunGraph(const QStringList& arguments) {
    QProcess cli;
    cli.start(QStringLiteral(QUELLOR_CLI), QStringList{"graph"} + arguments);
    if (!cli.waitForFinished(30000))
        return -1;
    return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
}

} // namespace

class TestGraphCommand : public QObject {
    Q_OBJECT

private slots:
    void writesThePaintersPictureAtTheAskedSize() {
        QTemporaryDir dir;
        const QString png = dir.filePath("graph.png");
        QCOMPARE(RunGraph({kDemo, png, "--width", "320", "--height", "90"}), 0);
        const QImage written(png);
        QCOMPARE(written.size(), QSize(320, 90));

        SongFile song;
        QVERIFY(song.LoadFile(kDemo.toStdString()));
        const QImage drawn = PolyphonyGraphPainter::Render(song, 320, 90);
        QCOMPARE(written.convertToFormat(QImage::Format_RGB32),
                 drawn.convertToFormat(QImage::Format_RGB32));
    }

    void refusalsWriteNoPicture() {
        QTemporaryDir dir;
        const QString png = dir.filePath("graph.png");
        const QString notASong = dir.filePath("text.mid");
        QFile text(notASong);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a song");
        text.close();
        const struct {
            QStringList arguments;
            int exitCode;
        } cases[] = {{{kDemo, png, "--width", "20"}, 2},
                     {{kDemo, png, "--height", "20001"}, 2},
                     {{kDemo}, 2},
                     {{notASong, png}, 1}};
        for (const auto& c : cases) {
            QCOMPARE(RunGraph(c.arguments), c.exitCode);
            QVERIFY2(!QFile::exists(png), qPrintable(c.arguments.join(' ')));
        }
    }
};

QTEST_MAIN(TestGraphCommand)
#include "TestGraphCommand.moc"
