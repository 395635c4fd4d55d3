#pragma once
// The label that shows one deformable picture (the "Deformed" tab has three).
// The picture itself, its mesh and its deformation, belongs to the design
// session; the window has the label show the picture's rendering whenever it
// renders. Hand editing with the mouse is not offered: the mouse handlers do
// nothing.

#include <QLabel>

class DeformImage : public QLabel {
    Q_OBJECT
public:
    explicit DeformImage(QWidget* parent = nullptr);
    ~DeformImage() override;

    // Shows a rendering of the picture.
    void showRendering(const QImage& rendering);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
};
