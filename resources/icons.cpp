// Icon drawings. Every picture is drawn on a 16 x 16 grid and rendered at
// 16 and 32 pixels; strokes sit on half units so the 16-pixel form is crisp.
#include "resources/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace quill {

namespace {

using Draw = std::function<void(QPainter&)>;

const QColor kInk(48, 48, 56);
const QColor kPaper(252, 252, 248);
const QColor kRed(212, 40, 40);
const QColor kBlue(40, 100, 200);
const QColor kGreen(40, 150, 60);
const QColor kYellow(240, 190, 60);

QIcon render(const Draw& draw) {
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing, size > 16);
        p.scale(size / 16.0, size / 16.0);
        draw(p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

void pen(QPainter& p, const QColor& c, qreal w = 1) {
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
}

// A page with a folded corner, at x..x+w.
void page(QPainter& p, qreal x, qreal y, qreal w, qreal h) {
    QPainterPath path;
    path.moveTo(x + 0.5, y + 0.5);
    path.lineTo(x + w - 3.5, y + 0.5);
    path.lineTo(x + w - 0.5, y + 3.5);
    path.lineTo(x + w - 0.5, y + h - 0.5);
    path.lineTo(x + 0.5, y + h - 0.5);
    path.closeSubpath();
    pen(p, kInk);
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawLine(QPointF(x + w - 3.5, y + 0.5), QPointF(x + w - 3.5, y + 3.5));
    p.drawLine(QPointF(x + w - 3.5, y + 3.5), QPointF(x + w - 0.5, y + 3.5));
}

// A small photo: sky, a mountain and a sun, inside x, y, w, h.
void photo(QPainter& p, qreal x, qreal y, qreal w, qreal h) {
    pen(p, kInk);
    p.setBrush(QColor(150, 200, 240));
    p.drawRect(QRectF(x + 0.5, y + 0.5, w - 1, h - 1));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    QPainterPath hill;
    hill.moveTo(x + 1, y + h - 1);
    hill.lineTo(x + w * 0.4, y + h * 0.4);
    hill.lineTo(x + w * 0.65, y + h * 0.7);
    hill.lineTo(x + w * 0.8, y + h * 0.55);
    hill.lineTo(x + w - 1, y + h - 1);
    hill.closeSubpath();
    p.drawPath(hill);
    p.setBrush(kYellow);
    p.drawRect(QRectF(x + w - 5, y + 2, 2, 2));
}

void cross(QPainter& p, qreal cx, qreal cy, qreal r) {
    pen(p, kRed, 2);
    p.drawLine(QPointF(cx - r, cy - r), QPointF(cx + r, cy + r));
    p.drawLine(QPointF(cx - r, cy + r), QPointF(cx + r, cy - r));
}

void letters(QPainter& p, const QRectF& r, const QString& text, const QColor& c, int px, bool bold = true) {
    QFont f("DejaVu Sans");
    f.setPixelSize(px);
    f.setBold(bold);
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, Qt::AlignCenter, text);
}

void draw(ToolIcon icon, QPainter& p) {
    switch (icon) {
    case ToolIcon::NewList:
        page(p, 2, 0, 12, 16);
        pen(p, kBlue);
        for (int y = 6; y <= 12; y += 3) p.drawLine(QPointF(4.5, y + 0.5), QPointF(11.5, y + 0.5));
        break;
    case ToolIcon::FolderSelect: {
        pen(p, QColor(150, 110, 20));
        p.setBrush(kYellow);
        QPainterPath back;
        back.moveTo(0.5, 2.5);
        back.lineTo(5.5, 2.5);
        back.lineTo(7.5, 4.5);
        back.lineTo(15.5, 4.5);
        back.lineTo(15.5, 13.5);
        back.lineTo(0.5, 13.5);
        back.closeSubpath();
        p.drawPath(back);
        p.setBrush(QColor(252, 220, 110));
        QPainterPath front;
        front.moveTo(0.5, 13.5);
        front.lineTo(3.5, 7.5);
        front.lineTo(15.5, 7.5);
        front.lineTo(15.5, 13.5);
        front.closeSubpath();
        p.drawPath(front);
        break;
    }
    case ToolIcon::FileDelete:
        page(p, 1, 0, 11, 14);
        cross(p, 11, 11, 3.5);
        break;
    case ToolIcon::DeleteIdentical:
        photo(p, 0, 0, 10, 8);
        photo(p, 4, 4, 10, 8);
        cross(p, 12, 12, 3);
        break;
    case ToolIcon::Rename:
        pen(p, kInk);
        p.setBrush(kPaper);
        p.drawRect(QRectF(0.5, 4.5, 15, 8));
        letters(p, QRectF(1, 4, 10, 9), "A", kBlue, 9);
        pen(p, kInk);
        p.drawLine(QPointF(12.5, 3.5), QPointF(12.5, 13.5));
        p.drawLine(QPointF(11.5, 2.5), QPointF(13.5, 2.5));
        p.drawLine(QPointF(11.5, 14.5), QPointF(13.5, 14.5));
        break;
    case ToolIcon::RenameBatch:
        pen(p, kInk);
        p.setBrush(kPaper);
        for (int i = 0; i < 3; ++i) {
            const qreal y = 0.5 + i * 5;
            p.drawRect(QRectF(0.5, y, 15, 4));
            letters(p, QRectF(1, y - 1, 5, 6), QString::number(i + 1), kBlue, 6);
            pen(p, kInk);
            p.drawLine(QPointF(7.5, y + 2), QPointF(13.5, y + 2));
        }
        break;
    case ToolIcon::SelectToggle:
        for (int i = 0; i < 3; ++i) {
            const qreal y = 1.5 + i * 5;
            p.setPen(Qt::NoPen);
            p.setBrush(i == 1 ? QColor(150, 190, 240) : QColor(200, 220, 250));
            p.drawRect(QRectF(5, y - 1, 11, 4));
            pen(p, kInk);
            p.setBrush(kPaper);
            p.drawRect(QRectF(0.5, y - 0.5, 3, 3));
        }
        pen(p, kGreen, 1.6);
        p.drawLine(QPointF(0, 2), QPointF(2, 4.5));
        p.drawLine(QPointF(2, 4.5), QPointF(5, -0.5));
        break;
    case ToolIcon::Clean:
        photo(p, 0, 3, 13, 12);
        p.setPen(Qt::NoPen);
        p.setBrush(kYellow.darker(110));
        {
            QPainterPath star;
            star.moveTo(12.5, 0);
            star.lineTo(13.5, 2.5);
            star.lineTo(16, 3.5);
            star.lineTo(13.5, 4.5);
            star.lineTo(12.5, 7);
            star.lineTo(11.5, 4.5);
            star.lineTo(9, 3.5);
            star.lineTo(11.5, 2.5);
            star.closeSubpath();
            p.drawPath(star);
        }
        break;
    case ToolIcon::Baseline:
        pen(p, kInk);
        p.setBrush(kPaper);
        p.drawRect(QRectF(0.5, 0.5, 15, 15));
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(2, 2, 12, 3));
        p.drawRect(QRectF(2, 6, 12, 3));
        p.setBrush(QColor(150, 190, 240));
        p.drawRect(QRectF(2, 10, 6, 3));
        break;
    case ToolIcon::Progressive:
        pen(p, kInk);
        p.setBrush(kPaper);
        p.drawRect(QRectF(0.5, 0.5, 15, 15));
        p.setPen(Qt::NoPen);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const int shade = 90 + 40 * ((x + y) % 3);
                p.setBrush(QColor(shade / 2, shade, 220));
                p.drawRect(QRectF(2 + x * 3, 2 + y * 3, y < 2 ? 6 : 3, 3));
            }
        break;
    case ToolIcon::Grayscale:
        photo(p, 0, 1, 16, 14);
        p.setPen(Qt::NoPen);
        for (int x = 8; x < 15; ++x) {
            const int g = 90 + (x - 8) * 20;
            p.setBrush(QColor(g, g, g));
            p.drawRect(QRectF(x, 2, 1, 12));
        }
        break;
    case ToolIcon::Transform: {
        photo(p, 3, 3, 10, 10);
        pen(p, kBlue, 1.5);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(1, 1, 14, 14), 100 * 16, 230 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        QPainterPath head;
        head.moveTo(5, 0);
        head.lineTo(9, 1.5);
        head.lineTo(5.5, 4.5);
        head.closeSubpath();
        p.drawPath(head);
        break;
    }
    case ToolIcon::Trim:
        photo(p, 3, 3, 10, 10);
        pen(p, kInk, 1.5);
        p.drawLine(QPointF(3.5, 0), QPointF(3.5, 12.5));
        p.drawLine(QPointF(3.5, 12.5), QPointF(16, 12.5));
        p.drawLine(QPointF(0, 3.5), QPointF(12.5, 3.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(12.5, 16));
        break;
    case ToolIcon::Recompress:
        photo(p, 0, 0, 12, 10);
        pen(p, kRed, 1.6);
        p.drawLine(QPointF(12, 7), QPointF(12, 14));
        p.drawLine(QPointF(9, 11.5), QPointF(12, 14.5));
        p.drawLine(QPointF(15, 11.5), QPointF(12, 14.5));
        break;
    case ToolIcon::NewJpeg:
        photo(p, 0, 0, 12, 10);
        pen(p, kGreen, 2);
        p.drawLine(QPointF(12, 8), QPointF(12, 16));
        p.drawLine(QPointF(8, 12), QPointF(16, 12));
        break;
    case ToolIcon::Overwrite:
        pen(p, kInk);
        p.setBrush(kBlue);
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(kPaper);
        p.drawRect(QRectF(3.5, 1.5, 9, 5));
        p.setBrush(QColor(210, 210, 210));
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
        break;
    case ToolIcon::ForceProgressive:
        pen(p, kInk);
        p.setBrush(kPaper);
        p.drawRect(QRectF(0.5, 0.5, 15, 15));
        letters(p, QRectF(0, 0, 16, 16), "P", kRed, 12);
        break;
    case ToolIcon::Options: {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(100, 105, 115));
        p.save();
        p.translate(8, 8);
        for (int i = 0; i < 8; ++i) {
            p.drawRect(QRectF(-1.5, -8, 3, 4));
            p.rotate(45);
        }
        p.restore();
        p.drawEllipse(QPointF(8, 8), 5.5, 5.5);
        p.setBrush(kPaper);
        p.drawEllipse(QPointF(8, 8), 2.2, 2.2);
        break;
    }
    case ToolIcon::About:
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 6.5, 2.2, 6.5));
        p.drawEllipse(QPointF(8.1, 4), 1.3, 1.3);
        break;
    case ToolIcon::SaveAs:
        pen(p, kInk);
        p.setBrush(kBlue);
        p.drawRect(QRectF(0.5, 0.5, 15, 15));
        p.setBrush(kPaper);
        p.drawRect(QRectF(3.5, 0.5, 9, 6));
        p.setBrush(QColor(210, 210, 210));
        p.drawRect(QRectF(3.5, 9.5, 9, 6));
        pen(p, kInk);
        p.drawLine(QPointF(9.5, 2), QPointF(9.5, 5));
        break;
    case ToolIcon::SelectAll:
    case ToolIcon::Deselect: {
        photo(p, 1, 1, 14, 14);
        QPen dots(icon == ToolIcon::SelectAll ? kInk : QColor(150, 150, 150), 1, Qt::DotLine);
        p.setPen(dots);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(0.5, 0.5, 15, 15));
        if (icon == ToolIcon::Deselect) cross(p, 11, 11, 3);
        break;
    }
    case ToolIcon::RegularSize:
        // A picture on a block grid, its outline pushed out to whole blocks.
        pen(p, QColor(160, 160, 170));
        for (int i = 0; i <= 3; ++i) {
            p.drawLine(QPointF(0.5 + 5 * i, 0.5), QPointF(0.5 + 5 * i, 15.5));
            p.drawLine(QPointF(0.5, 0.5 + 5 * i), QPointF(15.5, 0.5 + 5 * i));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(150, 200, 240));
        p.drawRect(QRectF(1, 1, 12, 11));
        pen(p, kRed, 1.5);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(0.75, 0.75, 14.5, 14.5));
        break;
    }
}

}  // namespace

QIcon toolIcon(ToolIcon icon) {
    return render([icon](QPainter& p) { draw(icon, p); });
}

// Drawn on the 16-unit grid like the toolbar, but at any size: the window
// takes it from here and the installed theme icons are exported from it.
QImage appIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 16.0, size / 16.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 70, 140));
    p.drawRoundedRect(QRectF(0, 0, 16, 16), 3, 3);
    photo(p, 2, 4, 9, 9);
    // The quill: a white feather across the corner.
    p.setBrush(Qt::white);
    QPainterPath feather;
    feather.moveTo(15, 1);
    feather.cubicTo(10, 2, 8, 6, 7.5, 11);
    feather.lineTo(9, 10);
    feather.cubicTo(12, 8, 14, 5, 15, 1);
    p.drawPath(feather);
    p.setPen(QPen(Qt::white, 1));
    p.drawLine(QPointF(8, 10.5), QPointF(6, 14.5));
    p.end();
    return image;
}

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(appIconImage(size)));
    return icon;
}

}  // namespace quill
