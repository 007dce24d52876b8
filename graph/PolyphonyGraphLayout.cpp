#include "graph/PolyphonyGraphLayout.h"

#include <algorithm>
#include <climits>

namespace {

// Room between a label and the grid or the picture's edge.
constexpr int kPad = 3;
// The curve starts at least 20 pixels from the left edge.
constexpr int kMinLeftMargin = 20;
// Grid lines without labels stay at least this far apart.
constexpr int kMinLineSpacing = 4;

// Steps of the time grid in ms: 1-2-5 below ten seconds, then the clock's divisions. Past
// the last one the steps go on as 1-2-5 multiples of an hour.
constexpr std::int64_t kTimeSteps[] = {
    1,    2,     5,     10,    20,    50,     100,    200,    500,    1000,    2000,
    5000, 10000, 15000, 30000, 60000, 120000, 300000, 600000, 900000, 1800000, 3600000};
constexpr std::int64_t kHour = 3600000;
// Longer than any song: 2^40 ms, about 35 years.
constexpr std::int64_t kLongestTime = std::int64_t{1} << 40;

// Levels: 1, 2, 5, 10, 20, 50, ...
std::int64_t NextLevelStep(std::int64_t step) {
    std::int64_t decade = 1;
    while (decade * 10 <= step)
        decade *= 10;
    if (step < 2 * decade)
        return 2 * decade;
    if (step < 5 * decade)
        return 5 * decade;
    return 10 * decade;
}

std::int64_t NextTimeStep(std::int64_t step) {
    for (std::int64_t s : kTimeSteps)
        if (s > step)
            return s;
    // 2 h, 5 h, 10 h, 20 h, ...: the level steps, counted in hours.
    return kHour * NextLevelStep(step / kHour);
}

// A time label in seconds, with as many decimals as the step needs.
QString TimeText(std::int64_t ms, std::int64_t step) {
    if (step % 1000 == 0)
        return QString::number(ms / 1000);
    const int decimals = step % 100 == 0 ? 1 : step % 10 == 0 ? 2 : 3;
    return QString::number(static_cast<double>(ms) / 1000.0, 'f', decimals);
}

std::int64_t FloorTo(std::int64_t value, std::int64_t step) {
    return value / step * step;
}

// Labels placed so far: a new one goes in only clear of them, moved inside the picture where
// it would stick out of it.
class LabelPlacer {
public:
    explicit LabelPlacer(QRect picture) : picture_(picture) {}
    bool Place(QRect& rect) {
        if (rect.width() > picture_.width() || rect.height() > picture_.height())
            return false;
        rect.moveLeft(
            std::clamp(rect.left(), picture_.left(), picture_.right() + 1 - rect.width()));
        rect.moveTop(std::clamp(rect.top(), picture_.top(), picture_.bottom() + 1 - rect.height()));
        for (const QRect& placed : placed_)
            if (placed.intersects(rect))
                return false;
        placed_.push_back(rect);
        return true;
    }

private:
    QRect picture_;
    std::vector<QRect> placed_;
};

} // namespace

PolyphonyGraphLayout PolyphonyGraphLayout::Compute(const QFontMetrics& metrics, int width,
                                                   int height, std::int64_t maxLevel,
                                                   TimeRange range) {
    PolyphonyGraphLayout layout;
    layout.picture = QRect(0, 0, std::max(width, 0), std::max(height, 0));
    layout.maxLevel = std::max<std::int64_t>(maxLevel, 1);
    // Song times are 32-bit milliseconds; the bound keeps every product below in range.
    layout.range = {std::clamp<std::int64_t>(range.start, 0, kLongestTime),
                    std::clamp<std::int64_t>(range.span, 1, kLongestTime)};
    if (width <= 0 || height <= 0)
        return layout;

    const int lineHeight = metrics.height();
    const int gap = std::max(kMinLineSpacing, metrics.horizontalAdvance(QLatin1Char('0')));
    const QString topLevel = QString::number(layout.maxLevel);

    // With room for a caption row on top, a label row below and the level numbers on the
    // left, the plot takes the rest; a smaller picture is all plot and has no text.
    bool text = false;
    if (height >= 4 * lineHeight + 8) {
        const int top = lineHeight + 2 + lineHeight / 2 + 1;
        const int bottom = height - 1 - lineHeight - 1 - 3;
        const int left = std::max(kMinLeftMargin, metrics.horizontalAdvance(topLevel) + 2 * kPad);
        const int right = width - 1 - gap;
        if (right - left >= 4 * gap && bottom - top >= 2 * lineHeight) {
            layout.plot = QRect(QPoint(left, top), QPoint(right, bottom));
            text = true;
        }
    }
    if (!text)
        layout.plot = layout.picture;

    LabelPlacer placer(layout.picture);
    if (text) {
        QRect notes(kPad, 1, metrics.horizontalAdvance(kNotesCaption), lineHeight);
        if (placer.Place(notes))
            layout.notesCaption = notes;
        const int secondsWidth = metrics.horizontalAdvance(kSecondsCaption);
        QRect seconds(width - kPad - secondsWidth, layout.plot.bottom() + 3, secondsWidth,
                      lineHeight);
        if (placer.Place(seconds))
            layout.secondsCaption = seconds;
    }

    // Levels: the smallest 1-2-5 step whose lines lie a label's height apart (or, without
    // text, a few pixels apart).
    const std::int64_t M = layout.maxLevel;
    const std::int64_t levelPixels = layout.plot.height() - 1;
    layout.everyLevelLine = levelPixels >= kMinLineSpacing * M;
    const std::int64_t levelSpacing = text ? lineHeight + 2 : kMinLineSpacing;
    std::int64_t levelStep = 1;
    while (levelStep < M && levelStep * levelPixels < levelSpacing * M)
        levelStep = NextLevelStep(levelStep);
    for (std::int64_t v = levelStep; v <= M && levelPixels > 0; v += levelStep) {
        Tick tick;
        tick.value = v;
        tick.position = layout.Y(v);
        if (text) {
            const QString number = QString::number(v);
            const int w = metrics.horizontalAdvance(number);
            QRect rect(layout.plot.left() - kPad - w, tick.position - lineHeight / 2, w,
                       lineHeight);
            if (placer.Place(rect)) {
                tick.text = number;
                tick.label = rect;
            }
        }
        layout.levels.push_back(tick);
    }

    // Times: the smallest step whose labels, centred on their lines, stay a gap apart.
    const std::int64_t start = layout.range.start;
    const std::int64_t end = start + layout.range.span;
    const std::int64_t plotWidth = layout.plot.width();
    auto spacingNeeded = [&](std::int64_t step) -> std::int64_t {
        if (!text)
            return kMinLineSpacing;
        const std::int64_t first = (start + step - 1) / step * step;
        const int widest = std::max(metrics.horizontalAdvance(TimeText(first, step)),
                                    metrics.horizontalAdvance(TimeText(FloorTo(end, step), step)));
        return widest + gap;
    };
    std::int64_t timeStep = kTimeSteps[0];
    while (timeStep < layout.range.span &&
           timeStep * plotWidth < spacingNeeded(timeStep) * layout.range.span)
        timeStep = NextTimeStep(timeStep);
    for (std::int64_t t = (start + timeStep - 1) / timeStep * timeStep; t <= end; t += timeStep) {
        Tick tick;
        tick.value = t;
        tick.position = layout.X(t);
        if (text) {
            const QString seconds = TimeText(t, timeStep);
            const int w = metrics.horizontalAdvance(seconds);
            QRect rect(tick.position - w / 2, layout.plot.bottom() + 3, w, lineHeight);
            if (placer.Place(rect)) {
                tick.text = seconds;
                tick.label = rect;
            }
        }
        layout.times.push_back(tick);
    }
    return layout;
}

int PolyphonyGraphLayout::Y(std::int64_t level) const {
    const std::int64_t pixels = plot.height() - 1;
    const std::int64_t y = plot.bottom() - (level * pixels) / maxLevel;
    return static_cast<int>(std::clamp<std::int64_t>(y, INT_MIN / 2, INT_MAX / 2));
}

int PolyphonyGraphLayout::X(std::int64_t ms) const {
    const std::int64_t x = plot.left() + ((ms - range.start) * plot.width()) / range.span;
    return static_cast<int>(std::clamp<std::int64_t>(x, INT_MIN / 2, INT_MAX / 2));
}

std::int64_t PolyphonyGraphLayout::ColumnStart(int column) const {
    const std::int64_t w = std::max(plot.width(), 1);
    return range.start + (std::int64_t{column} * range.span + w - 1) / w;
}

std::vector<QRect> PolyphonyGraphLayout::LabelRects() const {
    std::vector<QRect> rects;
    for (const QRect& caption : {notesCaption, secondsCaption})
        if (!caption.isEmpty())
            rects.push_back(caption);
    for (const auto* ticks : {&levels, &times})
        for (const Tick& tick : *ticks)
            if (!tick.label.isEmpty())
                rects.push_back(tick.label);
    return rects;
}
