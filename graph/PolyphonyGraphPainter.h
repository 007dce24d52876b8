#pragma once

#include "song/SongData.h"

class QPainter;
class QImage;

// Draws the "Polyphony Sequence" graph of a song: level lines, the bar grid, the reference
// line at four notes and the filled step curve of the notes sounding at once over the enabled
// channels. The window's graph control and `quellor-cli graph` both draw with it.
class PolyphonyGraphPainter {
public:
    // Draws into a white picture of w x h pixels that the painter covers from (0, 0).
    static void Draw(QPainter& painter, const SongData& song, int w, int h);
    // A w x h picture of the graph.
    static QImage Render(const SongData& song, int w, int h);
};
