#include "ui/Icons.h"

#include "queue/JobQueueTypes.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>
#include <functional>

namespace ui {

namespace {

constexpr int IconSize = 32;

// A coloured disc with a white glyph drawn by Glyph on a 32 x 32 grid.
QIcon Disc(QColor Fill, const std::function<void(QPainter&)>& Glyph) {
    QPixmap pixmap(IconSize, IconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Fill.darker(140), 1.5));
    painter.setBrush(Fill);
    painter.drawEllipse(QRectF(2, 2, 28, 28));
    painter.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::white);
    Glyph(painter);
    return QIcon(pixmap);
}

void ClockGlyph(QPainter& P) { P.drawPolyline(QPolygonF({{16, 8}, {16, 16}, {22, 20}})); }
void PlayGlyph(QPainter& P) {
    P.setPen(Qt::NoPen);
    P.drawPolygon(QPolygonF({{12, 9}, {24, 16}, {12, 23}}));
}
void CheckGlyph(QPainter& P) { P.drawPolyline(QPolygonF({{9, 16}, {14, 21}, {23, 11}})); }
void StopGlyph(QPainter& P) {
    P.setPen(Qt::NoPen);
    P.drawRect(QRectF(11, 11, 10, 10));
}
void CrossGlyph(QPainter& P) {
    P.drawLine(QPointF(11, 11), QPointF(21, 21));
    P.drawLine(QPointF(21, 11), QPointF(11, 21));
}
void ExclamationGlyph(QPainter& P) {
    P.drawLine(QPointF(16, 8), QPointF(16, 18));
    P.drawPoint(QPointF(16, 24));
}
// A down arrow onto a tray: copying into a local folder.
void HarvestGlyph(QPainter& P) {
    P.drawLine(QPointF(16, 7), QPointF(16, 19));
    P.drawPolyline(QPolygonF({{11, 14}, {16, 19}, {21, 14}}));
    P.drawLine(QPointF(9, 24), QPointF(23, 24));
}

} // namespace

QIcon JobStatusIcon(std::int32_t Status) {
    static const std::array<QIcon, 6> icons = {
        Disc(QColor(0x80, 0x80, 0x80), ClockGlyph),       // Queued
        Disc(QColor(0x1e, 0x6f, 0xd9), PlayGlyph),        // Busy
        Disc(QColor(0x2e, 0x9d, 0x3a), CheckGlyph),       // Complete
        Disc(QColor(0xe0, 0x8a, 0x00), StopGlyph),        // Stopped
        Disc(QColor(0xc6, 0x28, 0x28), CrossGlyph),       // Aborted
        Disc(QColor(0xa0, 0x10, 0x50), ExclamationGlyph), // Error
    };
    if (Status < queue::jsQueued || Status > queue::jsError) return {};
    return icons[static_cast<std::size_t>(Status)];
}

QIcon ProgramIcon() { return Disc(QColor(0x2e, 0x7d, 0x32), HarvestGlyph); }
QIcon BusyIcon() { return Disc(QColor(0x1e, 0x6f, 0xd9), HarvestGlyph); }
QIcon FlashIcon() { return Disc(QColor(0xf5, 0xb3, 0x00), HarvestGlyph); }

} // namespace ui
