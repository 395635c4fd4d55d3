#pragma once
// The point-light design as the window and kalvex-cli see it: pictures cast
// by point lights through pinhole cameras, the volume built from them, its
// comparisons and the passes that deform the pictures until they agree. It
// has pictures, cameras and a volume of its own, apart from the three
// directional views of the design session.

#include "surface/Result.h"
#include "surface/ShadowWall.h"
#include "surface/TriMesh.h"

#include <QImage>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class PerspectiveDesign;

// A pinhole camera in volume units: where it is, what it looks at, which way
// is up, its focal distance and the size of its (square) picture in pixels.
struct PointLightCamera {
    std::array<double, 3> center{0.0, 0.0, 0.0};
    std::array<double, 3> lookAt{0.0, 0.0, 0.0};
    std::array<double, 3> up{0.0, 1.0, 0.0};
    double focalDistance = 1.0;
    int imageSize = 1;
};

// A picture file and the camera it is cast through. `threshold` tells the
// figure from the ground: a luminance split 0..255, automatic when negative.
struct PointLightView {
    QString picture;
    PointLightCamera camera;
    int threshold = -1;
};

struct PointLightOptions {
    int minSize = 2;            // smallest region of missing pixels that is repaired
    bool preserveShape = true;  // shape preservation after each picture's deformation
};

class PointLights {
public:
    static constexpr int kMaxViews = 3;

    struct Counts {
        int cells = 0;
        std::vector<int> missing;  // per view: figure pixels without an occupied cell
        std::vector<int> extra;    // per view: shadow pixels outside the figure
    };

    PointLights();
    ~PointLights();
    PointLights(const PointLights&) = delete;
    PointLights& operator=(const PointLights&) = delete;

    // ---- views ---------------------------------------------------------------------------
    // A new design from these views with cells of `cellSize` (the design's
    // handles are scaled by it); every view is checked before anything changes.
    Report load(const std::vector<PointLightView>& views, float cellSize);
    // The built-in example: three pictures looking at the origin.
    Report loadExample(float cellSize);
    Report loadExample();  // at the point-light volume's own cell size
    void clear();

    // ---- steps ---------------------------------------------------------------------------
    // The volume from the views, its cube mesh and comparisons ("Perspective mesh shown.").
    Report show();
    // The views made again from the (deformed) pictures ("recomputed shadow mesh.").
    Report recompute();
    // One adjustment of the pictures (needs three views).
    Report adjust(const PointLightOptions& options);
    // `passes` adjustments; `beforePass` gets the progress value (0..100)
    // before each, `afterPass` the pass number after it.
    Report optimize(int passes, const PointLightOptions& options, const std::function<void(int)>& beforePass = {},
                    const std::function<void(int)>& afterPass = {});
    // Frees random removable cells ("N many cells removed.").
    Report removeRandomCells();
    // The subtractive brush along a ray in the volume's coordinates.
    Report subtractBrush(const point& origin, const point& direction, float radius, bool completeOnly);

    // ---- state ---------------------------------------------------------------------------
    int viewCount() const;
    int resolution() const;
    float cellSize() const;
    // The volume's cube mesh as last built (null before the first show).
    const TriMesh* mesh() const;
    // The volume's shadows on a wall behind it per camera, in the cube mesh's
    // units (none before a volume is shown).
    std::vector<ShadowWall> shadowWalls() const;
    // Cells spanned by the volume's box along x, y and z.
    std::array<int, 3> dimensions() const;
    const QImage& comparison(int k) const;
    Counts counts() const;
    int passCount() const;
    // The picture file of view k, and its figure as the volume sees it
    // (black on white, the camera's picture size).
    QString picturePath(int k) const;
    QImage figurePicture(int k) const;
    // View k's deformable picture as drawn now (null before a load).
    QImage rendering(int k) const;
    // Calls `shown` with view k's deformable picture now and whenever it is
    // drawn again; an empty function stops it.
    void watchPicture(int k, std::function<void(const QImage&)> shown);

    // The design itself, for the file writers.
    const PerspectiveDesign& design() const { return *_design; }

private:
    std::unique_ptr<PerspectiveDesign> _design;
};
