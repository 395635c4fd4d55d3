#pragma once
// The walls the 3-D view draws behind the volume, with the volume's shadows on
// them: one wall per view, perpendicular to the view's direction, on the far
// side of the volume as its light falls, showing the volume's shadow in that
// view (dark), and faintly the part of the wanted figure it does not cover.
//
// Directional light: the walls of the horizontal views (x, y, 45, 60, 120
// degrees) stand on a floor around the volume, each touching its neighbours,
// far enough out that every shadow lies whole on its own wall; the z view's
// shadow lies on the floor. Point lights: each view's wall is parallel to the
// camera's picture plane behind the volume, with the picture grown as the
// light's cone grows.
//
// Geometry is in the units of the volume's cube mesh (picture pixels);
// toSceneUnits moves it into the view's frame.

#include "surface/ShadowWall.h"
#include "surface/TriMesh.h"

#include <QImage>

#include <array>
#include <vector>

namespace ShadowWalls {

// A shadow picture: the view's comparison image (black and brown: the volume's
// shadow; orange: figure the shadow misses; white: neither), or the volume's
// shadow alone, black on white.
struct DirectionalView {
    int mode = -1;  // projection mode of the view
    QImage shadow;  // N x N, pixel (column, row)
};

struct DirectionalScene {
    float cellSize = 1.0f;
    std::array<float, 3> boxMin{0.0f, 0.0f, 0.0f};  // the occupied cells' box
    std::array<float, 3> boxMax{0.0f, 0.0f, 0.0f};
    std::vector<DirectionalView> views;
};

// A point light's view in grid units: the light at `centre`, the picture
// plane at `focal` along `forward`, its pixel columns along `up` and rows
// along `side`, spanning halfSize on each side of the axis.
struct PointLightView {
    QVector3D centre, forward, up, side;
    float focal = 1.0f;
    float halfSize = 1.0f;
    QImage shadow;  // W x H comparison image, pixel (px, py)
};

struct PointLightScene {
    float cellSize = 1.0f;  // mesh units per grid unit
    std::array<float, 3> boxMin{0.0f, 0.0f, 0.0f};
    std::array<float, 3> boxMax{0.0f, 0.0f, 0.0f};
    std::vector<PointLightView> views;
};

// Walls (and the floor) in mesh units; none without a view or an empty box.
std::vector<ShadowWall> directionalWalls(const DirectionalScene& scene);
std::vector<ShadowWall> pointLightWalls(const PointLightScene& scene);

// p -> (p - centre) * scale, the normalisation the view gave the mesh.
void toSceneUnits(std::vector<ShadowWall>& walls, const point& centre, float scale);

// The colours of a wall: wall, shadow, and the figure the shadow misses.
QRgb wallColour(QRgb shadowPixel);

}  // namespace ShadowWalls
