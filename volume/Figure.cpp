#include "volume/Figure.h"

#include <algorithm>

int Figure::count() const
{
    return int(std::count(mask.begin(), mask.end(), std::uint8_t(1)));
}

QImage Figure::toImage() const
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (at(x, y))
                image.setPixel(x, y, 0xFF000000);
    return image;
}

// Dark pixels (red, green and blue all below 100) are the figure.
Result<Figure> figureOf(const QImage& picture, const FigureOptions&)
{
    if (picture.isNull())
        return fail(QStringLiteral("The picture is empty."));
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    Figure figure{rgb.width(), rgb.height(), std::vector<std::uint8_t>(std::size_t(rgb.width()) * rgb.height(), 0)};
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if (qRed(line[x]) < 100 && qGreen(line[x]) < 100 && qBlue(line[x]) < 100)
                figure.mask[std::size_t(y) * rgb.width() + x] = 1;
    }
    if (figure.count() == 0)
        return fail(QStringLiteral("The picture has no dark pixel."));
    return figure;
}

Result<Figure> loadFigure(const QString& path, const FigureOptions& options)
{
    const QImage picture(path);
    if (picture.isNull())
        return fail(QStringLiteral("Cannot read picture %1.").arg(path));
    Result<Figure> figure = figureOf(picture, options);
    if (!figure.ok())
        return fail(QStringLiteral("Picture %1 has no dark pixel.").arg(path));
    return figure;
}
