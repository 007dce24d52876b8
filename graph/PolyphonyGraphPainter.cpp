#include "graph/PolyphonyGraphPainter.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

const QColor kGridColour(200, 200, 230);
const QColor kCurveColour(100, 200, 250);
const QColor kFillColour(50, 80, 170);

// A line that, like the classic line-to, leaves out its end point. Every line of the graph
// is horizontal or vertical.
void DrawLineTo(QPainter& painter, int x0, int y0, int x1, int y1) {
    if (x0 == x1 && y0 == y1)
        return;
    const int dx = (x1 > x0) - (x1 < x0);
    const int dy = (y1 > y0) - (y1 < y0);
    painter.drawLine(x0, y0, x1 - dx, y1 - dy);
}

void DrawText(QPainter& painter, int x, int y, std::int64_t number) {
    const QString text = QString::number(number);
    const QFontMetrics metrics(painter.font());
    painter.drawText(x, y + metrics.ascent(), text);
}

void FillBox(QPainter& painter, int x, int y, int width, int height) {
    if (width > 0 && height > 0)
        painter.fillRect(x, y, width, height, kFillColour);
}

} // namespace

void PolyphonyGraphPainter::Draw(QPainter& painter, const SongData& song, int w, int h) {
    // All coordinates in 64 bits: t x W overflows 32 bits on long songs.
    const std::int64_t W = w - 20;
    const std::int64_t H = h - 10;
    const std::int64_t P = song.sequencePolyphony;
    const std::int64_t M = P > 1 ? P : 1;
    const std::int64_t T = song.lastTime;
    auto y = [&](std::int64_t v) { return static_cast<int>(h + 8 - (v * H) / M); };
    auto x = [&](std::int64_t t) { return static_cast<int>(20 + (t * W) / T); };

    painter.save();
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(13);
    font.setWeight(QFont::Thin);
    painter.setFont(font);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);

    QPen dotted(kGridColour, 1, Qt::DotLine);
    dotted.setCosmetic(true);
    QPen text(Qt::black);

    // Level lines with their numbers. Levels closer than a pixel share one line: with a
    // huge polyphony only the levels that land on a new row are drawn.
    int lastRow = INT_MIN;
    for (std::int64_t v = 1; v <= M && H > 0;) {
        const int yv = y(v);
        if (yv != lastRow && yv >= -20) {
            painter.setPen(dotted);
            DrawLineTo(painter, 0, yv, w, yv);
            painter.setPen(text);
            DrawText(painter, 8, yv, v);
        }
        lastRow = yv;
        // The next level whose row differs: (v x H) / M grows by one.
        const std::int64_t k = (v * H) / M;
        v = std::max(v + 1, ((k + 1) * M + H - 1) / H);
    }

    // Bar lines: B is the duration in ms over the division. Lines closer than one pixel and
    // labels of an empty graph area are left out.
    const std::int64_t D = song.GetDivision();
    const std::int64_t B = D > 0 ? song.GetDuration() / D : 0;
    if (B > 0 && w > 20) {
        const std::int64_t b = (4 * std::int64_t{w}) / B;
        if (b > 0) {
            painter.setPen(dotted);
            for (std::int64_t px = 0; px <= w - 21; px += b)
                DrawLineTo(painter, static_cast<int>(px + 20), 2, static_cast<int>(px + 20), h);
        }
        // The smallest step q of 4, 8, 12 ... that puts labels at least 20 pixels apart.
        std::int64_t q = std::max<std::int64_t>(4, ((20 * B + w - 1) / w + 3) / 4 * 4);
        while ((w * q) / B < 20)
            q += 4;
        const std::int64_t L = (w * q) / B;
        painter.setPen(text);
        std::int64_t n = 1;
        for (std::int64_t px = 0; px <= w - 21; px += L, n += q / 4)
            DrawText(painter, static_cast<int>(px + 26), 2, n);
    }

    // Reference line at four notes.
    QPen light(kGridColour, 1, Qt::SolidLine);
    light.setCosmetic(true);
    painter.setPen(light);
    DrawLineTo(painter, 0, y(4), w, y(4));

    // The filled step curve; the outline runs one step behind the fill.
    QPen curve(kCurveColour, 1, Qt::SolidLine);
    curve.setCosmetic(true);
    painter.setPen(curve);
    int curX = 21, curY = h + 9;
    int prevX = 21, prevY = h + 9;
    if (T > 0) {
        song.VisitPolyphonySums([&](std::uint32_t t, std::uint64_t s) {
            const int X = x(t);
            FillBox(painter, prevX, prevY, X - prevX, h - prevY);
            DrawLineTo(painter, curX, curY, prevX, prevY);
            DrawLineTo(painter, prevX, prevY, X, prevY);
            curX = X;
            curY = prevY;
            prevX = X;
            prevY = y(static_cast<std::int64_t>(std::min<std::uint64_t>(s, 0x7FFFFFFF)));
        });
    }
    FillBox(painter, prevX, prevY, w - prevX, h - prevY);
    DrawLineTo(painter, curX, curY, prevX, h);
    DrawLineTo(painter, prevX, h, w, h);
    painter.restore();
}

QImage PolyphonyGraphPainter::Render(const SongData& song, int w, int h) {
    QImage image(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    Draw(painter, song, w, h);
    return image;
}
