#include "app/CPolyphonyGraph.h"
#include "resources/StringTable.h"
#include "resources/resource.h"

#include "graph/PolyphonyGraphPainter.h"
#include "song/SongData.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// One notch of an ordinary mouse wheel, in the eighths of a degree Qt reports.
constexpr double kNotch = 120.0;

} // namespace

CPolyphonyGraph::CPolyphonyGraph(QWidget* parent) : QWidget(parent) {
    // The picture covers the whole area: nothing needs to be erased before a paint.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::WheelFocus);
    setToolTip(StringTable::Get(Res::IDS_TIP_GRAPH));
}

void CPolyphonyGraph::Refresh(const SongData* song) {
    song_ = song;
    const std::int64_t length = song ? song->lastTime : 0;
    if (length != length_) {
        length_ = length;
        SetRange({0, length});
    } else {
        SetRange(range_);
    }
    dirty_ = true;
    seriesDirty_ = true;
    if (song == nullptr)
        series_ = PolyphonySeries();
    update();
}

void CPolyphonyGraph::SetRange(TimeRange range) {
    const std::int64_t narrowest = std::min(kMinSpanMs, length_);
    range.span = std::clamp(range.span, narrowest, length_);
    range.start = std::clamp<std::int64_t>(range.start, 0, length_ - range.span);
    if (range == range_)
        return;
    range_ = range;
    update();
    emit visibleRangeChanged();
}

void CPolyphonyGraph::ZoomAt(double factor, int x) {
    if (song_ == nullptr || length_ <= 0 || !(factor > 0.0))
        return;
    const PolyphonyGraphLayout layout = Layout();
    const double width = std::max(layout.plot.width(), 1);
    const double at = std::clamp((x - layout.plot.left()) / width, 0.0, 1.0);
    const double anchor = static_cast<double>(range_.start) + at * static_cast<double>(range_.span);
    const double span =
        std::clamp(static_cast<double>(range_.span) / factor, 1.0, static_cast<double>(length_));
    SetRange({std::llround(anchor - at * span), std::llround(span)});
}

void CPolyphonyGraph::ScrollTo(std::int64_t startMs) {
    SetRange({startMs, range_.span});
}

void CPolyphonyGraph::ScrollByFraction(double notches) {
    const double step = static_cast<double>(range_.span) / kScrollFraction;
    ScrollTo(range_.start + std::llround(notches * step));
}

void CPolyphonyGraph::ShowWholeSong() {
    SetRange({0, length_});
}

PolyphonyGraphLayout CPolyphonyGraph::Layout() const {
    if (song_ == nullptr)
        return PolyphonyGraphLayout::Compute(QFontMetrics(PolyphonyGraphPainter::Font()), width(),
                                             height(), 1, range_);
    return PolyphonyGraphPainter::Layout(*song_, width(), height(), range_);
}

void CPolyphonyGraph::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    if ((event->modifiers() & Qt::ShiftModifier) || std::abs(delta.x()) > std::abs(delta.y())) {
        // Away from the user or to the left: earlier in the song.
        const int along = delta.x() != 0 ? delta.x() : delta.y();
        ScrollByFraction(-along / kNotch);
    } else if (delta.y() != 0) {
        ZoomAt(std::pow(kZoomPerNotch, delta.y() / kNotch), event->position().toPoint().x());
    }
    event->accept();
}

void CPolyphonyGraph::keyPressEvent(QKeyEvent* event) {
    const int centre = Layout().plot.center().x();
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomAt(kZoomPerNotch, centre);
        break;
    case Qt::Key_Minus:
        ZoomAt(1.0 / kZoomPerNotch, centre);
        break;
    case Qt::Key_Left:
        ScrollByFraction(-1.0);
        break;
    case Qt::Key_Right:
        ScrollByFraction(1.0);
        break;
    case Qt::Key_Home:
        ShowWholeSong();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CPolyphonyGraph::paintEvent(QPaintEvent*) {
    const int w = width();
    const int h = height();
    if (dirty_ || picture_.size() != QSize(w, h) || pictureRange_ != range_) {
        if (song_) {
            if (seriesDirty_) {
                series_ = PolyphonySeries(*song_);
                seriesDirty_ = false;
            }
            picture_ = PolyphonyGraphPainter::Render(series_, w, h, range_);
        } else {
            picture_ = QImage(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
            picture_.fill(Qt::white);
        }
        pictureRange_ = range_;
        dirty_ = false;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
}
