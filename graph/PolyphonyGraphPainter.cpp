#include "graph/PolyphonyGraphPainter.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPolygon>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

const QColor kGridColour(200, 200, 230);
const QColor kCurveColour(100, 200, 250);
const QColor kFillColour(50, 80, 170);

QPen CosmeticPen(const QColor& colour, Qt::PenStyle style) {
    QPen pen(colour, 1, style);
    pen.setCosmetic(true);
    return pen;
}

void DrawLabel(QPainter& painter, const QFontMetrics& metrics, const QRect& rect,
               const QString& text) {
    if (!rect.isEmpty())
        painter.drawText(rect.left(), rect.top() + metrics.ascent(), text);
}

// The highest sum of the enabled channels' notes sounding within each plot column: a sum
// holds from its time to the next change, so a column takes the sum carried into it and
// every sum that starts inside it.
std::vector<std::uint64_t> ColumnPeaks(const SongData& song, const PolyphonyGraphLayout& layout) {
    const int columns = layout.plot.width();
    std::vector<std::uint64_t> peaks(static_cast<std::size_t>(std::max(columns, 0)), 0);
    if (columns <= 0 || song.lastTime == 0)
        return peaks;
    const std::int64_t start = layout.range.start;
    const std::int64_t end = start + layout.range.span;
    const std::int64_t span = layout.range.span;
    std::uint64_t level = 0; // the sum since the last change
    int column = -1;         // the column of the last change; -1: before the range
    song.VisitPolyphonySums([&](std::uint32_t time, std::uint64_t sum) {
        const std::int64_t t = time;
        if (t < start) {
            level = sum;
            return;
        }
        if (t >= end)
            return;
        const int c = static_cast<int>(((t - start) * columns) / span);
        for (int k = column + 1; k < c; ++k)
            peaks[k] = std::max(peaks[k], level);
        // The sum before this change still sounds at the column's first time.
        if (c > column && t > layout.ColumnStart(c))
            peaks[c] = std::max(peaks[c], level);
        peaks[c] = std::max(peaks[c], sum);
        level = sum;
        column = c;
    });
    for (int k = column + 1; k < columns; ++k)
        peaks[k] = std::max(peaks[k], level);
    return peaks;
}

void DrawCurve(QPainter& painter, const SongData& song, const PolyphonyGraphLayout& layout) {
    const std::vector<std::uint64_t> peaks = ColumnPeaks(song, layout);
    if (peaks.empty() || song.lastTime == 0)
        return;
    const auto levelY = [&](std::uint64_t sum) {
        return layout.Y(static_cast<std::int64_t>(
            std::min<std::uint64_t>(sum, static_cast<std::uint64_t>(layout.maxLevel))));
    };
    // One rectangle per run of equal columns; the outline follows the runs' tops.
    QPolygon outline;
    const int left = layout.plot.left();
    const int bottom = layout.plot.bottom();
    std::size_t runStart = 0;
    for (std::size_t k = 1; k <= peaks.size(); ++k) {
        if (k < peaks.size() && peaks[k] == peaks[runStart])
            continue;
        const int x0 = left + static_cast<int>(runStart);
        const int x1 = left + static_cast<int>(k) - 1;
        const int y = levelY(peaks[runStart]);
        if (peaks[runStart] > 0)
            painter.fillRect(QRect(QPoint(x0, y), QPoint(x1, bottom)), kFillColour);
        if (!outline.isEmpty())
            outline << QPoint(x0, outline.last().y());
        outline << QPoint(x0, y) << QPoint(x1, y);
        runStart = k;
    }
    painter.setPen(CosmeticPen(kCurveColour, Qt::SolidLine));
    painter.drawPolyline(outline);
}

} // namespace

PolyphonyGraphPainter::TimeRange PolyphonyGraphPainter::WholeSong(const SongData& song) {
    return {0, song.lastTime};
}

QFont PolyphonyGraphPainter::Font() {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(13);
    font.setWeight(QFont::Thin);
    return font;
}

PolyphonyGraphLayout PolyphonyGraphPainter::Layout(const SongData& song, int w, int h,
                                                   TimeRange range) {
    return PolyphonyGraphLayout::Compute(QFontMetrics(Font()), w, h, song.sequencePolyphony, range);
}

void PolyphonyGraphPainter::Draw(QPainter& painter, const SongData& song, int w, int h) {
    Draw(painter, song, w, h, WholeSong(song));
}

void PolyphonyGraphPainter::Draw(QPainter& painter, const SongData& song, int w, int h,
                                 TimeRange range) {
    const PolyphonyGraphLayout layout = Layout(song, w, h, range);
    if (layout.plot.isEmpty())
        return;
    painter.save();
    const QFont font = Font();
    painter.setFont(font);
    const QFontMetrics metrics(font);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QRect& plot = layout.plot;

    // The grid: level lines (every level where they lie apart, else the numbered ones) and a
    // line at every time label.
    painter.setPen(CosmeticPen(kGridColour, Qt::DotLine));
    if (layout.everyLevelLine) {
        for (std::int64_t v = 1; v <= layout.maxLevel; ++v)
            painter.drawLine(plot.left(), layout.Y(v), plot.right(), layout.Y(v));
    } else {
        for (const PolyphonyGraphLayout::Tick& level : layout.levels)
            painter.drawLine(plot.left(), level.position, plot.right(), level.position);
    }
    for (const PolyphonyGraphLayout::Tick& time : layout.times)
        painter.drawLine(time.position, plot.top(), time.position, plot.bottom());

    // The reference line at four notes and the time axis.
    painter.setPen(CosmeticPen(kGridColour, Qt::SolidLine));
    if (layout.maxLevel >= 4)
        painter.drawLine(plot.left(), layout.Y(4), plot.right(), layout.Y(4));
    painter.drawLine(plot.left(), plot.bottom(), plot.right(), plot.bottom());

    DrawCurve(painter, song, layout);

    painter.setPen(QPen(Qt::black));
    for (const auto* ticks : {&layout.levels, &layout.times})
        for (const PolyphonyGraphLayout::Tick& tick : *ticks)
            DrawLabel(painter, metrics, tick.label, tick.text);
    DrawLabel(painter, metrics, layout.notesCaption, PolyphonyGraphLayout::kNotesCaption);
    DrawLabel(painter, metrics, layout.secondsCaption, PolyphonyGraphLayout::kSecondsCaption);
    painter.restore();
}

QImage PolyphonyGraphPainter::Render(const SongData& song, int w, int h) {
    return Render(song, w, h, WholeSong(song));
}

QImage PolyphonyGraphPainter::Render(const SongData& song, int w, int h, TimeRange range) {
    QImage image(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    Draw(painter, song, w, h, range);
    return image;
}
