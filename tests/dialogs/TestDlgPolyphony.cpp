// The "Polyphony Sequence" window: the graph's pixels, its cached picture, and the channel
// boxes that enable and mute channels.
#include "CDlgPolyphony.h"
#include "CPolyphonyGraph.h"

#include "SongFile.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <set>

namespace {

const QRgb kGrid = qRgb(200, 200, 230);
const QRgb kFill = qRgb(50, 80, 170);

int CountInColumn(const QImage& image, int x, int top, int bottom, QRgb colour) {
    int count = 0;
    for (int y = top; y <= bottom; ++y)
        count += image.pixel(x, y) == colour;
    return count;
}

int CountInImage(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
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

// What the graph control shows at 600 x 200.
QImage Picture(CPolyphonyGraph& graph) {
    return graph.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A 16 s song (division 480) with a three-note chord on channel 1 from 1 s to 9 s and
// single notes on channel 2 at 1-2 s and 3-4 s.
void MakeChordSong(SongData& song) {
    song.division = 480;
    song.firstTime = 0;
    song.lastTime = 16000;
    for (int ch : {0, 1}) {
        song.used[ch] = true;
        song.enabled[ch] = true;
        song.priority[ch] = ch + 1;
        song.polyphony[ch] = ch == 0 ? 3 : 1;
    }
    song.timelines[0].Set(1000, 3);
    song.timelines[0].Set(9000, 0);
    song.timelines[1].Set(1000, 1);
    song.timelines[1].Set(2000, 0);
    song.timelines[1].Set(3000, 1);
    song.timelines[1].Set(4000, 0);
    song.ComputeMipTable();
    song.ComputeSequencePolyphony();
}

} // namespace

class TestDlgPolyphony : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void barGridOfA16SecondSong();
    void stepCurveSumsTheChannelsThatChange();
    void pictureIsRedrawnOnlyAfterRefresh();
    void boxesFollowTheSong();
    void boxClickMutesAndUnmutes();
    void noneThenAll();
    void withoutSongNothingHappens();

private:
    SongFile real_;
};

void TestDlgPolyphony::initTestCase() {
    const QString path = QStringLiteral(QUELLOR_SONGS_DIR "/tttheme2.mid");
    if (!QFile::exists(path))
        QSKIP("the openmsx songs are not installed");
    QVERIFY(real_.LoadFile(path.toStdString()));
    QVERIFY(real_.CountUsedChannels() > 2);
}

void TestDlgPolyphony::barGridOfA16SecondSong() {
    // 16 s with division 480: B = 33, lines every 72 pixels from x = 20, labels 1 ... 8
    // six pixels to the right of the lines (the ninth falls outside).
    SongData song;
    song.division = 480;
    song.lastTime = 16000;
    CPolyphonyGraph graph;
    graph.resize(600, 200);
    graph.refresh(&song);
    const QImage image = Picture(graph);

    std::set<int> lines;
    for (int x = 20; x <= 596; x += 72)
        lines.insert(x);
    QCOMPARE(lines.size(), std::size_t(9));
    for (int x = 0; x < 600; ++x) {
        const int dots = CountInColumn(image, x, 40, 199, kGrid);
        if (lines.count(x))
            QVERIFY2(dots >= 40, qPrintable(QString("no bar line at x = %1").arg(x)));
        else
            QVERIFY2(dots == 0, qPrintable(QString("stray line at x = %1").arg(x)));
    }
    for (int n = 1; n <= 8; ++n)
        QVERIFY2(HasDarkPixel(image, 26 + 72 * (n - 1), 2, 10, 14),
                 qPrintable(QString("no label %1").arg(n)));
    QVERIFY(!HasDarkPixel(image, 60, 2, 30, 14));

    // No polyphony: a single level line at y = 18 labelled 1, no curve.
    QVERIFY(CountInColumn(image, 300, 18, 18, kGrid) + CountInColumn(image, 301, 18, 18, kGrid) +
                CountInColumn(image, 302, 18, 18, kGrid) >=
            1);
    QVERIFY(HasDarkPixel(image, 8, 18, 10, 14));
    QCOMPARE(CountInImage(image, kFill), 0);
}

void TestDlgPolyphony::stepCurveSumsTheChannelsThatChange() {
    SongData song;
    MakeChordSong(song);
    QCOMPARE(song.sequencePolyphony, 4);
    CPolyphonyGraph graph;
    graph.resize(600, 200);
    graph.refresh(&song);
    const QImage image = Picture(graph);

    // x(t) = 20 + t * 580 / 16000, y(v) = 208 - v * 190 / 4.
    // 1-2 s: four notes, filled from y(4) = 18 down.
    QCOMPARE(image.pixel(70, 30), kFill);
    QCOMPARE(image.pixel(70, 199), kFill);
    // 2-3 s: channel 2 alone changes, to 0: nothing filled.
    QCOMPARE(CountInColumn(image, 110, 20, 199, kFill), 0);
    // 3-4 s: channel 2's one note alone, up to y(1) = 161.
    QCOMPARE(image.pixel(150, 185), kFill);
    QVERIFY(image.pixel(150, 150) != kFill);
    // After 4 s nothing sounds that the sums count.
    QCOMPARE(CountInColumn(image, 400, 20, 199, kFill), 0);
}

void TestDlgPolyphony::pictureIsRedrawnOnlyAfterRefresh() {
    SongData song;
    MakeChordSong(song);
    CPolyphonyGraph graph;
    graph.resize(600, 200);
    graph.refresh(&song);
    const QImage before = Picture(graph);
    QVERIFY(CountInImage(before, kFill) > 0);

    song.enabled.fill(false);
    song.ComputeSequencePolyphony();
    QCOMPARE(Picture(graph), before); // repaint copies the cached picture
    graph.refresh(&song);
    QCOMPARE(CountInImage(Picture(graph), kFill), 0);
}

void TestDlgPolyphony::boxesFollowTheSong() {
    real_.enabled.fill(true);
    int muted = -1;
    for (int ch = 0; ch < 16 && muted < 0; ++ch)
        if (real_.IsChannelUsed(ch))
            muted = ch;
    real_.enabled[muted] = false; // as the channel list's Mute does

    CDlgPolyphony dialog;
    dialog.refresh(&real_);
    for (int ch = 0; ch < 16; ++ch) {
        auto* box = dialog.findChild<QCheckBox*>(QStringLiteral("channelBox%1").arg(ch + 1));
        QCOMPARE(box->text(), QStringLiteral("Chn.: %1").arg(ch + 1));
        QCOMPARE(box->isEnabled(), real_.IsChannelUsed(ch));
        QCOMPARE(box->isChecked(), real_.IsChannelUsed(ch) && ch != muted);
    }
    real_.enabled[muted] = true;
}

void TestDlgPolyphony::boxClickMutesAndUnmutes() {
    real_.enabled.fill(true);
    real_.ComputeMipTable();
    real_.ComputeSequencePolyphony();
    const int fullPolyphony = real_.sequencePolyphony;
    int ch = 0;
    while (!real_.IsChannelUsed(ch) || real_.mip[ch] == 0)
        ++ch;

    CDlgPolyphony dialog;
    dialog.show();
    dialog.refresh(&real_);
    QSignalSpy changed(&dialog, &CDlgPolyphony::channelsChanged);
    auto* box = dialog.findChild<QCheckBox*>(QStringLiteral("channelBox%1").arg(ch + 1));

    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(!real_.enabled[ch]);
    QCOMPARE(real_.mip[ch], 0);
    QVERIFY(real_.sequencePolyphony <= fullPolyphony);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.takeFirst().at(0).toInt(), ch + 1);

    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(real_.enabled[ch]);
    QVERIFY(real_.mip[ch] > 0);
    QCOMPARE(real_.sequencePolyphony, fullPolyphony);
    QCOMPARE(changed.takeFirst().at(0).toInt(), ch + 1);
}

void TestDlgPolyphony::noneThenAll() {
    real_.enabled.fill(true);
    real_.ComputeSequencePolyphony();
    CDlgPolyphony dialog;
    dialog.show();
    dialog.refresh(&real_);
    auto* graph = dialog.findChild<CPolyphonyGraph*>("graph");
    QVERIFY(CountInImage(Picture(*graph), kFill) > 0);
    QSignalSpy changed(&dialog, &CDlgPolyphony::channelsChanged);

    QTest::mouseClick(dialog.findChild<QPushButton*>("noneButton"), Qt::LeftButton);
    QCOMPARE(changed.takeFirst().at(0).toInt(), 0);
    QCOMPARE(real_.sequencePolyphony, 0);
    for (int ch = 0; ch < 16; ++ch) {
        QVERIFY(!real_.enabled[ch]);
        QVERIFY(
            !dialog.findChild<QCheckBox*>(QStringLiteral("channelBox%1").arg(ch + 1))->isChecked());
    }
    // One level line labelled 1 and no curve.
    const QImage none = Picture(*graph);
    QCOMPARE(CountInImage(none, kFill), 0);
    QVERIFY(HasDarkPixel(none, 8, 18, 10, 14));

    QTest::mouseClick(dialog.findChild<QPushButton*>("allButton"), Qt::LeftButton);
    QCOMPARE(changed.takeFirst().at(0).toInt(), 0);
    for (int ch = 0; ch < 16; ++ch) {
        QVERIFY(real_.enabled[ch]); // unused channels too
        auto* box = dialog.findChild<QCheckBox*>(QStringLiteral("channelBox%1").arg(ch + 1));
        QCOMPARE(box->isChecked(), real_.IsChannelUsed(ch));
        QCOMPARE(box->isEnabled(), real_.IsChannelUsed(ch));
    }
    QVERIFY(CountInImage(Picture(*graph), kFill) > 0);
}

void TestDlgPolyphony::withoutSongNothingHappens() {
    CDlgPolyphony dialog;
    dialog.show();
    QSignalSpy changed(&dialog, &CDlgPolyphony::channelsChanged);
    QTest::mouseClick(dialog.findChild<QPushButton*>("allButton"), Qt::LeftButton);
    QCOMPARE(changed.count(), 0);
    for (int ch = 0; ch < 16; ++ch)
        QVERIFY(
            !dialog.findChild<QCheckBox*>(QStringLiteral("channelBox%1").arg(ch + 1))->isEnabled());
    const QImage empty = Picture(*dialog.findChild<CPolyphonyGraph*>("graph"));
    QCOMPARE(empty.pixel(300, 100), qRgb(255, 255, 255));
}

QTEST_MAIN(TestDlgPolyphony)
#include "TestDlgPolyphony.moc"
