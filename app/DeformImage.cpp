#include "app/DeformImage.h"

DeformImage::DeformImage(QWidget* parent) : QLabel(parent) {}

DeformImage::~DeformImage()
{
    setModel(nullptr);
}

void DeformImage::setModel(DeformationModel* model)
{
    if (_model)
        _model->set_render_callback({});
    _model = model;
    if (!_model)
        return;
    _model->set_render_callback([this](const QImage& rendering) { setPixmap(QPixmap::fromImage(rendering)); });
    if (!_model->empty())
        setPixmap(QPixmap::fromImage(_model->rendering()));
}

void DeformImage::mousePressEvent(QMouseEvent* /*event*/) {}

void DeformImage::mouseReleaseEvent(QMouseEvent* /*event*/) {}

void DeformImage::mouseMoveEvent(QMouseEvent* /*event*/) {}
