#pragma once
// A picture in the Originals tab that the user places by hand: drag it to
// move the figure, turn the wheel over it to scale it, and its context menu
// turns it a quarter, mirrors it or resets its placement. The label only
// tells what the user asked for, in canvas pixels; the window decides
// whether the design may change and asks the session.

#include <QLabel>
#include <QPoint>

class PlacementLabel : public QLabel {
    Q_OBJECT
public:
    explicit PlacementLabel(QWidget* parent = nullptr);

    // Whether drags, the wheel and the menu do anything.
    void setPlacingEnabled(bool enabled) { _enabled = enabled; }
    bool placingEnabled() const { return _enabled; }

signals:
    // A drag released `dx`, `dy` canvas pixels away from where it started.
    void moved(double dx, double dy);
    // The wheel turned: a factor above 1 grows the figure.
    void scaled(double factor);
    void quarterTurned();
    void mirrored();
    void placementReset();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Canvas pixels per label pixel: the canvas is drawn scaled to the pixmap.
    double canvasPerPixel() const;

    bool _enabled = false;
    bool _dragging = false;
    QPoint _press, _offset;  // where the drag started; how far it has gone
};
