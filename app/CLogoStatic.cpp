#include "app/CLogoStatic.h"
#include "app/AppResources.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>

CLogoStatic::CLogoStatic(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CLogoStatic::SetBitmaps(int pictureId, int maskId) {
    SetImages(AppResources::Picture(pictureId), AppResources::Picture(maskId));
}

void CLogoStatic::SetImages(const QImage& picture, const QImage& mask) {
    picture_ = picture.convertToFormat(QImage::Format_RGB32);
    mask_ = mask.convertToFormat(QImage::Format_RGB32);
    Render();
}

void CLogoStatic::Render() {
    const QSize size = this->size();
    if (size.isEmpty()) {
        cache_ = QImage();
        return;
    }
    cache_ = QImage(size, QImage::Format_RGB32);
    cache_.fill(palette().color(backgroundRole()));
    Blend(cache_, QRect(QPoint(0, 0), size), picture_, mask_);
    update();
}

void CLogoStatic::Blend(QImage& target, const QRect& rect, const QImage& picture,
                        const QImage& mask) {
    if (target.format() != QImage::Format_RGB32 && target.format() != QImage::Format_ARGB32)
        target = target.convertToFormat(QImage::Format_RGB32);
    const QRect area = rect.intersected(target.rect());
    const int w = std::min({area.width(), picture.width(), mask.width()});
    const int h = std::min({area.height(), picture.height(), mask.height()});
    for (int y = 0; y < h; ++y) {
        QRgb* out = reinterpret_cast<QRgb*>(target.scanLine(area.top() + y)) + area.left();
        for (int x = 0; x < w; ++x) {
            const QRgb f = picture.pixel(x, y);
            const int a = qRed(mask.pixel(x, y));
            const QRgb b = out[x];
            auto mix = [a](int back, int fore) { return (back * (255 - a) + fore * a) / 255; };
            out[x] =
                qRgb(mix(qRed(b), qRed(f)), mix(qGreen(b), qGreen(f)), mix(qBlue(b), qBlue(f)));
        }
    }
}

void CLogoStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (cache_.isNull())
        painter.fillRect(rect(), palette().color(backgroundRole()));
    else
        painter.drawImage(QPoint(0, 0), cache_);
}

void CLogoStatic::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        Render();
}

void CLogoStatic::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Render();
}
