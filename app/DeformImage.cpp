#include "app/DeformImage.h"

DeformImage::DeformImage(QWidget* parent) : QLabel(parent)
{
    _model.set_render_callback([this](const QImage& rendering) { setPixmap(QPixmap::fromImage(rendering)); });
}

void DeformImage::load_picture(const QPixmap& picture, const QString& path, float spacing, int grid_cells)
{
    _model.load_picture(picture.toImage(), path, spacing, grid_cells);
}

QImage DeformImage::set_image_mesh(const TriMesh& mesh, const std::vector<point>& rest_positions,
                                   const std::vector<float>& weights, int grid_cells)
{
    return _model.set_image_mesh(mesh, rest_positions, weights, grid_cells);
}

void DeformImage::apply_mask(const QPixmap& mask)
{
    _model.apply_mask(mask.toImage());
}

void DeformImage::deform(const std::vector<point>& sources, const std::vector<point>& targets)
{
    _model.deform(sources, targets);
}

void DeformImage::preserve_shape()
{
    _model.preserve_shape();
}

void DeformImage::render()
{
    _model.render();
}

void DeformImage::mousePressEvent(QMouseEvent* /*event*/) {}

void DeformImage::mouseReleaseEvent(QMouseEvent* /*event*/) {}

void DeformImage::mouseMoveEvent(QMouseEvent* /*event*/) {}
