// The logo's blend of picture and opacity mask onto the face colour.
#include "app/CLogoStatic.h"

#include <QApplication>
#include <QPalette>
#include <QTest>

namespace {

QImage Row(std::initializer_list<QRgb> pixels) {
    QImage image(static_cast<int>(pixels.size()), 1, QImage::Format_RGB32);
    int x = 0;
    for (QRgb p : pixels)
        image.setPixel(x++, 0, p);
    return image;
}

void SetFace(QWidget& widget, QColor face) {
    QPalette palette;
    palette.setColor(QPalette::Window, face);
    widget.setPalette(palette);
}

} // namespace

class TestLogo : public QObject {
    Q_OBJECT

private slots:
    void blendFollowsTheMasksRedChannel_data() {
        QTest::addColumn<QRgb>("mask");
        QTest::addColumn<QRgb>("expected");
        // Face (200, 100, 50) under picture (10, 220, 130).
        QTest::newRow("red 0: the face") << qRgb(0, 0, 0) << qRgb(200, 100, 50);
        QTest::newRow("red 255: the picture") << qRgb(255, 0, 0) << qRgb(10, 220, 130);
        QTest::newRow("red 128: (face*127 + picture*128)/255")
            << qRgb(128, 0, 0)
            << qRgb((200 * 127 + 10 * 128) / 255, (100 * 127 + 220 * 128) / 255,
                    (50 * 127 + 130 * 128) / 255);
        QTest::newRow("pure green: transparent") << qRgb(0, 255, 0) << qRgb(200, 100, 50);
        QTest::newRow("white: opaque") << qRgb(255, 255, 255) << qRgb(10, 220, 130);
    }
    void blendFollowsTheMasksRedChannel() {
        QFETCH(QRgb, mask);
        QFETCH(QRgb, expected);
        CLogoStatic logo;
        SetFace(logo, QColor(200, 100, 50));
        logo.resize(1, 1);
        logo.SetImages(Row({qRgb(10, 220, 130)}), Row({mask}));
        QCOMPARE(logo.Cache().pixel(0, 0), expected);
        // What is painted is the cache.
        QCOMPARE(logo.grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(0, 0), expected);
    }

    void aLargerControlShowsTheFaceBeyondThePicture() {
        CLogoStatic logo;
        SetFace(logo, QColor(1, 2, 3));
        logo.resize(4, 2);
        logo.SetImages(Row({qRgb(255, 255, 255), qRgb(255, 255, 255)}),
                       Row({qRgb(255, 0, 0), qRgb(255, 0, 0)}));
        const QImage& cache = logo.Cache();
        QCOMPARE(cache.size(), QSize(4, 2));
        QCOMPARE(cache.pixel(1, 0), qRgb(255, 255, 255));
        for (QPoint p : {QPoint(2, 0), QPoint(3, 0), QPoint(0, 1), QPoint(3, 1)})
            QCOMPARE(cache.pixel(p), qRgb(1, 2, 3));
    }

    // A palette of its own or a new colour scheme of the program: the logo blends again.
    void aNewFaceColourBlendsAgain() {
        const QPalette old = QApplication::palette();
        CLogoStatic logo;
        logo.resize(2, 1);
        logo.SetImages(Row({qRgb(100, 100, 100), qRgb(100, 100, 100)}),
                       Row({qRgb(0, 0, 0), qRgb(51, 0, 0)}));
        QPalette scheme = old;
        scheme.setColor(QPalette::Window, QColor(9, 8, 7));
        QApplication::setPalette(scheme);
        QCoreApplication::processEvents();
        const QRgb afterScheme = logo.Cache().pixel(0, 0);
        QApplication::setPalette(old);
        QCOMPARE(afterScheme, qRgb(9, 8, 7));
        SetFace(logo, Qt::white);
        const int mixed = (255 * 204 + 100 * 51) / 255;
        QCOMPARE(logo.Cache().pixel(1, 0), qRgb(mixed, mixed, mixed));
    }

    void thePaintedLogoIsTheProgramsPicture() {
        CLogoStatic logo;
        logo.resize(250, 72);
        logo.SetBitmaps(331, 330);
        const QRgb face = logo.palette().color(QPalette::Window).rgb();
        // The corner lies outside the mask's shapes, the middle of the ball inside.
        QCOMPARE(logo.Cache().pixel(0, 0), face);
        QVERIFY(logo.Cache().pixel(26, 36) != face);
    }
};

QTEST_MAIN(TestLogo)
#include "TestLogo.moc"
