#pragma once

#include "graph/PolyphonyGraphLayout.h"
#include "graph/PolyphonySeries.h"
#include "song/SongData.h"

#include <QFont>

class QPainter;
class QImage;

// Draws the "Polyphony Sequence" graph of a song: level lines numbered in notes, a time grid
// labelled in seconds, the reference line at four notes and the filled step curve of the
// notes sounding at once over the enabled channels. The window's graph control and
// `quellor-cli graph` both draw with it.
//
// The curve is drawn per pixel column: each column is filled up to the highest sum that
// sounds within its time, so a redraw costs one pass over the polyphony changes of the part
// shown and one rectangle per run of equal columns, however dense the song.
class PolyphonyGraphPainter {
public:
    using TimeRange = PolyphonyGraphLayout::TimeRange;

    // From the song's start to its last time.
    static TimeRange WholeSong(const SongData& song);
    static TimeRange WholeSong(const PolyphonySeries& series);
    // The font of the numbers and captions.
    static QFont Font();
    static PolyphonyGraphLayout Layout(const SongData& song, int w, int h, TimeRange range);
    static PolyphonyGraphLayout Layout(const PolyphonySeries& series, int w, int h,
                                       TimeRange range);

    // Draws into a white picture of w x h pixels that the painter covers from (0, 0): the
    // whole song, or the part `range` of it.
    static void Draw(QPainter& painter, const SongData& song, int w, int h);
    static void Draw(QPainter& painter, const SongData& song, int w, int h, TimeRange range);
    // As above from the song's series, made once for many redraws.
    static void Draw(QPainter& painter, const PolyphonySeries& series, int w, int h,
                     TimeRange range);
    // A w x h picture of the graph.
    static QImage Render(const SongData& song, int w, int h);
    static QImage Render(const SongData& song, int w, int h, TimeRange range);
    static QImage Render(const PolyphonySeries& series, int w, int h, TimeRange range);
};
