#pragma once
// The label that holds one deformable picture (the "Deformed" tab has three):
// it owns the picture's deformation model and shows its rendering whenever the
// model renders. Hand editing with the mouse is not offered: the mouse
// handlers do nothing.

#include "deform/DeformationModel.h"

#include <QLabel>
#include <QPixmap>

class DeformImage : public QLabel {
    Q_OBJECT
public:
    explicit DeformImage(QWidget* parent = nullptr);

    DeformationModel* model() { return &_model; }

    void load_picture(const QPixmap& picture, const QString& path, float spacing = 3.0f, int grid_cells = 4);
    QImage set_image_mesh(const TriMesh& mesh, const std::vector<point>& rest_positions,
                          const std::vector<float>& weights, int grid_cells = 4);
    void apply_mask(const QPixmap& mask);

    TriMesh image_mesh() const { return _model.image_mesh(); }
    std::vector<point> rest_positions() const { return _model.rest_positions(); }
    std::vector<float> vertex_weights() const { return _model.vertex_weights(); }

    void deform(const std::vector<point>& sources, const std::vector<point>& targets);
    void preserve_shape();
    void render();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    DeformationModel _model;
};
