#include "app/DeformImage.h"

DeformImage::DeformImage(QWidget* parent) : QLabel(parent) {}

DeformImage::~DeformImage() = default;

void DeformImage::showRendering(const QImage& rendering)
{
    setPixmap(QPixmap::fromImage(rendering));
}

void DeformImage::mousePressEvent(QMouseEvent* /*event*/) {}

void DeformImage::mouseReleaseEvent(QMouseEvent* /*event*/) {}

void DeformImage::mouseMoveEvent(QMouseEvent* /*event*/) {}
