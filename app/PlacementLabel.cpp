#include "app/PlacementLabel.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace {

constexpr double kCanvasSide = 250.0;
constexpr double kWheelStep = 1.05;  // per notch of the wheel

}  // namespace

PlacementLabel::PlacementLabel(QWidget* parent) : QLabel(parent)
{
    setToolTip(QStringLiteral("drag to move, wheel to scale, right-click to turn or mirror"));
}

double PlacementLabel::canvasPerPixel() const
{
    const int width = pixmap().isNull() ? 0 : pixmap().width();
    return width > 0 ? kCanvasSide / double(width) : 1.0;
}

void PlacementLabel::mousePressEvent(QMouseEvent* event)
{
    if (_enabled && event->button() == Qt::LeftButton && !pixmap().isNull()) {
        _dragging = true;
        _press = event->position().toPoint();
        _offset = {};
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

// While dragging, the picture is drawn where it would go.
void PlacementLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (_dragging) {
        _offset = event->position().toPoint() - _press;
        update();
        event->accept();
        return;
    }
    QLabel::mouseMoveEvent(event);
}

void PlacementLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (_dragging && event->button() == Qt::LeftButton) {
        _dragging = false;
        unsetCursor();
        const QPoint offset = event->position().toPoint() - _press;
        _offset = {};
        update();
        if (!offset.isNull())
            emit moved(std::round(offset.x() * canvasPerPixel()), std::round(offset.y() * canvasPerPixel()));
        event->accept();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void PlacementLabel::wheelEvent(QWheelEvent* event)
{
    const int notches = event->angleDelta().y() / 120;
    if (!_enabled || notches == 0 || pixmap().isNull()) {
        QLabel::wheelEvent(event);
        return;
    }
    emit scaled(std::pow(kWheelStep, notches));
    event->accept();
}

void PlacementLabel::contextMenuEvent(QContextMenuEvent* event)
{
    if (!_enabled || pixmap().isNull()) {
        QLabel::contextMenuEvent(event);
        return;
    }
    QMenu menu(this);
    menu.setObjectName(objectName() + QStringLiteral("_menu"));
    connect(menu.addAction(QStringLiteral("quarter turn")), &QAction::triggered, this, &PlacementLabel::quarterTurned);
    connect(menu.addAction(QStringLiteral("mirror")), &QAction::triggered, this, &PlacementLabel::mirrored);
    menu.addSeparator();
    connect(menu.addAction(QStringLiteral("reset placement")), &QAction::triggered, this,
            &PlacementLabel::placementReset);
    menu.exec(event->globalPos());
    event->accept();
}

void PlacementLabel::paintEvent(QPaintEvent* event)
{
    if (!_dragging || _offset.isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRect box = contentsRect();
    const QPoint topLeft(box.left() + (box.width() - pixmap().width()) / 2,
                         box.top() + (box.height() - pixmap().height()) / 2);
    painter.setClipRect(QRect(topLeft, pixmap().size()));
    painter.drawPixmap(topLeft + _offset, pixmap());
    painter.setPen(QPen(Qt::gray, 1, Qt::DashLine));
    painter.setClipping(false);
    painter.drawRect(QRect(topLeft, pixmap().size()).adjusted(0, 0, -1, -1));
}
