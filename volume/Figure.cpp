#include "volume/Figure.h"

#include <QIODevice>
#include <QImageReader>

#include <algorithm>
#include <array>

namespace {

constexpr int kDarkLimit = 100;  // dark rule: red, green and blue all below
// The dark rule's figure may differ from the darker side of the automatic
// split by this share of their union (antialiased and compressed edges).
constexpr double kDarkRuleTolerance = 0.1;
// Two parts of a picture are distinct tones when their mean luminances are
// this far apart or when they barely overlap (Otsu's separability); a blank
// page with noise is neither.
constexpr double kMinContrast = 16.0;
constexpr double kCleanSeparability = 0.9;

using Mask = std::vector<std::uint8_t>;

// Messages are one line whatever a file name holds.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

Result<Figure> failure(const QString& text)
{
    return fail(oneLine(text));
}

// Empty when the size is accepted, else the one line that refuses it.
QString sizeError(const QString& subject, QSize size)
{
    const long long pixels = (long long)size.width() * size.height();
    if (size.width() > FigureLimits::maxSide || size.height() > FigureLimits::maxSide ||
        pixels > FigureLimits::maxPixels)
        return QStringLiteral("%1 is too large: %2 x %3 pixels (at most %4 a side and %5 megapixels).")
            .arg(subject)
            .arg(size.width())
            .arg(size.height())
            .arg(FigureLimits::maxSide)
            .arg(FigureLimits::maxPixels / 1'000'000);
    if (size.width() < FigureLimits::minSide || size.height() < FigureLimits::minSide)
        return QStringLiteral("%1 is too small: %2 x %3 pixels (at least %4 x %4).")
            .arg(subject)
            .arg(size.width())
            .arg(size.height())
            .arg(FigureLimits::minSide);
    return {};
}

// The picture's opacity, and the picture laid over white as luminance and
// dark-rule mask.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> alpha;
    std::vector<std::uint8_t> luminance;
    Mask dark;
};

Pixels pixelsOf(const QImage& picture)
{
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    Pixels p;
    p.width = argb.width();
    p.height = argb.height();
    const std::size_t n = std::size_t(p.width) * std::size_t(p.height);
    p.luminance.resize(n);
    p.dark.resize(n);
    p.alpha.resize(n);
    std::size_t i = 0;
    for (int y = 0; y < p.height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < p.width; ++x, ++i) {
            const int a = qAlpha(line[x]);
            const auto overWhite = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
            const int r = overWhite(qRed(line[x])), g = overWhite(qGreen(line[x])), b = overWhite(qBlue(line[x]));
            p.luminance[i] = std::uint8_t(qGray(r, g, b));
            p.dark[i] = (r < kDarkLimit && g < kDarkLimit && b < kDarkLimit) ? 1 : 0;
            p.alpha[i] = std::uint8_t(a);
        }
    }
    return p;
}

std::size_t countOf(const Mask& mask)
{
    return std::size_t(std::count(mask.begin(), mask.end(), std::uint8_t(1)));
}

// Whether `mask` is the ground: it holds more of the border than the rest.
bool isGround(const Mask& mask, int width, int height)
{
    std::size_t in = 0;
    const auto at = [&](int x, int y) { return mask[std::size_t(y) * std::size_t(width) + std::size_t(x)]; };
    for (int x = 0; x < width; ++x)
        in += at(x, 0) + at(x, height - 1);
    for (int y = 1; y + 1 < height; ++y)
        in += at(0, y) + at(width - 1, y);
    const std::size_t border = 2 * std::size_t(width) + 2 * std::size_t(height) - 4;
    return 2 * in > border;
}

// The pixels with luminance below `threshold`.
Mask below(const std::vector<std::uint8_t>& luminance, int threshold)
{
    Mask mask(luminance.size());
    std::transform(luminance.begin(), luminance.end(), mask.begin(),
                   [threshold](std::uint8_t l) { return std::uint8_t(l < threshold ? 1 : 0); });
    return mask;
}

// The side of a split that is not the ground: `darker`, or the rest.
Mask figureSide(Mask darker, int width, int height)
{
    if (isGround(darker, width, height))
        for (std::uint8_t& m : darker)
            m ^= 1;
    return darker;
}

// Otsu's threshold: the split of a histogram of luminance (or opacity) with
// the largest variance between its two sides, as the first value of the upper
// side (the middle of an empty gap between two tones). Negative when the
// values do not fall into two distinct tones.
int automaticThreshold(const std::vector<std::uint8_t>& luminance)
{
    std::array<double, 256> histogram{};
    for (std::uint8_t l : luminance)
        histogram[l] += 1.0;
    const double n = double(luminance.size());
    double sum = 0.0;
    for (int l = 0; l < 256; ++l)
        sum += l * histogram[l];
    const double mean = sum / n;
    double variance = 0.0;
    for (int l = 0; l < 256; ++l)
        variance += histogram[l] * (l - mean) * (l - mean);
    variance /= n;

    double best = -1.0, contrast = 0.0;
    int first = -1, last = -1;  // the split lies after luminance first..last
    double darkCount = 0.0, darkSum = 0.0;
    for (int l = 0; l < 255; ++l) {
        darkCount += histogram[l];
        darkSum += l * histogram[l];
        const double lightCount = n - darkCount;
        if (darkCount == 0.0)
            continue;
        if (lightCount == 0.0)
            break;
        const double darkMean = darkSum / darkCount, lightMean = (sum - darkSum) / lightCount;
        const double between = darkCount * lightCount * (lightMean - darkMean) * (lightMean - darkMean);
        if (between > best) {
            best = between;
            first = last = l;
            contrast = lightMean - darkMean;
        } else if (between == best && histogram[l] == 0.0 && last == l - 1) {
            last = l;  // an empty luminance: the same split, further into the gap
        }
    }
    if (first < 0 || variance <= 0.0)
        return -1;  // one tone
    const double separability = best / (n * n) / variance;
    if (contrast < kMinContrast && separability < kCleanSeparability)
        return -1;
    return (first + last) / 2 + 1;
}

Result<Figure> figureFrom(const QImage& picture, const FigureOptions& options, const QString& subject)
{
    if (picture.isNull())
        return failure(QStringLiteral("%1 is empty.").arg(subject));
    if (options.threshold > 255)
        return failure(QStringLiteral("The threshold must be 0 to 255 (or automatic), not %1.").arg(options.threshold));
    if (const QString error = sizeError(subject, picture.size()); !error.isEmpty())
        return failure(error);

    const Pixels p = pixelsOf(picture);
    if (p.width != picture.width() || p.height != picture.height())
        return failure(QStringLiteral("%1 is too large to convert.").arg(subject));
    Figure figure{p.width, p.height, {}, FigureRule::Threshold, options.threshold};
    if (options.threshold >= 0) {
        Mask darker = below(p.luminance, options.threshold);
        const std::size_t count = countOf(darker);
        if (count == 0 || count == darker.size())
            return failure(QStringLiteral("%1 has no figure at threshold %2.").arg(subject).arg(options.threshold));
        figure.mask = figureSide(std::move(darker), p.width, p.height);
        return figure;
    }

    // Transparency: the more opaque side of the opacity's own split, when the
    // more transparent side is the ground. A picture nothing of which is more
    // than half transparent is seen over white.
    const bool seeThrough = std::any_of(p.alpha.begin(), p.alpha.end(), [](std::uint8_t a) { return a < 128; });
    if (const int split = seeThrough ? automaticThreshold(p.alpha) : -1; split >= 0) {
        Mask moreOpaque = below(p.alpha, split);
        for (std::uint8_t& m : moreOpaque)
            m ^= 1;
        if (!isGround(moreOpaque, p.width, p.height)) {
            figure.rule = FigureRule::Transparency;
            figure.threshold = -1;
            figure.mask = std::move(moreOpaque);
            return figure;
        }
    }

    const int threshold = automaticThreshold(p.luminance);
    if (threshold < 0 && countOf(p.dark) == p.dark.size()) {
        // All dark: the dark rule's figure is the whole picture (a square shadow).
        figure.rule = FigureRule::DarkRule;
        figure.threshold = -1;
        figure.mask = p.dark;
        return figure;
    }
    if (threshold < 0)
        return failure(QStringLiteral("%1 has no figure: it is all one tone.").arg(subject));
    Mask darker = below(p.luminance, threshold);
    std::size_t differ = 0, either = 0;
    for (std::size_t i = 0; i < darker.size(); ++i) {
        differ += darker[i] ^ p.dark[i];
        either += darker[i] | p.dark[i];
    }
    if (countOf(p.dark) > 0 && double(differ) <= kDarkRuleTolerance * double(either) &&
        !isGround(p.dark, p.width, p.height)) {
        figure.rule = FigureRule::DarkRule;
        figure.threshold = -1;
        figure.mask = p.dark;
        return figure;
    }
    figure.rule = FigureRule::AutomaticThreshold;
    figure.threshold = threshold;
    figure.mask = figureSide(std::move(darker), p.width, p.height);
    return figure;
}

Result<Figure> readWith(QImageReader& reader, const QString& name, const FigureOptions& options)
{
    const QString subject = QStringLiteral("Picture %1").arg(name);
    // The size from the header, so that a picture claiming a huge one is
    // refused before it is decoded. Qt's own allocation limit stays as a
    // second guard for formats that do not tell.
    const QSize claimed = reader.size();
    if (claimed.isValid())
        if (const QString error = sizeError(subject, claimed); !error.isEmpty())
            return failure(error);
    reader.setAutoTransform(true);  // photographs upright as their viewers show them
    QImage picture;
    if (!reader.read(&picture))
        return failure(QStringLiteral("Cannot read picture %1: %2.").arg(name, reader.errorString()));
    return figureFrom(picture, options, subject);
}

}  // namespace

int Figure::count() const
{
    return int(countOf(mask));
}

QImage Figure::toImage() const
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            if (at(x, y))
                line[x] = 0xFF000000;
    }
    return image;
}

QString Figure::extraction() const
{
    switch (rule) {
    case FigureRule::DarkRule: return QStringLiteral("dark rule");
    case FigureRule::Transparency: return QStringLiteral("transparency");
    case FigureRule::AutomaticThreshold: return QStringLiteral("automatic threshold %1").arg(threshold);
    case FigureRule::Threshold: return QStringLiteral("threshold %1").arg(threshold);
    }
    return {};
}

Result<Figure> figureOf(const QImage& picture, const FigureOptions& options)
{
    return figureFrom(picture, options, QStringLiteral("The picture"));
}

Result<Figure> loadFigure(const QString& path, const FigureOptions& options)
{
    QImageReader reader(path);
    return readWith(reader, path, options);
}

Result<Figure> readFigure(QIODevice& device, const QString& name, const FigureOptions& options)
{
    QImageReader reader(&device);
    return readWith(reader, name, options);
}
