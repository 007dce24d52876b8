#include "app/COOBmpToolBar.h"

#include <QAction>
#include <QPixmap>
#include <QWidgetAction>

namespace {

QPixmap Slice(const QImage& strip, int index, int side, QColor transparent) {
    QImage image = strip.copy(index * side, 0, side, side).convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent.rgb();
    for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFFu) == (key & 0xFFFFFFu) && qAlpha(line[x]) == 255)
                line[x] = qRgba(0, 0, 0, 0);
    }
    return QPixmap::fromImage(image);
}

} // namespace

COOBmpToolBar::COOBmpToolBar(const QString& title, QWidget* parent) : COOExToolBar(title, parent) {}

QIcon COOBmpToolBar::ButtonIcon(int index, const QImage& normal, const QImage& hot,
                                const QImage& disabled, QColor transparent, int side) {
    QIcon icon;
    icon.addPixmap(Slice(normal, index, side, transparent), QIcon::Normal);
    icon.addPixmap(Slice(hot, index, side, transparent), QIcon::Active);
    icon.addPixmap(Slice(disabled, index, side, transparent), QIcon::Disabled);
    return icon;
}

void COOBmpToolBar::SetBitmaps(const QImage& normal, const QImage& hot, const QImage& disabled,
                               QColor transparent) {
    const int side = HasLargeImages() ? kLargeImage : kSmallImage;
    int index = 0;
    for (QAction* action : actions()) {
        // Separators and embedded widgets (the Voices drop-down) have no picture.
        if (action->isSeparator() || qobject_cast<QWidgetAction*>(action) != nullptr)
            continue;
        if ((index + 1) * side > normal.width())
            break;
        action->setIcon(ButtonIcon(index, normal, hot, disabled, transparent, side));
        ++index;
    }
}
