// The placement of a figure on the canvas: identity, known moves, nothing
// cut off, thin parts kept when shrinking, and the text form.

#include "volume/Placement.h"

#include <gtest/gtest.h>

#include <QRect>

#include <cmath>

namespace {

Figure blankFigure(int width, int height)
{
    return Figure{width, height, std::vector<std::uint8_t>(std::size_t(width) * height, 0)};
}

void fill(Figure& f, const QRect& r)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            f.mask[std::size_t(y) * f.width + x] = 1;
}

Figure rectangleFigure(int width, int height, const QRect& r)
{
    Figure f = blankFigure(width, height);
    fill(f, r);
    return f;
}

// The canvas's black pixels.
std::vector<QPoint> blackPixels(const QImage& canvas)
{
    std::vector<QPoint> pixels;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (canvas.pixel(x, y) == 0xFF000000)
                pixels.emplace_back(x, y);
    return pixels;
}

bool isExactly(const QImage& canvas, const QRect& r)
{
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if ((canvas.pixel(x, y) == 0xFF000000) != r.contains(x, y))
                return false;
    return true;
}

}  // namespace

TEST(Placement, IdentityReproducesA250PictureExactly)
{
    // Lines one pixel wide, single pixels at the border and a block.
    Figure f = blankFigure(250, 250);
    fill(f, QRect(10, 20, 1, 200));
    fill(f, QRect(30, 40, 150, 1));
    fill(f, QRect(60, 60, 70, 50));
    for (const QPoint p : {QPoint(0, 0), QPoint(249, 0), QPoint(0, 249), QPoint(249, 249), QPoint(123, 201)})
        fill(f, QRect(p, QSize(1, 1)));
    const Result<QImage> canvas = placeFigure(f, Placement());
    ASSERT_TRUE(canvas.ok()) << canvas.error().toStdString();
    ASSERT_EQ(canvas.value().size(), QSize(250, 250));
    for (int y = 0; y < 250; ++y)
        for (int x = 0; x < 250; ++x)
            ASSERT_EQ(canvas.value().pixel(x, y) == 0xFF000000, f.at(x, y)) << x << ", " << y;
}

TEST(Placement, KnownMovesLandExactly)
{
    struct Case {
        const char* name;
        Figure figure;
        Placement placement;
        QRect expected;
    } cases[] = {
        // x: 125 + 2 (x - 125) + 10, y: 125 + 2 (y - 125) - 20.
        {"scale 2 and shift", rectangleFigure(250, 250, QRect(100, 110, 50, 20)), {2, 10, -20, 0, false},
         QRect(85, 75, 100, 40)},
        {"scale 0.5 and shift", rectangleFigure(250, 250, QRect(101, 111, 50, 20)), {0.5, -30, 40, 0, false},
         QRect(83, 158, 25, 10)},
        // A 500 x 250 picture is fitted at half size, centred from y = 62.5.
        {"fitted wide picture", rectangleFigure(500, 250, QRect(100, 51, 200, 100)), {}, QRect(50, 88, 100, 50)},
        // Clockwise on the canvas: (x, y) about the centre becomes (-y, x).
        {"quarter turn", rectangleFigure(250, 250, QRect(100, 110, 50, 20)), {1, 0, 0, 1, false},
         QRect(120, 100, 20, 50)},
        {"mirror", rectangleFigure(250, 250, QRect(130, 110, 20, 20)), {1, 0, 0, 0, true}, QRect(100, 110, 20, 20)},
        {"mirror, half turn, shift", rectangleFigure(250, 250, QRect(130, 110, 20, 20)), {1, 5, 7, 2, true},
         QRect(135, 127, 20, 20)},
    };
    for (const Case& c : cases) {
        const Result<QImage> canvas = placeFigure(c.figure, c.placement);
        ASSERT_TRUE(canvas.ok()) << c.name;
        EXPECT_TRUE(isExactly(canvas.value(), c.expected)) << c.name;
    }
}

TEST(Placement, NothingIsEverCutOff)
{
    const Figure f = rectangleFigure(250, 250, QRect(20, 30, 200, 150));
    struct Case {
        const char* name;
        Placement placement;
    } cases[] = {
        {"too large", {1.5, 0, 0, 0, false}},
        {"off the left", {1, -40, 0, 0, false}},
        {"off the bottom right", {1, 60, 90, 0, false}},
        {"turned off the top", {1, 0, -60, 1, false}},
        {"far away and large", {3, -1000, 1000, 3, true}},
        {"not a number", {std::nan(""), 0, 0, 0, false}},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(placementFits(f, c.placement)) << c.name;
        EXPECT_FALSE(placeFigure(f, c.placement).ok()) << c.name;
        const Placement clamped = clampPlacement(f, c.placement);
        ASSERT_TRUE(placementFits(f, clamped)) << c.name;
        EXPECT_EQ(clamped.quarterTurns, c.placement.quarterTurns) << c.name;
        const CanvasBox box = placedBox(f, clamped);
        const Result<QImage> canvas = placeFigure(f, clamped);
        ASSERT_TRUE(canvas.ok()) << c.name;
        // Every part of the figure is there: the black pixels fill its box.
        const double area = (box.right - box.left) * (box.bottom - box.top);
        EXPECT_NEAR(double(blackPixels(canvas.value()).size()), area, 2 * (box.right - box.left + box.bottom - box.top))
            << c.name;
    }
    // A placement that fits is left as it is.
    const Placement fits{0.9, 12, -7, 0, false};
    EXPECT_EQ(clampPlacement(f, fits), fits);
}

TEST(Placement, ShrinkingKeepsThinParts)
{
    // A diagonal and a vertical line, one pixel wide, shrunk to a third;
    // turned a quarter, the line lies across the rows (its ridge runs along
    // rows, not columns) and the diagonal turns the other way.
    Figure f = blankFigure(250, 250);
    for (int i = 20; i < 230; ++i)
        fill(f, QRect(i, i, 1, 1));
    fill(f, QRect(200, 20, 1, 210));
    for (const int turns : {0, 1}) {
        const Result<QImage> canvas = placeFigure(f, {1.0 / 3, 0, 0, turns, false});
        ASSERT_TRUE(canvas.ok());
        const auto blackNear = [&](int x, int y, bool alongColumn) {
            for (int d = -1; d <= 1; ++d)
                if (canvas.value().pixel(alongColumn ? x : x + d, alongColumn ? y + d : y) == 0xFF000000)
                    return true;
            return false;
        };
        // Both lines cross every canvas row (turned: column) from 90 to 159
        // without a gap: the diagonal near x = y (turned: x = 250 - y), the
        // line near x = 150 (turned: y = 150).
        for (int i = 90; i < 160; ++i) {
            if (turns == 0) {
                EXPECT_TRUE(blackNear(i, i, false)) << "row " << i;
                EXPECT_TRUE(blackNear(150, i, false)) << "row " << i;
            } else {
                EXPECT_TRUE(blackNear(250 - i, i, false)) << "turned, row " << i;
                EXPECT_TRUE(blackNear(i, 150, true)) << "turned, column " << i;
            }
        }
    }
}

TEST(Placement, TextRoundTrip)
{
    const Placement cases[] = {
        {},
        {0.1 + 0.2, -12.5, 1e-7, 1, false},
        {1.1060000000000001, 33, -0.3333333333333333, 3, true},
        {2, 0, 0, 2, true},
    };
    for (const Placement& p : cases) {
        const Result<Placement> back = parsePlacement(placementText(p));
        ASSERT_TRUE(back.ok()) << back.error().toStdString();
        EXPECT_EQ(back.value(), p) << placementText(p).toStdString();
    }
    EXPECT_EQ(placementText({}), QStringLiteral("scale=1 dx=0 dy=0 turns=0 mirror=0"));
    // Fields in any order; missing ones keep their identity value.
    const Result<Placement> partial = parsePlacement(QStringLiteral("  dy=4   scale=0.5 "));
    ASSERT_TRUE(partial.ok());
    EXPECT_EQ(partial.value(), (Placement{0.5, 0, 4, 0, false}));

    const std::array<Placement, 3> three{cases[1], cases[2], cases[3]};
    const Result<std::array<Placement, 3>> file = parsePlacements(placementsText(three));
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(file.value(), three);
}

TEST(Placement, BadTextIsRefusedWithOneLine)
{
    const char* bad[] = {"", "scale=0", "scale=-1", "scale=abc", "dx=inf", "turns=4", "turns=1.5", "mirror=2",
                         "colour=1", "scale=1 scale=2", "dx", "dx="};
    for (const char* text : bad) {
        const Result<Placement> p = parsePlacement(QString::fromLatin1(text));
        EXPECT_FALSE(p.ok()) << text;
        EXPECT_FALSE(p.error().contains(QLatin1Char('\n'))) << text;
    }
    const char* badFiles[] = {"scale=1\nscale=1\n", "scale=1\nscale=1\nscale=1\nscale=1\n", "scale=1\nturns=9\nscale=1\n"};
    for (const char* text : badFiles) {
        const auto p = parsePlacements(QString::fromLatin1(text));
        EXPECT_FALSE(p.ok()) << text;
        EXPECT_FALSE(p.error().contains(QLatin1Char('\n'))) << text;
    }
    EXPECT_TRUE(parsePlacements(QStringLiteral("scale=1\n\nscale=2\nscale=3")).ok());
}
