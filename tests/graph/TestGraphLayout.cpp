// The polyphony graph's layout and picture: labels that stay readable at every size, song
// length and polyphony, time labels in seconds on their grid lines, and a curve drawn per
// pixel column that loses no peak.
#include "graph/PolyphonyGraphLayout.h"
#include "graph/PolyphonyGraphPainter.h"
#include "song/SongData.h"

#include <QImage>
#include <QTest>

#include <memory>
#include <tuple>

namespace {

using Range = PolyphonyGraphLayout::TimeRange;

const QRgb kFill = qRgb(50, 80, 170);
const QRgb kOutline = qRgb(100, 200, 250);
constexpr qint64 kMinute = 60 * 1000;

PolyphonyGraphLayout Layout(int w, int h, std::int64_t maxLevel, Range range) {
    return PolyphonyGraphLayout::Compute(QFontMetrics(PolyphonyGraphPainter::Font()), w, h,
                                         maxLevel, range);
}

// The curve's fill or its outline.
bool IsCurve(QRgb pixel) {
    return pixel == kFill || pixel == kOutline;
}

bool HasDarkPixel(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

// A song of `length` ms whose channels hold the given (channel, time, notes) entries.
std::unique_ptr<SongData> Song(std::uint32_t length,
                               std::initializer_list<std::tuple<int, int, int>> entries) {
    auto made = std::make_unique<SongData>();
    SongData& song = *made;
    song.division = 480;
    song.lastTime = length;
    for (auto [ch, time, notes] : entries) {
        song.used[ch] = song.enabled[ch] = true;
        song.timelines[ch].Set(static_cast<std::uint32_t>(time), static_cast<std::uint32_t>(notes));
    }
    song.ComputeSequencePolyphony();
    return made;
}

} // namespace

class TestGraphLayout : public QObject {
    Q_OBJECT

private slots:
    void labelsNeverOverlapNorLeaveThePicture_data() {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<qint64>("maxLevel");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("span");
        // Room for at least this many time labels and level labels.
        QTest::addColumn<int>("timeLabels");
        QTest::addColumn<int>("levelLabels");
        QTest::newRow("the window's graph, 16 s")
            << 600 << 200 << qint64(10) << qint64(0) << qint64(16000) << 10 << 5;
        QTest::newRow("narrow, 16 s")
            << 160 << 90 << qint64(10) << qint64(0) << qint64(16000) << 2 << 1;
        QTest::newRow("10 minutes")
            << 600 << 200 << qint64(24) << qint64(0) << 10 * kMinute << 5 << 3;
        QTest::newRow("10 minutes, narrow")
            << 200 << 120 << qint64(24) << qint64(0) << 10 * kMinute << 2 << 2;
        QTest::newRow("2 hours, maximised")
            << 1920 << 1080 << qint64(64) << qint64(0) << 120 * kMinute << 10 << 20;
        QTest::newRow("49 days") << 4000 << 300 << qint64(127) << qint64(0) << qint64(4294967295)
                                 << 10 << 5;
        QTest::newRow("a huge polyphony, tall")
            << 200 << 800 << qint64(2032) << qint64(0) << qint64(16000) << 2 << 10;
        QTest::newRow("zoomed into a long song")
            << 600 << 200 << qint64(16) << qint64(123456) << qint64(1500) << 5 << 3;
        QTest::newRow("zoomed to 1 ms")
            << 600 << 200 << qint64(2) << qint64(9999999) << qint64(1) << 1 << 1;
        QTest::newRow("no room for text")
            << 40 << 30 << qint64(8) << qint64(0) << qint64(16000) << 0 << 0;
    }
    void labelsNeverOverlapNorLeaveThePicture() {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(qint64, maxLevel);
        QFETCH(qint64, start);
        QFETCH(qint64, span);
        QFETCH(int, timeLabels);
        QFETCH(int, levelLabels);
        const PolyphonyGraphLayout layout = Layout(w, h, maxLevel, {start, span});
        const std::vector<QRect> labels = layout.LabelRects();
        for (std::size_t i = 0; i < labels.size(); ++i) {
            QVERIFY2(layout.picture.contains(labels[i]), qPrintable(QString::number(i)));
            for (std::size_t j = i + 1; j < labels.size(); ++j)
                QVERIFY2(!labels[i].intersects(labels[j]),
                         qPrintable(QString("labels %1 and %2 overlap").arg(i).arg(j)));
        }
        int times = 0;
        for (std::size_t i = 0; i < layout.times.size(); ++i) {
            const auto& tick = layout.times[i];
            QVERIFY(tick.value >= start && tick.value <= start + span);
            QVERIFY(tick.position >= layout.plot.left() &&
                    tick.position <= layout.plot.right() + 1);
            if (i > 0)
                QVERIFY(tick.position > layout.times[i - 1].position);
            if (!tick.label.isEmpty()) {
                ++times;
                // Centred on its line, or moved in from the picture's edge.
                QVERIFY(qAbs(tick.label.center().x() - tick.position) <= 1 ||
                        tick.label.left() == 0 || tick.label.right() == w - 1);
            }
        }
        int levels = 0;
        for (const auto& tick : layout.levels)
            levels += !tick.label.isEmpty();
        QVERIFY2(times >= timeLabels, qPrintable(QString("%1 time labels").arg(times)));
        QVERIFY2(levels >= levelLabels, qPrintable(QString("%1 level labels").arg(levels)));
        // Where there is text, both axes are captioned.
        QCOMPARE(!layout.notesCaption.isEmpty(), timeLabels > 0);
        QCOMPARE(!layout.secondsCaption.isEmpty(), timeLabels > 0);
    }

    void timeLabelsReadSecondsOnTheirLines() {
        // 16 s over the window's 600 pixels: a label every second, 0 at the curve's start.
        PolyphonyGraphLayout layout = Layout(600, 200, 10, {0, 16000});
        QVERIFY(layout.times.size() >= 16);
        for (const auto& tick : layout.times) {
            QCOMPARE(tick.value % 1000, 0);
            QCOMPARE(tick.position, layout.X(tick.value));
            if (!tick.label.isEmpty())
                QCOMPARE(tick.text, QString::number(tick.value / 1000));
        }
        QCOMPARE(layout.times.front().position, layout.plot.left());
        // A 10-minute song labels whole minutes or their parts, never every second.
        layout = Layout(600, 200, 10, {0, 10 * kMinute});
        QVERIFY(layout.times[1].value - layout.times[0].value >= 15000);
        // Zoomed into 1.5 s, the labels carry the tenths of a second.
        layout = Layout(600, 200, 10, {123456, 1500});
        for (const auto& tick : layout.times)
            if (!tick.label.isEmpty())
                QCOMPARE(tick.text, QString::number(tick.value / 1000.0, 'f', 1));
    }

    void levelLabelsKeepAFontHeightApart() {
        const int lineHeight = QFontMetrics(PolyphonyGraphPainter::Font()).height();
        const PolyphonyGraphLayout layout = Layout(600, 200, 127, {0, 16000});
        QCOMPARE(layout.levels.back().position >= layout.plot.top(), true);
        for (std::size_t i = 1; i < layout.levels.size(); ++i)
            QVERIFY(layout.levels[i - 1].position - layout.levels[i].position >= lineHeight);
        QVERIFY(!layout.everyLevelLine);
        QCOMPARE(layout.Y(0), layout.plot.bottom());
        QCOMPARE(layout.Y(127), layout.plot.top());
    }

    void pictureShowsCaptionsAndTheCurveOfTheRangeShown() {
        // A three-note chord from 5 s to 6 s of a 10-minute song.
        const auto song = Song(10 * kMinute, {{0, 5000, 3}, {0, 6000, 0}});
        const QImage whole = PolyphonyGraphPainter::Render(*song, 600, 200);
        const PolyphonyGraphLayout layout =
            PolyphonyGraphPainter::Layout(*song, 600, 200, PolyphonyGraphPainter::WholeSong(*song));
        QVERIFY(HasDarkPixel(whole, layout.notesCaption));
        QVERIFY(HasDarkPixel(whole, layout.secondsCaption));
        // Zoomed to 4-8 s, the chord fills the middle quarter of the plot up to level 3.
        const Range zoomed{4000, 4000};
        const QImage image = PolyphonyGraphPainter::Render(*song, 600, 200, zoomed);
        const PolyphonyGraphLayout z = PolyphonyGraphPainter::Layout(*song, 600, 200, zoomed);
        const int x = z.X(5500);
        QCOMPARE(image.pixel(x, z.Y(3) + 2), kFill);
        QCOMPARE(image.pixel(x, z.plot.bottom() - 1), kFill);
        QVERIFY(image.pixel(z.X(4500), z.plot.bottom() - 1) != kFill);
        QVERIFY(image.pixel(z.X(7000), z.plot.bottom() - 1) != kFill);
    }

    void aColumnKeepsThePeakOfEveryChangeInsideIt() {
        // 10 minutes over about 560 columns: a column is about a second. A chord of five
        // notes lasting 1 ms and a single note of 200 ms, both inside one column each, show
        // at their full height; the time between stays empty.
        const auto song =
            Song(10 * kMinute, {{0, 100000, 1}, {0, 100200, 0}, {1, 300000, 5}, {1, 300001, 0}});
        const PolyphonyGraphLayout layout =
            PolyphonyGraphPainter::Layout(*song, 600, 200, PolyphonyGraphPainter::WholeSong(*song));
        const QImage image = PolyphonyGraphPainter::Render(*song, 600, 200);
        QVERIFY(IsCurve(image.pixel(layout.X(300000), layout.Y(5) + 1)));
        QVERIFY(!IsCurve(image.pixel(layout.X(300000), layout.Y(5) - 2)));
        QVERIFY(IsCurve(image.pixel(layout.X(100000), layout.Y(1) + 1)));
        QVERIFY(!IsCurve(image.pixel(layout.X(100000), layout.Y(2))));
        int filled = 0;
        for (int x = layout.X(110000); x < layout.X(290000); ++x)
            filled += image.pixel(x, layout.plot.bottom() - 1) == kFill;
        QCOMPARE(filled, 0);
    }

    void tinyAndEmptyPicturesDrawWithoutFailing() {
        const auto song = Song(16000, {{0, 0, 2}, {0, 8000, 0}});
        for (auto [w, h] : {std::pair{1, 1}, {21, 11}, {0, 0}, {3000, 4}})
            QVERIFY(!PolyphonyGraphPainter::Render(*song, w, h).isNull());
        SongData empty;
        QVERIFY(!PolyphonyGraphPainter::Render(empty, 600, 200).isNull());
    }
};

QTEST_MAIN(TestGraphLayout)
#include "TestGraphLayout.moc"
