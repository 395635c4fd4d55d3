#pragma once
// The label that shows one deformable picture (the "Deformed" tab has three).
// The picture itself, its mesh and its deformation, belongs to the design
// session; the label shows its rendering whenever it renders. Hand editing
// with the mouse is not offered: the mouse handlers do nothing.

#include "deform/DeformationModel.h"

#include <QLabel>

class DeformImage : public QLabel {
    Q_OBJECT
public:
    explicit DeformImage(QWidget* parent = nullptr);
    ~DeformImage() override;

    // Shows `model`'s renderings from now on (the model must outlive the label
    // or be detached with nullptr).
    void setModel(DeformationModel* model);
    DeformationModel* model() const { return _model; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    DeformationModel* _model = nullptr;
};
