#pragma once

#include <QImage>
#include <QWidget>

class SongData;

// The graph area of the "Polyphony Sequence" window (control 1036): the notes sounding at
// once over the song's length, summed over the enabled channels. The picture is drawn into a
// cached image that is redrawn only after a refresh (or a change of size); plain repaints
// copy the cache.
class CPolyphonyGraph : public QWidget {
    Q_OBJECT

public:
    explicit CPolyphonyGraph(QWidget* parent = nullptr);

    // Shows `song` (none: an empty white area) and marks the picture out of date. The song
    // must outlive its use here or be replaced first.
    void Refresh(const SongData* song);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const SongData* song_ = nullptr;
    QImage picture_;
    bool dirty_ = true;
};
