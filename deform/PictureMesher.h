#pragma once
// Turns the dark figure of a picture into a triangle mesh: the outline is
// sampled densely (every `spacing` pixels), the inside coarsely (every
// 2 x `spacing`), the samples are triangulated and only well-shaped triangles
// lying on the figure are kept. The mesh is scaled to the target width.
//
// The steps are public so that they can be checked one by one; mesh() runs
// them all.

#include "surface/TriMesh.h"

#include <QImage>

#include <vector>

class PictureMesher {
public:
    static constexpr int kTargetWidth = 200;

    // A pixel is dark when its red, green and blue values are each below 100.
    // A target width of 0 leaves the mesh in picture pixels.
    PictureMesher(const QImage& picture, float spacing, int target_width = kTargetWidth);

    // The whole conversion: a new mesh whose vertices are the triangulator's
    // vertices (x, y, 0) in walk order, scaled by target width / picture
    // width. Without dark pixels, or with fewer than three samples, the mesh
    // has no faces.
    TriMesh mesh() const;

    // ---- steps ---------------------------------------------------------------

    int width() const { return _width; }
    int height() const { return _height; }
    // False outside the picture.
    bool is_dark(int x, int y) const;

    // Dark pixels with at least one light 8-neighbour inside the picture, and
    // the other dark pixels; both as (x, y, 0) in scan order (x outer, y inner).
    const std::vector<point>& boundary_pixels() const { return _boundary; }
    const std::vector<point>& interior_pixels() const { return _interior; }

    // Boundary pixels in order, each accepted unless a fixed-radius search
    // (squared radius spacing^2) around an earlier sample already found it.
    std::vector<point> boundary_samples() const;

    // Interior pixels in order, each accepted unless its squared distance to
    // one of `samples` or to an interior sample accepted before it is less
    // than 4 spacing^2. Returns `samples` followed by the accepted pixels.
    std::vector<point> add_interior_samples(std::vector<point> samples) const;

    // Delaunay triangulation of the samples in their order, keeping the
    // triangles whose corner cosines lie in [-0.7, 0.999] and whose centroid
    // is on a dark pixel. Not scaled.
    TriMesh triangulate(const std::vector<point>& samples) const;

private:
    bool keeps_triangle(const point& a, const point& b, const point& c) const;

    int _width = 0;
    int _height = 0;
    float _spacing2;       // spacing^2: boundary search radius (squared)
    float _four_spacing2;  // 4 spacing^2: interior exclusion radius (squared)
    int _target_width;
    std::vector<unsigned char> _dark;  // row-major, 1 where dark
    std::vector<point> _boundary;
    std::vector<point> _interior;
};
