// Draws the window's pictures: the two brand banners, the two group pictures and one picture
// per unit type, each a drawing of the product with its name. Run by ../make_pictures.sh.
#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

enum class Kind { Relay, Monitor, Module };

struct Brand {
    QString Name;
    QColor Dark;
    QColor Light;
    QColor Accent;
};

const Brand Quenby{"Quenby", QColor(16, 32, 96), QColor(58, 104, 196), QColor(255, 196, 40)};
const Brand Trivane{"TRIVANE", QColor(10, 70, 30), QColor(40, 150, 70), QColor(230, 240, 240)};

QFont Font(int pixelSize, int weight = QFont::Normal, bool italic = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Weight(weight));
    font.setItalic(italic);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// Light studio background with a soft floor shadow.
void Backdrop(QPainter &p, const QRect &r)
{
    QLinearGradient bg(r.topLeft(), r.bottomLeft());
    bg.setColorAt(0, QColor(250, 251, 253));
    bg.setColorAt(0.7, QColor(226, 230, 238));
    bg.setColorAt(1, QColor(205, 210, 220));
    p.fillRect(r, bg);
}

void Shadow(QPainter &p, const QRectF &body)
{
    QRadialGradient g(body.center().x(), body.bottom() + 4, body.width() * 0.7);
    g.setColorAt(0, QColor(0, 0, 0, 90));
    g.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QRectF(body.left() - 12, body.bottom() - 8, body.width() + 24, 22));
}

void Casing(QPainter &p, const QRectF &body, const QColor &base, qreal radius)
{
    QLinearGradient g(body.topLeft(), body.topRight());
    g.setColorAt(0, base.lighter(125));
    g.setColorAt(0.45, base.lighter(108));
    g.setColorAt(1, base.darker(135));
    p.setPen(QPen(base.darker(170), 1.2));
    p.setBrush(g);
    p.drawRoundedRect(body, radius, radius);
    // Highlight along the top edge.
    QLinearGradient shine(body.topLeft(), QPointF(body.left(), body.top() + body.height() * 0.25));
    shine.setColorAt(0, QColor(255, 255, 255, 90));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawRoundedRect(body.adjusted(2, 2, -2, -body.height() * 0.7), radius, radius);
}

void Display(QPainter &p, const QRectF &r, const QStringList &lines)
{
    p.setPen(QPen(QColor(30, 30, 30), 1.5));
    p.setBrush(QColor(40, 44, 40));
    p.drawRoundedRect(r.adjusted(-3, -3, 3, 3), 3, 3);
    QLinearGradient lcd(r.topLeft(), r.bottomLeft());
    lcd.setColorAt(0, QColor(186, 214, 140));
    lcd.setColorAt(1, QColor(150, 186, 104));
    p.setPen(Qt::NoPen);
    p.setBrush(lcd);
    p.drawRect(r);
    p.setPen(QColor(30, 50, 20));
    // As large as the display's height allows, shrunk until the longest line fits its width.
    int size = qMax(8, int(r.height() / (lines.size() + 1.2)));
    for (; size > 6; --size) {
        const QFontMetrics metrics(Font(size, QFont::Bold));
        int widest = 0;
        for (const QString &line : lines)
            widest = qMax(widest, metrics.horizontalAdvance(line));
        if (widest <= r.width() - 8)
            break;
    }
    p.setFont(Font(size, QFont::Bold));
    const qreal lh = r.height() / lines.size();
    for (int i = 0; i < lines.size(); ++i)
        p.drawText(QRectF(r.left() + 4, r.top() + i * lh, r.width() - 8, lh), Qt::AlignVCenter | Qt::AlignLeft,
                   lines.at(i));
}

void Led(QPainter &p, const QPointF &c, qreal radius, const QColor &colour)
{
    QRadialGradient g(c - QPointF(radius / 3, radius / 3), radius * 1.4);
    g.setColorAt(0, colour.lighter(170));
    g.setColorAt(0.5, colour);
    g.setColorAt(1, colour.darker(200));
    p.setPen(QPen(QColor(40, 40, 40), 0.8));
    p.setBrush(g);
    p.drawEllipse(c, radius, radius);
}

void Key(QPainter &p, const QRectF &r, const QString &label = QString())
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(235, 235, 235));
    g.setColorAt(1, QColor(160, 160, 165));
    p.setPen(QPen(QColor(70, 70, 75), 1));
    p.setBrush(g);
    p.drawRoundedRect(r, 3, 3);
    if (!label.isEmpty()) {
        p.setPen(QColor(40, 40, 40));
        p.setFont(Font(int(r.height() * 0.45), QFont::Bold));
        p.drawText(r, Qt::AlignCenter, label);
    }
}

void Screw(QPainter &p, const QPointF &c, qreal r)
{
    QRadialGradient g(c, r);
    g.setColorAt(0, QColor(230, 230, 230));
    g.setColorAt(1, QColor(110, 110, 115));
    p.setPen(QPen(QColor(60, 60, 60), 0.8));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
    p.drawLine(c + QPointF(-r * 0.6, 0), c + QPointF(r * 0.6, 0));
}

// A panel-mounted protection relay: display, status lights, keypad.
void DrawRelay(QPainter &p, const QRectF &body, const Brand &brand, const QString &name)
{
    Shadow(p, body);
    Casing(p, body, QColor(70, 74, 82), 8);
    const QRectF face = body.adjusted(8, 8, -8, -8);
    QLinearGradient fg(face.topLeft(), face.bottomRight());
    fg.setColorAt(0, QColor(214, 218, 224));
    fg.setColorAt(1, QColor(176, 182, 192));
    p.setPen(QPen(QColor(60, 60, 70), 1));
    p.setBrush(fg);
    p.drawRoundedRect(face, 5, 5);
    // Brand strip.
    const QRectF strip(face.left(), face.top(), face.width(), face.height() * 0.12);
    QLinearGradient sg(strip.topLeft(), strip.bottomLeft());
    sg.setColorAt(0, brand.Light);
    sg.setColorAt(1, brand.Dark);
    p.setBrush(sg);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(strip, 5, 5);
    p.setPen(brand.Accent);
    p.setFont(Font(int(strip.height() * 0.55), QFont::Bold, true));
    p.drawText(strip, Qt::AlignCenter, brand.Name);
    // Display.
    const QRectF lcd(face.left() + 12, strip.bottom() + 12, face.width() - 24, face.height() * 0.2);
    Display(p, lcd, {name, QStringLiteral("I=  0.00 A")});
    // Status lights.
    const qreal ly = lcd.bottom() + 16;
    const QColor colours[] = {QColor(40, 200, 60), QColor(240, 200, 30), QColor(220, 40, 30), QColor(220, 40, 30)};
    for (int i = 0; i < 4; ++i)
        Led(p, QPointF(face.left() + 20 + i * (face.width() - 40) / 3, ly), 4.5, colours[i]);
    // Keypad: arrows around Enter, and two function keys.
    const qreal k = face.width() * 0.16;
    const QPointF kc(face.center().x(), ly + 16 + k * 1.5);
    Key(p, QRectF(kc.x() - k / 2, kc.y() - k * 1.55, k, k), QStringLiteral("\u25B2"));
    Key(p, QRectF(kc.x() - k / 2, kc.y() + k * 0.55, k, k), QStringLiteral("\u25BC"));
    Key(p, QRectF(kc.x() - k * 1.55, kc.y() - k / 2, k, k), QStringLiteral("\u25C0"));
    Key(p, QRectF(kc.x() + k * 0.55, kc.y() - k / 2, k, k), QStringLiteral("\u25B6"));
    Key(p, QRectF(kc.x() - k / 2, kc.y() - k / 2, k, k), QStringLiteral("\u21B5"));
    const qreal fy = kc.y() + k * 1.9;
    Key(p, QRectF(face.left() + 12, fy, face.width() / 2 - 18, k * 0.8), QStringLiteral("RESET"));
    Key(p, QRectF(face.center().x() + 6, fy, face.width() / 2 - 18, k * 0.8), QStringLiteral("MENU"));
    for (const QPointF &c : {face.topLeft() + QPointF(-3, -3), face.topRight() + QPointF(3, -3),
                             face.bottomLeft() + QPointF(-3, 3), face.bottomRight() + QPointF(3, 3)})
        Screw(p, c, 3);
}

// A DIN-rail monitor: terminal rows top and bottom, a small display and lights.
void DrawMonitor(QPainter &p, const QRectF &body, const Brand &brand, const QString &name)
{
    Shadow(p, body);
    Casing(p, body, QColor(228, 228, 222), 6);
    for (int row = 0; row < 2; ++row) {
        const qreal y = row == 0 ? body.top() + 6 : body.bottom() - 26;
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.setBrush(QColor(60, 60, 64));
        p.drawRect(QRectF(body.left() + 8, y, body.width() - 16, 20));
        for (int i = 0; i < 5; ++i)
            Screw(p, QPointF(body.left() + 18 + i * (body.width() - 36) / 4, y + 10), 5.5);
    }
    const QRectF face = body.adjusted(10, 34, -10, -34);
    QLinearGradient fg(face.topLeft(), face.bottomLeft());
    fg.setColorAt(0, brand.Light);
    fg.setColorAt(1, brand.Dark);
    p.setPen(QPen(brand.Dark.darker(150), 1));
    p.setBrush(fg);
    p.drawRoundedRect(face, 4, 4);
    p.setPen(brand.Accent);
    p.setFont(Font(14, QFont::Bold, true));
    p.drawText(QRectF(face.left(), face.top() + 4, face.width(), 20), Qt::AlignCenter, brand.Name);
    Display(p, QRectF(face.left() + 10, face.top() + 30, face.width() - 20, 34), {name});
    const char *labels[] = {"POWER", "TRIP", "ALARM"};
    const QColor colours[] = {QColor(40, 200, 60), QColor(220, 40, 30), QColor(240, 200, 30)};
    for (int i = 0; i < 3; ++i) {
        const qreal y = face.top() + 80 + i * 17;
        Led(p, QPointF(face.left() + 18, y), 4.5, colours[i]);
        p.setPen(Qt::white);
        p.setFont(Font(9, QFont::Bold));
        p.drawText(QPointF(face.left() + 30, y + 4), QString::fromLatin1(labels[i]));
    }
}

// A communications module: a compact box with a network socket, a serial connector and lights.
void DrawModule(QPainter &p, const QRectF &body, const Brand &brand, const QString &name)
{
    Shadow(p, body);
    Casing(p, body, QColor(46, 50, 58), 6);
    const QRectF label(body.left() + 10, body.top() + 10, body.width() - 20, 36);
    QLinearGradient lg(label.topLeft(), label.bottomLeft());
    lg.setColorAt(0, brand.Light);
    lg.setColorAt(1, brand.Dark);
    p.setPen(Qt::NoPen);
    p.setBrush(lg);
    p.drawRoundedRect(label, 4, 4);
    p.setPen(brand.Accent);
    p.setFont(Font(14, QFont::Bold, true));
    p.drawText(label, Qt::AlignCenter, brand.Name);
    p.setPen(Qt::white);
    p.setFont(Font(13, QFont::Bold));
    p.drawText(QRectF(body.left(), label.bottom() + 6, body.width(), 20), Qt::AlignCenter, name);
    // Network socket.
    const QRectF rj(body.center().x() - 22, label.bottom() + 30, 44, 30);
    p.setPen(QPen(QColor(150, 150, 150), 1.5));
    p.setBrush(QColor(20, 20, 22));
    p.drawRect(rj);
    p.setBrush(QColor(190, 160, 60));
    for (int i = 0; i < 8; ++i)
        p.drawRect(QRectF(rj.left() + 5 + i * 4.4, rj.top() + 4, 2.4, 8));
    Led(p, rj.bottomLeft() + QPointF(6, -5), 3, QColor(40, 200, 60));
    Led(p, rj.bottomRight() + QPointF(-6, -5), 3, QColor(240, 200, 30));
    // Serial connector (a D shape).
    const QRectF db(body.center().x() - 30, rj.bottom() + 12, 60, 24);
    QPainterPath d;
    d.moveTo(db.topLeft());
    d.lineTo(db.topRight());
    d.lineTo(db.right() - 6, db.bottom());
    d.lineTo(db.left() + 6, db.bottom());
    d.closeSubpath();
    p.setPen(QPen(QColor(200, 200, 205), 2));
    p.setBrush(QColor(120, 124, 130));
    p.drawPath(d);
    p.setBrush(QColor(30, 30, 30));
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(db.left() + 10 + i * 10, db.top() + 8), 2, 2);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(db.left() + 15 + i * 10, db.top() + 16), 2, 2);
    const char *labels[] = {"TX", "RX", "LINK"};
    const QColor colours[] = {QColor(240, 200, 30), QColor(40, 200, 60), QColor(40, 200, 60)};
    for (int i = 0; i < 3; ++i) {
        const qreal x = body.left() + 24 + i * (body.width() - 48) / 2;
        Led(p, QPointF(x, db.bottom() + 14), 4, colours[i]);
        p.setPen(Qt::white);
        p.setFont(Font(8, QFont::Bold));
        p.drawText(QRectF(x - 20, db.bottom() + 20, 40, 12), Qt::AlignCenter, QString::fromLatin1(labels[i]));
    }
    Screw(p, body.topLeft() + QPointF(6, body.height() / 2), 3);
    Screw(p, body.topRight() + QPointF(-6, body.height() / 2), 3);
}

void DrawDevice(QPainter &p, Kind kind, const QRectF &body, const Brand &brand, const QString &name)
{
    switch (kind) {
    case Kind::Relay: DrawRelay(p, body, brand, name); break;
    case Kind::Monitor: DrawMonitor(p, body, brand, name); break;
    case Kind::Module: DrawModule(p, body, brand, name); break;
    }
}

// Caption under a product: its name in bold, the brand small below.
void Caption(QPainter &p, const QRect &r, const QString &name, const Brand &brand)
{
    p.setPen(QColor(30, 34, 44));
    p.setFont(Font(name.size() > 9 ? 14 : 17, QFont::Bold));
    p.drawText(QRect(r.left(), r.bottom() - 44, r.width(), 22), Qt::AlignCenter, name);
    p.setPen(brand.Dark);
    p.setFont(Font(11, QFont::Normal, true));
    p.drawText(QRect(r.left(), r.bottom() - 22, r.width(), 16), Qt::AlignCenter, brand.Name);
}

QImage UnitPicture(Kind kind, const Brand &brand, const QString &name)
{
    QImage image(181, 270, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    Backdrop(p, image.rect());
    QRectF body;
    switch (kind) {
    case Kind::Relay: body = QRectF(28, 14, 125, 196); break;
    case Kind::Monitor: body = QRectF(36, 14, 109, 196); break;
    case Kind::Module: body = QRectF(40, 30, 101, 180); break;
    }
    DrawDevice(p, kind, body, brand, name);
    Caption(p, image.rect(), name, brand);
    return image;
}

QImage GroupPicture(const Brand &brand, const QList<QPair<Kind, QString>> &units)
{
    QImage image(181, 270, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    Backdrop(p, image.rect());
    // Brand heading.
    QLinearGradient hg(0, 0, 0, 40);
    hg.setColorAt(0, brand.Light);
    hg.setColorAt(1, brand.Dark);
    p.fillRect(QRect(0, 0, 181, 40), hg);
    p.setPen(brand.Accent);
    p.setFont(Font(20, QFont::Bold, true));
    p.drawText(QRect(0, 0, 181, 40), Qt::AlignCenter, brand.Name);
    // The products, back row smaller and higher, front row larger.
    const int n = int(units.size());
    const int back = n / 2;
    for (int i = 0; i < back; ++i) {
        p.save();
        const qreal w = 181.0 / back;
        p.translate(i * w + w * 0.1, 52);
        p.scale(0.42, 0.42);
        DrawDevice(p, units.at(i).first, QRectF(0, 0, w / 0.42 * 0.8, 200), brand, units.at(i).second);
        p.restore();
    }
    const int front = n - back;
    for (int i = 0; i < front; ++i) {
        p.save();
        const qreal w = 181.0 / front;
        p.translate(i * w + w * 0.06, 140);
        p.scale(0.45, 0.45);
        DrawDevice(p, units.at(back + i).first, QRectF(0, 0, w / 0.45 * 0.88, 220), brand, units.at(back + i).second);
        p.restore();
    }
    p.setPen(QColor(30, 34, 44));
    p.setFont(Font(10, QFont::Bold));
    p.drawText(QRect(0, 246, 181, 20), Qt::AlignCenter, QStringLiteral("Protection & Monitoring"));
    return image;
}

QImage Banner(const Brand &brand, const QString &tagline, Kind device)
{
    QImage image(483, 76, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient g(0, 0, 483, 76);
    g.setColorAt(0, brand.Dark);
    g.setColorAt(0.65, brand.Light);
    g.setColorAt(1, brand.Dark);
    p.fillRect(image.rect(), g);
    // Sweeping arcs behind the name.
    p.setPen(QPen(QColor(255, 255, 255, 40), 10));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(400, 120), 140, 90);
    p.setPen(QPen(QColor(255, 255, 255, 25), 6));
    p.drawEllipse(QPointF(420, 130), 170, 110);
    // Name and tagline.
    p.setPen(QColor(0, 0, 0, 90));
    p.setFont(Font(38, QFont::Black, true));
    p.drawText(QRect(22, 2, 300, 52), Qt::AlignLeft | Qt::AlignVCenter, brand.Name);
    p.setPen(brand.Accent);
    p.drawText(QRect(20, 0, 300, 52), Qt::AlignLeft | Qt::AlignVCenter, brand.Name);
    p.setPen(QColor(255, 255, 255, 230));
    p.setFont(Font(12, QFont::Normal, true));
    p.drawText(QRect(22, 50, 320, 20), Qt::AlignLeft | Qt::AlignVCenter, tagline);
    // A small product at the right.
    p.save();
    p.translate(418, 6);
    p.scale(0.3, 0.3);
    DrawDevice(p, device, QRectF(0, 0, 160, 200), brand, QString());
    p.restore();
    return image;
}

bool Save(const QImage &image, const QString &path)
{
    const bool jpeg = path.endsWith(QLatin1String(".jpg"));
    const bool ok = image.save(path, jpeg ? "JPG" : "PNG", jpeg ? 92 : -1);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// The program's desktop icon: a relay with a download arrow, on a transparent square.
QImage AppIcon()
{
    QImage image(256, 256, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawRelay(p, QRectF(48, 16, 160, 224), Trivane, QStringLiteral("1.70"));
    QPainterPath arrow;
    arrow.moveTo(186, 150);
    arrow.lineTo(226, 150);
    arrow.lineTo(226, 196);
    arrow.lineTo(246, 196);
    arrow.lineTo(206, 244);
    arrow.lineTo(166, 196);
    arrow.lineTo(186, 196);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(255, 255, 255), 6));
    p.setBrush(QColor(0, 128, 0));
    p.drawPath(arrow);
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    bool ok = true;

    ok &= Save(Banner(Quenby, QStringLiteral("Motor & feeder protection \u2022 resistor monitors"), Kind::Relay),
               out.filePath(QStringLiteral("Image_Header.jpg")));
    // The second brand's banner is kept as a GIF; Qt writes no GIF, so the script converts it.
    ok &= Save(Banner(Trivane, QStringLiteral("Protection relays \u2022 grounding monitors"), Kind::Relay),
               out.filePath(QStringLiteral("Image_TVHeader.png")));

    ok &= Save(GroupPicture(Quenby, {{Kind::Module, "KLN-12B"}, {Kind::Module, "DWN-12"}, {Kind::Monitor, "RG-770"},
                                     {Kind::Relay, "KTR"}, {Kind::Relay, "KLN-40"}, {Kind::Relay, "DWN-40"}}),
               out.filePath(QStringLiteral("ImageGroup.jpg")));
    ok &= Save(GroupPicture(Trivane, {{Kind::Monitor, "TVR-3770"}, {Kind::Relay, "TVR-5800"}, {Kind::Relay, "TVR-4100"},
                                      {Kind::Relay, "TVR-4200"}}),
               out.filePath(QStringLiteral("Image_TV_Group.jpg")));

    struct Unit {
        const char *File;
        Kind What;
        const Brand *Of;
        const char *Name;
    };
    const Unit units[] = {
        {"ImageKTR", Kind::Relay, &Quenby, "KTR"},
        {"ImageKLN40", Kind::Relay, &Quenby, "KLN-40"},
        {"ImageDWN40", Kind::Relay, &Quenby, "DWN-40"},
        {"Image770", Kind::Monitor, &Quenby, "RG-770/LT/WB"},
        {"ImageKLN12B", Kind::Module, &Quenby, "KLN-12B"},
        {"ImageDWN12", Kind::Module, &Quenby, "DWN-12"},
        {"Image_TV_KTR", Kind::Relay, &Trivane, "TVR-4100"},
        {"Image_TV_KLN40", Kind::Relay, &Trivane, "TVR-4200"},
        {"Image_TV_DWN40", Kind::Relay, &Trivane, "TVR-5800"},
        {"Image_TV_770", Kind::Monitor, &Trivane, "TVR-3770"},
    };
    for (const Unit &unit : units)
        ok &= Save(UnitPicture(unit.What, *unit.Of, QString::fromLatin1(unit.Name)),
                   out.filePath(QString::fromLatin1(unit.File) + QStringLiteral(".jpg")));
    ok &= Save(AppIcon(), out.filePath(QStringLiteral("varnel.png")));
    return ok ? 0 : 1;
}
