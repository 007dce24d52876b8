// The "Polyphony Sequence" window: the graph's pixels, its cached picture, and the channel
// boxes that enable and mute channels.
#include "app/CDlgPolyphony.h"
#include "app/CPolyphonyGraph.h"

#include "song/SongFile.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

const QRgb kGrid = qRgb(200, 200, 230);
const QRgb kFill = qRgb(50, 80, 170);

// Pixels of `colour` in an area (by default the whole picture).
int Count(const QImage& image, QRgb colour, QRect area = {}) {
    area = area.isNull() ? image.rect() : area;
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixel(x, y) == colour;
    return count;
}

bool HasDarkPixel(const QImage& image, int left, int top, int width, int height) {
    for (int y = top; y < top + height && y < image.height(); ++y)
        for (int x = left; x < left + width && x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

// What the graph control shows.
QImage Picture(CPolyphonyGraph& graph) {
    return graph.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestDlgPolyphony : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const QString path = QStringLiteral(QUELLOR_SONGS_DIR "/tttheme2.mid");
        if (!QFile::exists(path))
            QSKIP("the openmsx songs are not installed");
        QVERIFY(real_.LoadFile(path.toStdString()));
        QVERIFY(real_.CountUsedChannels() > 2);
    }

    void barGridOfA16SecondSong() {
        // 16 s with division 480: B = 33, lines every 72 pixels from x = 20, labels 1 ... 8
        // six pixels to the right of the lines (the ninth falls outside).
        SongData song;
        song.division = 480;
        song.lastTime = 16000;
        CPolyphonyGraph graph;
        graph.resize(600, 200);
        graph.Refresh(&song);
        const QImage image = Picture(graph);
        for (int x = 0; x < 600; ++x) {
            const int dots = Count(image, kGrid, QRect(x, 40, 1, 160));
            if (x >= 20 && (x - 20) % 72 == 0)
                QVERIFY2(dots >= 40, qPrintable(QString("no bar line at x = %1").arg(x)));
            else
                QVERIFY2(dots == 0, qPrintable(QString("stray line at x = %1").arg(x)));
        }
        for (int n = 1; n <= 8; ++n)
            QVERIFY2(HasDarkPixel(image, 26 + 72 * (n - 1), 2, 10, 14),
                     qPrintable(QString("no label %1").arg(n)));
        QVERIFY(!HasDarkPixel(image, 60, 2, 30, 14));
        // No polyphony: a single level line at y = 18 labelled 1, no curve.
        QVERIFY(Count(image, kGrid, QRect(300, 18, 3, 1)) >= 1);
        QVERIFY(HasDarkPixel(image, 8, 18, 10, 14));
        QCOMPARE(Count(image, kFill), 0);
    }

    // A 16 s song (division 480) with a three-note chord on channel 1 from 1 s to 9 s and
    // single notes on channel 2 at 1-2 s and 3-4 s.
    void stepCurveHoldsEachChannelsCountAndIsCached() {
        SongData song;
        song.division = 480;
        song.lastTime = 16000;
        for (int ch : {0, 1}) {
            song.used[ch] = song.enabled[ch] = true;
            song.priority[ch] = ch + 1;
            song.polyphony[ch] = ch == 0 ? 3 : 1;
        }
        for (auto [ch, time, notes] : {std::tuple{0, 1000, 3},
                                       {0, 9000, 0},
                                       {1, 1000, 1},
                                       {1, 2000, 0},
                                       {1, 3000, 1},
                                       {1, 4000, 0}})
            song.timelines[ch].Set(time, notes);
        song.ComputeMipTable();
        song.ComputeSequencePolyphony();
        QCOMPARE(song.sequencePolyphony, 4);
        CPolyphonyGraph graph;
        graph.resize(600, 200);
        graph.Refresh(&song);
        const QImage image = Picture(graph);

        // x(t) = 20 + t * 580 / 16000, y(v) = 208 - v * 190 / 4.
        // 1-2 s: four notes, filled from y(4) = 18 down.
        QCOMPARE(image.pixel(70, 30), kFill);
        QCOMPARE(image.pixel(70, 199), kFill);
        // 2-3 s: channel 2 alone changes, to 0; channel 1's chord still counts: y(3) = 66.
        QCOMPARE(image.pixel(110, 70), kFill);
        QVERIFY(image.pixel(110, 60) != kFill);
        // 3-4 s: four notes again; 4-9 s: the chord alone.
        QCOMPARE(image.pixel(150, 30), kFill);
        QCOMPARE(image.pixel(300, 70), kFill);
        QVERIFY(image.pixel(300, 60) != kFill);
        // After 9 s nothing sounds.
        QCOMPARE(Count(image, kFill, QRect(400, 20, 1, 180)), 0);

        // A repaint copies the cached picture; only a refresh draws the song again.
        song.enabled.fill(false);
        song.ComputeSequencePolyphony();
        QCOMPARE(Picture(graph), image);
        graph.Refresh(&song);
        QCOMPARE(Count(Picture(graph), kFill), 0);
    }

    void boxesFollowTheSongNoneAndAll() {
        CDlgPolyphony dialog;
        dialog.show();
        auto box = [&dialog](int ch) {
            return dialog.findChild<QCheckBox*>(QStringLiteral("channelBox%1").arg(ch + 1));
        };
        auto* graph = dialog.findChild<CPolyphonyGraph*>("graph");
        QSignalSpy changed(&dialog, &CDlgPolyphony::channelsChanged);
        // Without a song the buttons do nothing.
        QTest::mouseClick(dialog.findChild<QPushButton*>("allButton"), Qt::LeftButton);
        QCOMPARE(changed.count(), 0);
        QVERIFY(!box(0)->isEnabled());

        real_.enabled.fill(true);
        int muted = 0;
        while (!real_.IsChannelUsed(muted))
            ++muted;
        real_.enabled[muted] = false; // as the channel list's Mute does
        real_.ComputeSequencePolyphony();
        dialog.Refresh(&real_);
        for (int ch = 0; ch < 16; ++ch) {
            QCOMPARE(box(ch)->isEnabled(), real_.IsChannelUsed(ch));
            QCOMPARE(box(ch)->isChecked(), real_.IsChannelUsed(ch) && ch != muted);
        }
        QVERIFY(Count(Picture(*graph), kFill) > 0);

        QTest::mouseClick(dialog.findChild<QPushButton*>("noneButton"), Qt::LeftButton);
        QCOMPARE(changed.takeFirst().at(0).toInt(), 0);
        QCOMPARE(real_.sequencePolyphony, 0);
        for (int ch = 0; ch < 16; ++ch)
            QVERIFY(!real_.enabled[ch] && !box(ch)->isChecked());
        // One level line labelled 1 and no curve.
        const QImage none = Picture(*graph);
        QCOMPARE(Count(none, kFill), 0);
        QVERIFY(HasDarkPixel(none, 8, 18, 10, 14));

        QTest::mouseClick(dialog.findChild<QPushButton*>("allButton"), Qt::LeftButton);
        QCOMPARE(changed.takeFirst().at(0).toInt(), 0);
        for (int ch = 0; ch < 16; ++ch) {
            QVERIFY(real_.enabled[ch]); // unused channels too
            QCOMPARE(box(ch)->isChecked(), real_.IsChannelUsed(ch));
        }
        QVERIFY(Count(Picture(*graph), kFill) > 0);
    }

private:
    SongFile real_;
};

QTEST_MAIN(TestDlgPolyphony)
#include "TestDlgPolyphony.moc"
