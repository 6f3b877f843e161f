// Icon drawing. Each picture is drawn on a 100 x 100 canvas scaled to the
// wanted size, at 16, 24 and 32 pixels for the toolbars; a few dozen small
// pixmaps made once at start.
#include "app/icons.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace app {

namespace {

const QColor kInk(0x1f, 0x3a, 0x5f);
const QColor kAccent(0x2e, 0x86, 0xc1);
const QColor kPaper(0xfd, 0xfd, 0xf8);
const QColor kGreen(0x2e, 0x8b, 0x57);
const QColor kRed(0xc0, 0x39, 0x2b);

QPen pen(const QColor& c, qreal w) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void drawPage(QPainter& p, const QRectF& r)
{
    p.setPen(pen(kInk, 5));
    p.setBrush(kPaper);
    p.drawRoundedRect(r, 4, 4);
    p.setPen(pen(kAccent, 4));
    for (qreal y = r.top() + 14; y < r.bottom() - 8; y += 12)
        p.drawLine(QPointF(r.left() + 10, y), QPointF(r.right() - 10, y));
}

void drawArrow(QPainter& p, QPointF from, QPointF to, const QColor& c)
{
    p.setPen(pen(c, 10));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const qreal len = std::hypot(d.x(), d.y());
    const QPointF u = d / len, n(-u.y(), u.x());
    QPolygonF head;
    head << to + u * 8 << to - u * 14 + n * 14 << to - u * 14 - n * 14;
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(head);
}

void drawLetters(QPainter& p, const QString& top, const QString& bottom, bool down)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(40);
    p.setFont(f);
    p.setPen(kInk);
    p.drawText(QRectF(4, 2, 50, 48), Qt::AlignCenter, top);
    p.drawText(QRectF(4, 50, 50, 48), Qt::AlignCenter, bottom);
    if (down)
        drawArrow(p, QPointF(76, 12), QPointF(76, 80), kAccent);
    else
        drawArrow(p, QPointF(76, 88), QPointF(76, 20), kAccent);
}

void drawMagnifier(QPainter& p)
{
    p.setPen(pen(kInk, 10));
    p.setBrush(QColor(0xd6, 0xea, 0xf8));
    p.drawEllipse(QPointF(42, 42), 28, 28);
    p.setPen(pen(kInk, 16));
    p.drawLine(QPointF(63, 63), QPointF(90, 90));
}

void drawHelp(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawEllipse(QPointF(50, 50), 44, 44);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(64);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 100, 100), Qt::AlignCenter, QStringLiteral("?"));
}

void drawBook(QPainter& p)
{
    p.setPen(pen(kInk, 5));
    p.setBrush(QColor(0xfa, 0xe5, 0xd3));
    QPainterPath left, right;
    left.moveTo(50, 24);
    left.cubicTo(38, 14, 18, 14, 6, 20);
    left.lineTo(6, 84);
    left.cubicTo(18, 78, 38, 78, 50, 88);
    left.closeSubpath();
    right.moveTo(50, 24);
    right.cubicTo(62, 14, 82, 14, 94, 20);
    right.lineTo(94, 84);
    right.cubicTo(82, 78, 62, 78, 50, 88);
    right.closeSubpath();
    p.drawPath(left);
    p.setBrush(QColor(0xfd, 0xf2, 0xe9));
    p.drawPath(right);
    p.setPen(pen(kAccent, 4));
    for (int i = 0; i < 3; ++i) {
        p.drawLine(QPointF(14, 36 + i * 14), QPointF(42, 38 + i * 14));
        p.drawLine(QPointF(58, 38 + i * 14), QPointF(86, 36 + i * 14));
    }
}

void drawSpell(QPainter& p)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(38);
    p.setFont(f);
    p.setPen(kInk);
    p.drawText(QRectF(0, 0, 100, 54), Qt::AlignCenter, QStringLiteral("abc"));
    p.setPen(pen(kGreen, 12));
    QPolygonF tick;
    tick << QPointF(24, 70) << QPointF(42, 88) << QPointF(80, 56);
    p.drawPolyline(tick);
}

void drawFunnel(QPainter& p)
{
    QPolygonF funnel;
    funnel << QPointF(8, 12) << QPointF(92, 12) << QPointF(58, 52) << QPointF(58, 86) << QPointF(42, 94)
           << QPointF(42, 52);
    p.setPen(pen(kInk, 6));
    p.setBrush(QColor(0xf9, 0xe7, 0x9f));
    p.drawPolygon(funnel);
    p.setPen(pen(kRed, 9));
    p.drawLine(QPointF(66, 62), QPointF(92, 88));
    p.drawLine(QPointF(92, 62), QPointF(66, 88));
}

void drawScissors(QPainter& p)
{
    p.setPen(pen(kInk, 7));
    p.drawLine(QPointF(30, 8), QPointF(66, 66));
    p.drawLine(QPointF(70, 8), QPointF(34, 66));
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(kRed, 8));
    p.drawEllipse(QPointF(26, 78), 14, 14);
    p.drawEllipse(QPointF(74, 78), 14, 14);
}

void drawClipboard(QPainter& p)
{
    p.setPen(pen(kInk, 5));
    p.setBrush(QColor(0xc8, 0x9f, 0x6a));
    p.drawRoundedRect(QRectF(14, 12, 72, 84), 6, 6);
    drawPage(p, QRectF(24, 26, 52, 62));
    p.setPen(pen(kInk, 5));
    p.setBrush(QColor(0x90, 0x90, 0x90));
    p.drawRoundedRect(QRectF(34, 4, 32, 16), 4, 4);
}

void drawTray(QPainter& p, bool in)
{
    p.setPen(pen(kInk, 7));
    p.setBrush(QColor(0xe8, 0xee, 0xf4));
    QPolygonF tray;
    tray << QPointF(6, 60) << QPointF(6, 94) << QPointF(94, 94) << QPointF(94, 60);
    p.drawPolyline(tray);
    drawPage(p, QRectF(22, 50, 56, 36));
    if (in)
        drawArrow(p, QPointF(50, 4), QPointF(50, 40), kGreen);
    else
        drawArrow(p, QPointF(50, 42), QPointF(50, 6), kAccent);
}

/// Draws the picture of key on a 100 x 100 canvas; false for an unknown key.
bool drawKey(QPainter& p, const QString& key)
{
    if (key == QLatin1String("import"))
        drawTray(p, true);
    else if (key == QLatin1String("export"))
        drawTray(p, false);
    else if (key == QLatin1String("wizard") || key == QLatin1String("tutorial"))
        drawBook(p);
    else if (key == QLatin1String("atoz") || key == QLatin1String("asc"))
        drawLetters(p, QStringLiteral("A"), QStringLiteral("Z"), true);
    else if (key == QLatin1String("ztoa") || key == QLatin1String("des"))
        drawLetters(p, QStringLiteral("Z"), QStringLiteral("A"), true);
    else if (key == QLatin1String("find"))
        drawMagnifier(p);
    else if (key == QLatin1String("spelling") || key == QLatin1String("spell"))
        drawSpell(p);
    else if (key == QLatin1String("refresh"))
        drawFunnel(p);
    else if (key == QLatin1String("help"))
        drawHelp(p);
    else if (key == QLatin1String("cut"))
        drawScissors(p);
    else if (key == QLatin1String("copy")) {
        drawPage(p, QRectF(8, 6, 56, 66));
        drawPage(p, QRectF(36, 28, 56, 66));
    } else if (key == QLatin1String("paste"))
        drawClipboard(p);
    else
        return false;
    return true;
}

QPixmap drawn(const QString& key, int size, bool* known)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 100.0, size / 100.0);
    *known = drawKey(p, key);
    return pm;
}

void drawQuillMark(QPainter& p)
{
    // A list card with a quill across it.
    p.setPen(pen(kInk, 4));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(8, 20, 64, 74), 5, 5);
    p.setPen(pen(kAccent, 4));
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(18, 36 + i * 12), QPointF(62, 36 + i * 12));
    QPainterPath quill;
    quill.moveTo(30, 84);
    quill.cubicTo(46, 52, 70, 20, 96, 4);
    quill.cubicTo(88, 34, 66, 62, 30, 84);
    p.setPen(pen(kInk, 3));
    p.setBrush(QColor(0xf5, 0xb0, 0x41));
    p.drawPath(quill);
    p.setPen(pen(kInk, 3));
    p.drawLine(QPointF(30, 84), QPointF(84, 18));
}

}  // namespace

QIcon toolIcon(const QString& key)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        bool known = false;
        const QPixmap pm = drawn(key, size, &known);
        if (!known)
            return QIcon();
        icon.addPixmap(pm);
    }
    return icon;
}

QPixmap productPicture(QSize size)
{
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size.width() / 100.0, size.height() / 100.0);
    drawQuillMark(p);
    return pm;
}

QPixmap splashPicture(QSize size)
{
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, QColor(0x1f, 0x3a, 0x5f));
    g.setColorAt(1, QColor(0x2e, 0x86, 0xc1));
    p.fillRect(pm.rect(), g);
    const int mark = size.height() * 6 / 10;
    p.drawPixmap(size.height() / 8, (size.height() - mark) / 2, productPicture(QSize(mark, mark)));
    const int left = size.height() / 8 + mark + size.height() / 10;
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(size.height() / 7);
    p.setFont(f);
    p.setPen(Qt::white);
    const QRect textArea(left, 0, size.width() - left - 12, size.height());
    p.drawText(textArea.adjusted(0, 0, 0, -size.height() / 6), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Lumacor\nQuillabrand Pro"));
    f.setBold(false);
    f.setPixelSize(size.height() / 16);
    p.setFont(f);
    p.drawText(textArea.adjusted(0, size.height() / 2, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Cleans mailing and contact lists"));
    return pm;
}

}  // namespace app
