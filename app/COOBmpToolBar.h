#pragma once

#include "app/COOExToolBar.h"

#include <QColor>
#include <QIcon>
#include <QImage>

#include <vector>

// A COOExToolBar whose buttons take their pictures from three strips of 48 x 48 images, one
// image per button in toolbar order: normal, hot (under the mouse) and disabled. Pixels of
// the transparent colour are left out.
class COOBmpToolBar : public COOExToolBar {
    Q_OBJECT

public:
    explicit COOBmpToolBar(const QString& title, QWidget* parent = nullptr);

    // Gives the buttons (separators and embedded widgets skipped) their pictures from the
    // strips.
    void SetBitmaps(const QImage& normal, const QImage& hot, const QImage& disabled,
                    QColor transparent);
    // The icon of button `index` made from the strips.
    static QIcon ButtonIcon(int index, const QImage& normal, const QImage& hot,
                            const QImage& disabled, QColor transparent, int side);
};
