#pragma once

#include <QImage>
#include <QWidget>

// A picture with soft edges: a colour picture laid over the form's face colour through an
// opacity mask (only the mask's red channel counts: 0 transparent, 255 opaque). The blend is
// done once into a cache that painting only copies; it is done again when the palette (the
// face colour) or the control's size changes.
class CLogoStatic : public QWidget {
    Q_OBJECT

public:
    explicit CLogoStatic(QWidget* parent = nullptr);

    // Loads picture and mask from the program's pictures and renders.
    void SetBitmaps(int pictureId, int maskId);
    // The same with pictures at hand.
    void SetImages(const QImage& picture, const QImage& mask);
    // Rebuilds the cache: the face colour, then the picture blended through the mask.
    void Render();
    const QImage& Cache() const { return cache_; }

    // Blends `picture` through `mask` into `target` over `rect`:
    // result = (target * (255 - A) + picture * A) / 255 per colour component, A the mask's
    // red value. Where the picture or the mask has no pixel the target stays as it is.
    static void Blend(QImage& target, const QRect& rect, const QImage& picture, const QImage& mask);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage picture_;
    QImage mask_;
    QImage cache_;
};
