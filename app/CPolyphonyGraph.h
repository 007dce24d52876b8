#pragma once

#include "graph/PolyphonyGraphLayout.h"
#include "graph/PolyphonySeries.h"

#include <QImage>
#include <QWidget>

#include <cstdint>

class SongData;

// The graph area of the "Polyphony Sequence" window (control 1036): the notes sounding at
// once over the song's length, summed over the enabled channels. It shows the whole song
// until zoomed: the wheel (with or without Ctrl) zooms in and out at the pointer, Shift+wheel
// and a horizontal wheel scroll, and so do the keys +, -, Left, Right; Home shows the whole
// song again. The picture is drawn into a cached image that is redrawn only after a refresh,
// a change of size or of the part shown; plain repaints copy the cache.
class CPolyphonyGraph : public QWidget {
    Q_OBJECT

public:
    using TimeRange = PolyphonyGraphLayout::TimeRange;

    // The narrowest part zooming shows, in ms (or the whole song, when it is shorter).
    static constexpr std::int64_t kMinSpanMs = 1000;
    // One wheel notch zooms by this factor.
    static constexpr double kZoomPerNotch = 1.25;
    // One wheel notch or arrow key scrolls by this part of the width shown.
    static constexpr int kScrollFraction = 8;

    explicit CPolyphonyGraph(QWidget* parent = nullptr);

    // Shows `song` (none: an empty white area) and marks the picture out of date. A song of
    // another length is shown whole; otherwise the part shown stays. The song must outlive
    // its use here or be replaced first.
    void Refresh(const SongData* song);

    // The part of the song shown, in ms.
    TimeRange VisibleRange() const { return range_; }
    // The song's length in ms: its last time; 0 without a song.
    std::int64_t SongLength() const { return length_; }
    bool IsZoomed() const { return range_.span < length_; }
    // Zooms in by `factor` (below 1: out), keeping the time under pixel column `x` in place.
    void ZoomAt(double factor, int x);
    // Shows the part from `startMs`, as far as the song allows.
    void ScrollTo(std::int64_t startMs);
    void ShowWholeSong();
    // Where the parts of the current picture go.
    PolyphonyGraphLayout Layout() const;

signals:
    // The part shown changed (zoom, scroll or a song of another length).
    void visibleRangeChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetRange(TimeRange range);
    void ScrollByFraction(double widths);

    const SongData* song_ = nullptr;
    // The song's polyphony changes, made again at the first paint after a refresh.
    PolyphonySeries series_;
    bool seriesDirty_ = true;
    QImage picture_;
    TimeRange pictureRange_;
    bool dirty_ = true;
    TimeRange range_;
    std::int64_t length_ = 0;
};
