#include "app/CPolyphonyGraph.h"

#include "graph/PolyphonyGraphPainter.h"
#include "song/SongData.h"

#include <QPainter>

CPolyphonyGraph::CPolyphonyGraph(QWidget* parent) : QWidget(parent) {
    // The picture covers the whole area: nothing needs to be erased before a paint.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPolyphonyGraph::Refresh(const SongData* song) {
    song_ = song;
    dirty_ = true;
    update();
}

void CPolyphonyGraph::paintEvent(QPaintEvent*) {
    const int w = width();
    const int h = height();
    if (dirty_ || picture_.size() != QSize(w, h)) {
        if (song_) {
            picture_ = PolyphonyGraphPainter::Render(*song_, w, h);
        } else {
            picture_ = QImage(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
            picture_.fill(Qt::white);
        }
        dirty_ = false;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
}
