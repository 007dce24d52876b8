// The "Polyphony Sequence" window: the graph's pixels, its cached picture, and the channel
// boxes that enable and mute channels.
#include "app/CDlgPolyphony.h"
#include "app/CPolyphonyGraph.h"

#include "song/SongFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

namespace {

const QRgb kFill = qRgb(50, 80, 170);
const QRgb kOutline = qRgb(100, 200, 250);

// Pixels of `colour` in an area (by default the whole picture).
int Count(const QImage& image, QRgb colour, QRect area = {}) {
    area = area.isNull() ? image.rect() : area;
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixel(x, y) == colour;
    return count;
}

bool HasDarkPixel(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom() && y < image.height(); ++y)
        for (int x = area.left(); x <= area.right() && x < image.width(); ++x)
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

        const PolyphonyGraphLayout layout = graph.Layout();
        auto at = [&](int ms, int notes) { return image.pixel(layout.X(ms), layout.Y(notes)); };
        // 1-2 s: four notes, filled from the top level down.
        QCOMPARE(at(1500, 4) == kFill || at(1500, 4) == kOutline, true);
        QCOMPARE(at(1500, 3), kFill);
        QCOMPARE(image.pixel(layout.X(1500), layout.plot.bottom() - 1), kFill);
        // 2-3 s: channel 2 alone changes, to 0; channel 1's chord still counts.
        QCOMPARE(at(2500, 2), kFill);
        QVERIFY(at(2500, 3) != kFill && at(2500, 4) != kFill);
        // 3-4 s: four notes again; 4-9 s: the chord alone.
        QCOMPARE(at(3500, 3), kFill);
        QCOMPARE(at(6000, 2), kFill);
        QVERIFY(at(6000, 4) != kFill);
        // After 9 s nothing sounds.
        QCOMPARE(
            Count(image, kFill, QRect(layout.X(10000), layout.plot.top(), 1, layout.plot.height())),
            0);

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
        const PolyphonyGraphLayout noneLayout = graph->Layout();
        QCOMPARE(noneLayout.levels.size(), std::size_t{1});
        QCOMPARE(noneLayout.levels[0].text, QStringLiteral("1"));
        QVERIFY(HasDarkPixel(none, noneLayout.levels[0].label));

        QTest::mouseClick(dialog.findChild<QPushButton*>("allButton"), Qt::LeftButton);
        QCOMPARE(changed.takeFirst().at(0).toInt(), 0);
        for (int ch = 0; ch < 16; ++ch) {
            QVERIFY(real_.enabled[ch]); // unused channels too
            QCOMPARE(box(ch)->isChecked(), real_.IsChannelUsed(ch));
        }
        QVERIFY(Count(Picture(*graph), kFill) > 0);
    }

    void windowResizesAndTheGraphTakesTheRoom() {
        CDlgPolyphony dialog;
        dialog.Refresh(&real_);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* graph = dialog.findChild<CPolyphonyGraph*>("graph");
        auto* all = dialog.findChild<QPushButton*>("allButton");
        QVERIFY(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
        // The boxes over a 600 x 200 graph are the smallest size.
        QCOMPARE(dialog.minimumSize(), dialog.sizeHint());
        dialog.resize(1, 1);
        QCOMPARE(dialog.size(), dialog.minimumSize());
        QTRY_VERIFY(graph->height() == 200 && graph->width() >= 600);
        const QSize smallest = graph->size();
        const QPoint allAt = all->mapTo(&dialog, QPoint());

        dialog.resize(dialog.minimumSize() + QSize(400, 300));
        QTRY_COMPARE(graph->size(), smallest + QSize(400, 300));
        QCOMPARE(all->height(), dialog.findChild<QPushButton*>("noneButton")->height());
        QCOMPARE(all->mapTo(&dialog, QPoint()).y(), allAt.y());
        // Redrawn at the new size, with the curve across the width.
        const QImage wide = Picture(*graph);
        QCOMPARE(wide.size(), smallest + QSize(400, 300));
        QVERIFY(Count(wide, kFill, QRect(wide.width() - 200, 0, 180, wide.height())) > 0);

        dialog.showMaximized();
        QTRY_VERIFY(dialog.windowState() & Qt::WindowMaximized);
        QTRY_VERIFY(graph->height() > smallest.height() + 300 ||
                    graph->width() > smallest.width() + 400);
    }

    void wheelZoomsAtThePointerAndScrollBarFollows() {
        CDlgPolyphony dialog;
        dialog.Refresh(&real_);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* graph = dialog.findChild<CPolyphonyGraph*>("graph");
        auto* bar = dialog.findChild<QScrollBar*>("graphScrollBar");
        const std::int64_t length = real_.lastTime;
        QCOMPARE(graph->VisibleRange(), (CPolyphonyGraph::TimeRange{0, length}));
        QVERIFY(!bar->isEnabled());

        // A notch up at a quarter of the plot zooms in; the time under the pointer stays.
        const PolyphonyGraphLayout layout = graph->Layout();
        const int x = layout.plot.left() + layout.plot.width() / 4;
        const double at = double(x - layout.plot.left()) / layout.plot.width();
        Wheel(*graph, x, {0, 120});
        CPolyphonyGraph::TimeRange range = graph->VisibleRange();
        QVERIFY(qAbs(range.span - qRound64(length / CPolyphonyGraph::kZoomPerNotch)) <= 1);
        QVERIFY(qAbs(range.start + at * range.span - at * length) <= 2);
        QVERIFY(bar->isEnabled());
        QCOMPARE(bar->value(), static_cast<int>(range.start));
        // Ctrl+wheel zooms as well; the picture shows the narrower part.
        const QImage before = Picture(*graph);
        Wheel(*graph, x, {0, 120}, Qt::ControlModifier);
        QVERIFY(graph->VisibleRange().span < range.span);
        QVERIFY(Picture(*graph) != before);

        // Shift+wheel towards the user scrolls later by an eighth of the width shown.
        range = graph->VisibleRange();
        Wheel(*graph, x, {0, -120}, Qt::ShiftModifier);
        QCOMPARE(graph->VisibleRange().start,
                 range.start + qRound64(range.span / double(CPolyphonyGraph::kScrollFraction)));
        QCOMPARE(graph->VisibleRange().span, range.span);
        QCOMPARE(bar->value(), static_cast<int>(graph->VisibleRange().start));
        // A horizontal wheel to the left scrolls back.
        Wheel(*graph, x, {120, 0});
        QCOMPARE(graph->VisibleRange().start, range.start);
        // The scroll bar scrolls the graph, never past the song's end.
        bar->setValue(bar->maximum());
        QCOMPARE(graph->VisibleRange().start + graph->VisibleRange().span, length);

        // Zooming stops at a second; zooming out stops at the whole song.
        for (int i = 0; i < 60; ++i)
            Wheel(*graph, x, {0, 120});
        QCOMPARE(graph->VisibleRange().span, CPolyphonyGraph::kMinSpanMs);
        for (int i = 0; i < 60; ++i)
            Wheel(*graph, x, {0, -120});
        QCOMPARE(graph->VisibleRange(), (CPolyphonyGraph::TimeRange{0, length}));
        QVERIFY(!bar->isEnabled());

        // A channel box keeps the zoom; Home shows the whole song again.
        Wheel(*graph, x, {0, 240});
        range = graph->VisibleRange();
        int used = 0;
        while (!real_.IsChannelUsed(used))
            ++used;
        QTest::mouseClick(
            dialog.findChild<QCheckBox*>(QStringLiteral("channelBox%1").arg(used + 1)),
            Qt::LeftButton);
        QCOMPARE(graph->VisibleRange(), range);
        graph->setFocus();
        QTest::keyClick(graph, Qt::Key_Home);
        QCOMPARE(graph->VisibleRange(), (CPolyphonyGraph::TimeRange{0, length}));
        real_.enabled.fill(true);
        real_.ComputeSequencePolyphony();
    }

private:
    // A wheel turn over the graph at pixel column `x`, in the eighths of a degree Qt counts.
    static void Wheel(CPolyphonyGraph& graph, int x, QPoint angle,
                      Qt::KeyboardModifiers modifiers = {}) {
        const QPointF at(x, graph.height() / 2);
        QWheelEvent event(at, graph.mapToGlobal(at), QPoint(), angle, Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&graph, &event);
    }

    SongFile real_;
};

QTEST_MAIN(TestDlgPolyphony)
#include "TestDlgPolyphony.moc"
