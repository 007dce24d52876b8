#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

// Where the parts of the "Polyphony Sequence" graph go in a picture of a given size: the
// plot area of the curve, the level and time grid with their labels, and the two axis
// captions. Label spacing comes from the font's metrics: however small the picture, however
// long the song and however high its polyphony, no two labels overlap and none leaves the
// picture (a label that would is left out, its grid line stays).
class PolyphonyGraphLayout {
public:
    // The part of the song shown: `span` ms from `start` ms.
    struct TimeRange {
        std::int64_t start = 0;
        std::int64_t span = 0;
        bool operator==(const TimeRange&) const = default;
    };

    // A grid line with its label; `label` is empty when the line has none.
    struct Tick {
        std::int64_t value = 0; // notes for a level, ms for a time
        int position = 0;       // y of a level line, x of a time line
        QString text;
        QRect label;
    };

    static inline const QString kNotesCaption = QStringLiteral("notes");
    static inline const QString kSecondsCaption = QStringLiteral("seconds");

    // The layout of a width x height picture of levels 0 ... maxLevel (at least 1) over the
    // times of `range` (a span below 1 ms counts as 1 ms).
    static PolyphonyGraphLayout Compute(const QFontMetrics& metrics, int width, int height,
                                        std::int64_t maxLevel, TimeRange range);

    // Pixel row of a level: 0 on the plot's bottom edge, maxLevel on its top edge.
    int Y(std::int64_t level) const;
    // Pixel column of a time: range.start on the plot's left edge, the range's end one past
    // its right edge.
    int X(std::int64_t ms) const;
    // The first time that falls into plot column `column` (0 = the plot's left edge).
    std::int64_t ColumnStart(int column) const;
    // Every label's rectangle, the captions included.
    std::vector<QRect> LabelRects() const;

    QRect picture;
    QRect plot; // empty when the picture has no room for one
    std::int64_t maxLevel = 1;
    TimeRange range;
    std::vector<Tick> levels; // ascending, level 0 (the time axis) not included
    std::vector<Tick> times;  // ascending
    // Every level gets a line when they lie at least this far apart; otherwise only the
    // labelled ones.
    bool everyLevelLine = false;
    QRect notesCaption;   // empty when left out
    QRect secondsCaption; // empty when left out
};
