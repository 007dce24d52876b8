#include "graph/PolyphonyGraphPainter.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPen>

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
std::vector<std::uint32_t> ColumnPeaks(const PolyphonySeries& series,
                                       const PolyphonyGraphLayout& layout) {
    const int columns = layout.plot.width();
    std::vector<std::uint32_t> peaks(static_cast<std::size_t>(std::max(columns, 0)), 0);
    if (columns <= 0 || series.LastTime() == 0)
        return peaks;
    const std::int64_t start = layout.range.start;
    const std::int64_t end = start + layout.range.span;
    const std::int64_t span = layout.range.span;
    const std::vector<PolyphonySeries::Point>& points = series.Points();
    std::size_t i = series.FirstAtOrAfter(start);
    std::uint32_t level = i > 0 ? points[i - 1].sum : 0; // the sum since the last change
    int column = -1; // the column of the last change; -1: before the range
    for (; i < points.size() && points[i].time < end; ++i) {
        const std::int64_t t = points[i].time;
        const int c = static_cast<int>(((t - start) * columns) / span);
        for (int k = column + 1; k < c; ++k)
            peaks[k] = std::max(peaks[k], level);
        // The sum before this change still sounds at the column's first time.
        if (c > column && t > layout.ColumnStart(c))
            peaks[c] = std::max(peaks[c], level);
        peaks[c] = std::max(peaks[c], points[i].sum);
        level = points[i].sum;
        column = c;
    }
    for (int k = column + 1; k < columns; ++k)
        peaks[k] = std::max(peaks[k], level);
    return peaks;
}

// The filled step curve, drawn pixel by pixel into a transparent picture of the plot: below
// each column's peak the fill, on its top edge and on the steps between columns the outline.
// A painter call per column would cost more than the whole song's data.
void DrawCurve(QPainter& painter, const PolyphonySeries& series,
               const PolyphonyGraphLayout& layout) {
    const std::vector<std::uint32_t> peaks = ColumnPeaks(series, layout);
    if (peaks.empty() || series.LastTime() == 0)
        return;
    const int width = static_cast<int>(peaks.size());
    const int top = layout.plot.top();
    const int height = layout.plot.height();
    // The outline's row in each column, 0 at the plot's top edge.
    std::vector<int> rows(peaks.size());
    for (std::size_t x = 0; x < peaks.size(); ++x)
        rows[x] = std::clamp(layout.Y(std::min<std::int64_t>(peaks[x], layout.maxLevel)) - top, 0,
                             height - 1);
    QImage curve(width, height, QImage::Format_ARGB32_Premultiplied);
    curve.fill(Qt::transparent);
    const QRgb fill = kFillColour.rgba();
    const QRgb outline = kCurveColour.rgba();
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(curve.scanLine(y));
        for (int x = 0; x < width; ++x)
            if (y > rows[x] && peaks[x] > 0)
                line[x] = fill;
    }
    auto pixel = [&curve](int x, int y) -> QRgb& {
        return reinterpret_cast<QRgb*>(curve.scanLine(y))[x];
    };
    for (int x = 0; x < width; ++x) {
        pixel(x, rows[x]) = outline;
        // The step from the column before, drawn in the taller of the two, so that the
        // outline never rises above a column's own peak.
        if (x > 0 && rows[x - 1] != rows[x]) {
            const int taller = rows[x - 1] < rows[x] ? x - 1 : x;
            for (int y = std::min(rows[x - 1], rows[x]); y <= std::max(rows[x - 1], rows[x]); ++y)
                pixel(taller, y) = outline;
        }
    }
    painter.drawImage(layout.plot.left(), top, curve);
}

} // namespace

PolyphonyGraphPainter::TimeRange PolyphonyGraphPainter::WholeSong(const SongData& song) {
    return {0, song.lastTime};
}

PolyphonyGraphPainter::TimeRange PolyphonyGraphPainter::WholeSong(const PolyphonySeries& series) {
    return {0, series.LastTime()};
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

PolyphonyGraphLayout PolyphonyGraphPainter::Layout(const PolyphonySeries& series, int w, int h,
                                                   TimeRange range) {
    return PolyphonyGraphLayout::Compute(QFontMetrics(Font()), w, h, series.MaxSum(), range);
}

void PolyphonyGraphPainter::Draw(QPainter& painter, const SongData& song, int w, int h) {
    Draw(painter, song, w, h, WholeSong(song));
}

void PolyphonyGraphPainter::Draw(QPainter& painter, const SongData& song, int w, int h,
                                 TimeRange range) {
    Draw(painter, PolyphonySeries(song), w, h, range);
}

void PolyphonyGraphPainter::Draw(QPainter& painter, const PolyphonySeries& series, int w, int h,
                                 TimeRange range) {
    const PolyphonyGraphLayout layout = Layout(series, w, h, range);
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

    DrawCurve(painter, series, layout);

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
    return Render(PolyphonySeries(song), w, h, range);
}

QImage PolyphonyGraphPainter::Render(const PolyphonySeries& series, int w, int h, TimeRange range) {
    QImage image(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    Draw(painter, series, w, h, range);
    return image;
}
