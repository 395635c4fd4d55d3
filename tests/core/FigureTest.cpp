#include "volume/Figure.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

constexpr int kWidth = 640, kHeight = 480;  // a photo's shape: index order matters

// The test figure, an ellipse and a bar clear of the border; the bar may have
// a colour of its own.
QImage shapePicture(QColor figure, QColor ground, bool antialiased = true, int width = kWidth,
                    int height = kHeight, QColor bar = {})
{
    QImage picture(width, height, QImage::Format_ARGB32);
    picture.fill(ground);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, antialiased);
    painter.setPen(Qt::NoPen);
    painter.setBrush(figure);
    painter.drawEllipse(QRectF(0.15 * width, 0.2 * height, 0.45 * width, 0.6 * height));
    painter.setBrush(bar.isValid() ? bar : figure);
    painter.drawRect(QRectF(0.55 * width, 0.4 * height, 0.3 * width, 0.15 * height));
    return picture;
}

// The dark rule by itself, pixel by pixel: the reference the figure must match.
std::vector<std::uint8_t> darkRuleMask(const QImage& picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    std::vector<std::uint8_t> mask;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            mask.push_back(qRed(line[x]) < 100 && qGreen(line[x]) < 100 && qBlue(line[x]) < 100 ? 1 : 0);
    }
    return mask;
}

// Shared pixels over pixels in either.
double overlap(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    std::size_t both = 0, either = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        both += a[i] & b[i];
        either += a[i] | b[i];
    }
    return either ? double(both) / double(either) : 1.0;
}

// A BMP header claiming a picture of the given size, with no pixel data.
QByteArray bmpHeader(qint32 width, qint32 height)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(54) << quint16(0) << quint16(0) << quint32(54);               // file header
    out << quint32(40) << width << height << quint16(1) << quint16(24)            // info header
        << quint32(0) << quint32(0) << qint32(2835) << qint32(2835) << quint32(0) << quint32(0);
    return bytes;
}

// Saves `picture` as `format` ("" keeps it in memory) and finds its figure.
Result<Figure> figureThrough(const QImage& picture, const char* format, const QTemporaryDir& dir,
                             const FigureOptions& options = {})
{
    if (!*format)
        return figureOf(picture, options);
    const QString path = dir.filePath(QStringLiteral("picture.") + QLatin1String(format));
    EXPECT_TRUE(picture.save(path, nullptr, 85)) << format;
    return loadFigure(path, options);
}

}  // namespace

// The same figure as people draw, export and photograph it: every version
// gives the black-on-white figure, give or take the antialiased edge.
TEST(Figure, FindsTheSameFigureInEveryKindOfPicture)
{
    const QTemporaryDir dir;
    const QImage blackOnWhite = shapePicture(Qt::black, Qt::white, false);
    const std::vector<std::uint8_t> reference = darkRuleMask(blackOnWhite);
    const int referenceCount = int(std::count(reference.begin(), reference.end(), 1));
    ASSERT_GT(referenceCount, kWidth * kHeight / 5);

    struct Case {
        const char* name;
        QImage picture;
        const char* format;
        FigureRule rule;
    };
    const Case cases[] = {
        {"black on white", blackOnWhite, "png", FigureRule::DarkRule},
        {"antialiased", shapePicture(Qt::black, Qt::white), "", FigureRule::DarkRule},
        {"dark blue on white", shapePicture(QColor(20, 30, 90), Qt::white), "bmp", FigureRule::DarkRule},
        {"JPEG", shapePicture(Qt::black, Qt::white).convertToFormat(QImage::Format_RGB32), "jpg",
         FigureRule::DarkRule},
        {"red on white", shapePicture(QColor(210, 30, 40), Qt::white), "", FigureRule::AutomaticThreshold},
        {"red on white JPEG", shapePicture(QColor(210, 30, 40), Qt::white).convertToFormat(QImage::Format_RGB32),
         "jpg", FigureRule::AutomaticThreshold},
        {"transparent ground", shapePicture(Qt::black, Qt::transparent), "png", FigureRule::Transparency},
        {"white on transparent", shapePicture(Qt::white, QColor(255, 255, 255, 0)), "", FigureRule::Transparency},
        {"black and red on white", shapePicture(Qt::black, Qt::white, true, kWidth, kHeight, QColor(230, 20, 20)),
         "", FigureRule::AutomaticThreshold},
        {"half-transparent shadow", shapePicture(QColor(0, 0, 0, 100), Qt::transparent), "png",
         FigureRule::Transparency},
        {"grey on grey", shapePicture(QColor(150, 150, 150), QColor(200, 200, 200)), "",
         FigureRule::AutomaticThreshold},
        {"faint but clean", shapePicture(QColor(100, 100, 100), QColor(108, 108, 108), false), "",
         FigureRule::AutomaticThreshold},
        {"dark on a ground below the dark limit", shapePicture(QColor(15, 15, 15), QColor(70, 70, 70)), "",
         FigureRule::AutomaticThreshold},
        {"light on dark", shapePicture(QColor(230, 230, 230), QColor(40, 40, 40)), "",
         FigureRule::AutomaticThreshold},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result<Figure> figure = figureThrough(c.picture, c.format, dir);
        ASSERT_TRUE(figure.ok()) << figure.error().toStdString();
        EXPECT_EQ(figure.value().rule, c.rule);
        ASSERT_EQ(figure.value().width, kWidth);
        ASSERT_EQ(figure.value().height, kHeight);
        EXPECT_NEAR(figure.value().count(), referenceCount, 0.03 * referenceCount);
        EXPECT_GT(overlap(figure.value().mask, reference), 0.96);
    }
}

TEST(Figure, ThresholdByHandKeepsTheSideThatIsNotTheGround)
{
    const QImage greyOnGrey = shapePicture(QColor(150, 150, 150), QColor(200, 200, 200), false);
    const std::vector<std::uint8_t> reference = darkRuleMask(shapePicture(Qt::black, Qt::white, false));
    const QImage lightOnDark = shapePicture(QColor(200, 200, 200), QColor(150, 150, 150), false);
    // By hand, a transparent picture is seen over white.
    const QImage onTransparent = shapePicture(QColor(150, 150, 150), Qt::transparent, false);
    for (const QImage& picture : {greyOnGrey, lightOnDark, onTransparent})
        for (int threshold : {151, 175, 200}) {
            const Result<Figure> figure = figureOf(picture, {threshold});
            ASSERT_TRUE(figure.ok()) << threshold;
            EXPECT_TRUE(figure.value().mask == reference) << threshold;
            EXPECT_EQ(figure.value().extraction(), QStringLiteral("threshold %1").arg(threshold));
        }
    // The automatic threshold lies midway between two tones and, typed in by
    // hand, gives the same figure again.
    EXPECT_EQ(figureOf(greyOnGrey).value().extraction(), QStringLiteral("automatic threshold 175"));
    EXPECT_EQ(figureOf(shapePicture(Qt::white, Qt::black, false)).value().threshold, 128);
    const Result<Figure> automatic = figureOf(shapePicture(QColor(210, 30, 40), Qt::white));
    ASSERT_EQ(automatic.value().rule, FigureRule::AutomaticThreshold);
    EXPECT_EQ(automatic.value().extraction(), QStringLiteral("automatic threshold %1").arg(automatic.value().threshold));
    EXPECT_TRUE(figureOf(shapePicture(QColor(210, 30, 40), Qt::white), {automatic.value().threshold}).value().mask ==
                automatic.value().mask);
    EXPECT_EQ(figureOf(shapePicture(Qt::black, Qt::white)).value().extraction(), QStringLiteral("dark rule"));
    EXPECT_EQ(figureOf(shapePicture(Qt::black, Qt::transparent)).value().extraction(), QStringLiteral("transparency"));
}

TEST(Figure, EveryBundledPictureGivesTheDarkRulesFigure)
{
    int pictures = 0;
    for (const char* folder : {"IncludedData", "Models/Images"}) {
        const QDir root(QStringLiteral(KALVEX_SOURCE_DIR "/") + QLatin1String(folder));
        QStringList paths;
        for (const QString& sub : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            for (const QString& file : QDir(root.filePath(sub)).entryList({QStringLiteral("*.png")}))
                paths << root.filePath(sub + QLatin1Char('/') + file);
        for (const QString& file : root.entryList({QStringLiteral("*.png")}))
            paths << root.filePath(file);
        for (const QString& path : paths) {
            SCOPED_TRACE(path.toStdString());
            const Result<Figure> figure = loadFigure(path);
            ASSERT_TRUE(figure.ok()) << figure.error().toStdString();
            EXPECT_EQ(figure.value().rule, FigureRule::DarkRule);
            EXPECT_TRUE(figure.value().mask == darkRuleMask(QImage(path)));
            ++pictures;
        }
    }
    EXPECT_GE(pictures, 120);
}

// Refusals: one line each, naming the file; a picture claiming a huge size is
// refused from its header (the crafted files hold no pixels, so decoding
// would fail differently).
TEST(Figure, RefusesPicturesWithoutAFigureOrOfAnUnusableSize)
{
    const QTemporaryDir dir;
    QImage noisy(kWidth, kHeight, QImage::Format_RGB32);
    std::mt19937 rng(3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int l = 128 + int(rng() % 9) - 4;
            noisy.setPixel(x, y, qRgb(l, l, l));
        }
    QImage black(64, 64, QImage::Format_RGB32);
    black.fill(Qt::black);

    struct Case {
        const char* name;
        std::function<QByteArray()> bytes;  // the file
        FigureOptions options;
        const char* error;
    };
    const auto encoded = [](const QImage& picture, const char* format) {
        return [picture, format] {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            picture.save(&buffer, format);
            return bytes;
        };
    };
    const Case cases[] = {
        {"blank", encoded(shapePicture(Qt::white, Qt::white), "png"), {}, "has no figure: it is all one tone."},
        {"noise only", encoded(noisy, "png"), {}, "has no figure: it is all one tone."},
        {"nothing below the threshold", encoded(shapePicture(Qt::black, Qt::white), "png"), {0},
         "has no figure at threshold 0."},
        {"threshold out of range", encoded(shapePicture(Qt::black, Qt::white), "png"), {256},
         "The threshold must be 0 to 255"},
        {"1 x 1", encoded(shapePicture(Qt::black, Qt::white, false, 1, 1), "png"), {}, "is too small: 1 x 1 pixels"},
        {"7 wide", encoded(shapePicture(Qt::black, Qt::white, false, 7, 100), "png"), {}, "is too small: 7 x 100"},
        {"too wide", [] { return bmpHeader(12000, 100); }, {}, "is too large: 12000 x 100 pixels"},
        {"too many pixels", [] { return bmpHeader(6000, 6000); }, {}, "is too large: 6000 x 6000 pixels"},
        {"not a picture", [] { return QByteArray("P7\nthis is no picture\n"); }, {}, "Cannot read picture"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("odd picture.png"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.bytes());
        file.close();
        const Result<Figure> figure = loadFigure(path, c.options);
        ASSERT_FALSE(figure.ok());
        EXPECT_TRUE(figure.error().contains(QLatin1String(c.error))) << figure.error().toStdString();
        EXPECT_TRUE(figure.error().contains(path) || figure.error().startsWith(QLatin1String("The threshold")))
            << figure.error().toStdString();
        EXPECT_FALSE(figure.error().contains(QLatin1Char('\n')));
    }
    EXPECT_FALSE(loadFigure(dir.filePath(QStringLiteral("missing.png"))).ok());
    // The smallest accepted picture; an all-dark one is a square figure.
    EXPECT_TRUE(figureOf(shapePicture(Qt::black, Qt::white, false, 8, 8)).ok());
    const Result<Figure> allDark = figureOf(black);
    ASSERT_TRUE(allDark.ok());
    EXPECT_EQ(allDark.value().count(), 64 * 64);
    EXPECT_EQ(allDark.value().rule, FigureRule::DarkRule);
}
