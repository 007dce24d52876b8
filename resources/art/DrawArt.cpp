// Draws the program's pictures into a folder: the channel balls, the logo with its opacity
// mask, the three toolbar strips and the application icon. Run at build time; every picture
// is made here from shapes, none is taken from elsewhere.
//
// DrawArt OUTPUT_FOLDER
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kDeepBlue(24, 56, 140);
const QColor kLightBlue(96, 170, 240);
const QColor kTeal(20, 150, 160);

QImage NewImage(int w, int h, QColor fill = Qt::transparent) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(fill);
    return image;
}

// A shaded ball: a radial gradient lit from the upper left.
void DrawBall(QPainter& p, QRectF r, QColor base) {
    QRadialGradient g(r.left() + r.width() * 0.35, r.top() + r.height() * 0.3, r.width() * 0.7);
    g.setColorAt(0.0, base.lighter(190));
    g.setColorAt(0.45, base);
    g.setColorAt(1.0, base.darker(190));
    p.setPen(QPen(base.darker(250), 0.8));
    p.setBrush(g);
    p.drawEllipse(r);
}

// Channel icons 16 x 16: plain balls, or smaller balls with vibration strokes on two sides.
QImage ChannelIcon(bool audible, bool vibra) {
    QImage image = NewImage(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor base = audible ? kLightBlue : QColor(20, 30, 100);
    if (!vibra) {
        DrawBall(p, QRectF(1.5, 1.5, 13, 13), base);
    } else {
        DrawBall(p, QRectF(4, 3.5, 9, 9), base);
        p.setPen(QPen(audible ? QColor(40, 40, 40) : QColor(70, 70, 90), 1.2));
        p.setBrush(Qt::NoBrush);
        for (int side : {-1, 1}) {
            const double cx = 8.5 + side * 5.5;
            p.drawArc(QRectF(cx - 2, 4, 4, 8), side < 0 ? 90 * 16 : -90 * 16, 180 * 16);
            const double cx2 = 8.5 + side * 7.3;
            p.drawLine(QPointF(cx2, 6), QPointF(cx2, 10));
        }
    }
    return image;
}

// The emblem shared by the logo and the application icon: a ball with sound arcs spreading to
// the right, inside a square of size s at the origin.
void DrawEmblem(QPainter& p, double s, bool forMask) {
    const QColor arc = forMask ? Qt::white : kTeal;
    DrawBall(p, QRectF(s * 0.08, s * 0.3, s * 0.4, s * 0.4), forMask ? Qt::white : kDeepBlue);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        const double r = s * (0.32 + 0.16 * i);
        p.setPen(QPen(arc, s * 0.07, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(s * 0.28 - r, s * 0.5 - r, 2 * r, 2 * r), -40 * 16, 80 * 16);
    }
}

// Logo 331 (colour) and 330 (opacity mask, read through its red channel).
constexpr int kLogoW = 250;
constexpr int kLogoH = 72;

void DrawLogoShapes(QPainter& p, bool forMask) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.save();
    p.translate(4, 4);
    DrawEmblem(p, 64, forMask);
    p.restore();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(37);
    QPainterPath text;
    text.addText(QPointF(78, 50), font, QStringLiteral("Quellor"));
    if (forMask) {
        // A soft glow under the word: a few widening, fainter strokes.
        for (int w = 9; w >= 1; w -= 2) {
            p.setPen(
                QPen(QColor(255, 255, 255, 40), w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPath(text);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(text);
        p.setPen(QPen(QColor(255, 255, 255, 150), 2));
        p.drawLine(QPointF(80, 60), QPointF(232, 60));
    } else {
        QLinearGradient g(0, 14, 0, 52);
        g.setColorAt(0, kLightBlue);
        g.setColorAt(1, kDeepBlue);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawPath(text);
        p.setPen(QPen(kTeal, 2));
        p.drawLine(QPointF(80, 60), QPointF(232, 60));
    }
}

QImage LogoPicture() {
    // The picture's colour runs past the shapes: the mask alone shapes the edges, so the
    // glow takes the colour under it.
    QImage image = NewImage(kLogoW, kLogoH, QColor(150, 200, 245));
    QPainter p(&image);
    DrawLogoShapes(p, false);
    return image;
}

QImage LogoMask() {
    QImage image = NewImage(kLogoW, kLogoH, Qt::black);
    QPainter p(&image);
    DrawLogoShapes(p, true);
    return image.convertToFormat(QImage::Format_RGB32);
}

// --- Toolbar: eight 48 x 48 pictures in toolbar order ---
enum class Look { Normal, Hot, Disabled };

QColor Tint(QColor c, Look look) {
    switch (look) {
    case Look::Hot:
        return c.lighter(125);
    case Look::Disabled: {
        const int g = 150 + qGray(c.rgb()) / 4;
        return QColor(g, g, g);
    }
    default:
        return c;
    }
}

void Outline(QPainter& p, QColor c, double w = 2.0) {
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void DrawOpen(QPainter& p, Look l) {
    Outline(p, Tint(QColor(120, 80, 10), l));
    p.setBrush(Tint(QColor(230, 180, 60), l));
    QPainterPath back;
    back.moveTo(6, 12);
    back.lineTo(18, 12);
    back.lineTo(22, 16);
    back.lineTo(40, 16);
    back.lineTo(40, 38);
    back.lineTo(6, 38);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(Tint(QColor(250, 210, 100), l));
    QPainterPath front;
    front.moveTo(6, 38);
    front.lineTo(12, 22);
    front.lineTo(45, 22);
    front.lineTo(40, 38);
    front.closeSubpath();
    p.drawPath(front);
}

void DrawReload(QPainter& p, Look l) {
    const QColor c = Tint(QColor(30, 130, 60), l);
    p.setPen(QPen(c, 5, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(10, 10, 28, 28), 100 * 16, 280 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    QPolygonF head;
    head << QPointF(19, 4) << QPointF(29, 11) << QPointF(19, 18);
    p.drawPolygon(head);
}

void DrawSave(QPainter& p, Look l) {
    Outline(p, Tint(QColor(20, 40, 90), l));
    p.setBrush(Tint(QColor(60, 100, 190), l));
    p.drawRoundedRect(QRectF(8, 8, 32, 32), 3, 3);
    p.setBrush(Tint(QColor(240, 240, 240), l));
    p.drawRect(QRectF(14, 8, 20, 12));
    p.setBrush(Tint(QColor(30, 30, 30), l));
    p.drawRect(QRectF(15, 28, 18, 12));
    p.setBrush(Tint(QColor(200, 200, 200), l));
    p.drawRect(QRectF(28, 10, 4, 8));
}

void DrawTriangle(QPainter& p, QRectF r, QColor c) {
    QPolygonF tri;
    tri << r.topLeft() << QPointF(r.right(), r.center().y()) << r.bottomLeft();
    p.drawPolygon(tri);
    Q_UNUSED(c);
}

void DrawPlay(QPainter& p, Look l) {
    Outline(p, Tint(QColor(10, 80, 20), l));
    p.setBrush(Tint(QColor(50, 180, 70), l));
    DrawTriangle(p, QRectF(12, 8, 28, 32), QColor());
}

void DrawPlaySolo(QPainter& p, Look l) {
    Outline(p, Tint(QColor(10, 80, 20), l));
    p.setBrush(Tint(QColor(50, 180, 70), l));
    DrawTriangle(p, QRectF(6, 10, 22, 28), QColor());
    // One ball: one channel alone.
    QColor ball = Tint(kLightBlue, l);
    DrawBall(p, QRectF(28, 22, 16, 16), ball);
}

void DrawStop(QPainter& p, Look l) {
    Outline(p, Tint(QColor(110, 10, 10), l));
    p.setBrush(Tint(QColor(210, 50, 40), l));
    p.drawRoundedRect(QRectF(11, 11, 26, 26), 3, 3);
}

void DrawSendIr(QPainter& p, Look l) {
    // A phone with waves coming in from the left.
    Outline(p, Tint(QColor(40, 40, 50), l));
    p.setBrush(Tint(QColor(90, 95, 110), l));
    p.drawRoundedRect(QRectF(26, 6, 16, 36), 4, 4);
    p.setBrush(Tint(QColor(170, 220, 250), l));
    p.drawRect(QRectF(29, 11, 10, 12));
    p.setBrush(Tint(QColor(60, 60, 70), l));
    for (int i = 0; i < 3; ++i)
        p.drawRect(QRectF(29 + i * 3.5, 27, 2.5, 2.5));
    p.setBrush(Qt::NoBrush);
    const QColor wave = Tint(QColor(200, 40, 40), l);
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(wave, 2.5, Qt::SolidLine, Qt::RoundCap));
        const double r = 6 + 6 * i;
        p.drawArc(QRectF(24 - r, 24 - r, 2 * r, 2 * r), 145 * 16, 70 * 16);
    }
}

void DrawHelp(QPainter& p, Look l) {
    Outline(p, Tint(QColor(20, 50, 120), l));
    p.setBrush(Tint(QColor(70, 130, 220), l));
    p.drawEllipse(QRectF(6, 6, 36, 36));
    // A question mark from an arc, a stem and a dot.
    const QColor mark = Tint(QColor(255, 255, 255), l == Look::Disabled ? Look::Normal : l);
    p.setPen(QPen(mark, 4.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(17, 12, 14, 13), -90 * 16, 270 * 16);
    p.drawLine(QPointF(24, 25), QPointF(24, 28));
    p.setPen(Qt::NoPen);
    p.setBrush(mark);
    p.drawEllipse(QPointF(24, 35), 2.6, 2.6);
}

QImage ToolbarStrip(Look look) {
    const std::function<void(QPainter&, Look)> pictures[] = {
        DrawOpen, DrawReload, DrawSave, DrawPlay, DrawPlaySolo, DrawStop, DrawSendIr, DrawHelp};
    QImage strip = NewImage(48 * 8, 48);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(48 * i, 0);
        if (look == Look::Hot) {
            // A soft halo behind the picture under the mouse.
            QRadialGradient halo(24, 24, 24);
            halo.setColorAt(0, QColor(255, 240, 160, 170));
            halo.setColorAt(1, QColor(255, 240, 160, 0));
            p.setPen(Qt::NoPen);
            p.setBrush(halo);
            p.drawEllipse(QRectF(0, 0, 48, 48));
        }
        pictures[i](p, look);
        p.restore();
    }
    return strip;
}

QImage AppIcon(int size) {
    QImage image = NewImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    QLinearGradient g(0, 0, 0, s);
    g.setColorAt(0, QColor(235, 245, 255));
    g.setColorAt(1, QColor(170, 205, 240));
    p.setPen(QPen(kDeepBlue, s / 32));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(s / 32, s / 32, s - s / 16, s - s / 16), s / 6, s / 6);
    p.translate(s * 0.04, s * 0.1);
    DrawEmblem(p, s * 0.8, false);
    return image;
}

bool Save(const QImage& image, const QString& folder, const QString& name) {
    const QString path = QDir(folder).filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "DrawArt: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: DrawArt OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    bool ok = true;
    ok &= Save(ChannelIcon(true, false), out, QStringLiteral("145.png"));
    ok &= Save(ChannelIcon(false, false), out, QStringLiteral("146.png"));
    ok &= Save(ChannelIcon(true, true), out, QStringLiteral("147.png"));
    ok &= Save(ChannelIcon(false, true), out, QStringLiteral("148.png"));
    ok &= Save(LogoMask(), out, QStringLiteral("330.png"));
    ok &= Save(LogoPicture(), out, QStringLiteral("331.png"));
    ok &= Save(ToolbarStrip(Look::Normal), out, QStringLiteral("332.png"));
    ok &= Save(ToolbarStrip(Look::Disabled), out, QStringLiteral("333.png"));
    ok &= Save(ToolbarStrip(Look::Hot), out, QStringLiteral("335.png"));
    ok &= Save(AppIcon(48), out, QStringLiteral("128.png"));
    ok &= Save(AppIcon(256), out, QStringLiteral("quellor-256.png"));
    return ok ? 0 : 1;
}
