#pragma once
// One deformable picture: the dark figure held as a triangle mesh in the pixel
// coordinates of the 200-pixel-wide picture (origin top-left, y down, z = 0),
// the positions its vertices had when it was loaded, per-vertex stiffness, and
// its black-on-white rendering. The DeformImage widget shows it; the view
// objects read its rendering when the volume is rebuilt from deformed pictures.

#include "surface/TriMesh.h"

#include <QImage>
#include <QString>

#include <functional>
#include <vector>

class DeformationModel {
public:
    static constexpr int kPictureSize = 200;  // the rendering is kPictureSize square

    DeformationModel() = default;

    // ---- building the model ------------------------------------------------

    // Builds the model from a picture file's image: the picture mesh comes from
    // the cache file beside `path` ("x.png" -> "x_mesh.obj") when it can be
    // read, otherwise from converting the picture (and is then written to the
    // cache, silently ignoring write failures). Renders.
    void load_picture(const QImage& picture, const QString& path, float spacing = 3.0f, int grid_cells = 4);

    // Sets the model from a mesh with its rest positions and weights (resized
    // to the vertex count), resets the step counter, renders and returns the
    // rendering.
    QImage set_image_mesh(const TriMesh& mesh, const std::vector<point>& rest_positions,
                          const std::vector<float>& weights, int grid_cells = 4);

    // Stiffness from a mask picture (already scaled to width 200): weight i :=
    // |255 - red| / 40 + 1 at the vertex's pixel; 1.0 under white, 7.375 under black.
    void apply_mask(const QImage& mask);

    TriMesh image_mesh() const { return _image_mesh; }
    std::vector<point> rest_positions() const { return _rest_positions; }
    std::vector<float> vertex_weights() const { return _vertex_weights; }

    // ---- deformation ------------------------------------------------------

    // Filters the handles (sources closer than sqrt(2) to an already kept
    // source are dropped) and displaces every vertex by the kept handles. Does
    // not render.
    void deform(const std::vector<point>& sources, const std::vector<point>& targets);

    // One implicit smoothing step of the displacement field towards the rest
    // shape (lambda 10, 9, ..., 2, 2, ...), then render().
    void preserve_shape();

    // Redraws the rendering from the mesh: white ground, black filled faces.
    void render();

    // The current rendering (kPictureSize square; null before the first load).
    const QImage& rendering() const { return _pixmap; }
    bool empty() const { return _pixmap.isNull(); }

    // Called with the new rendering after every render(); the widget uses it
    // to update what it shows.
    void set_render_callback(std::function<void(const QImage&)> callback) { _on_render = std::move(callback); }

    // ---- pieces exposed for tests and benchmarks ---------------------------

    // Indices of the handles that survive the filter, in order.
    static std::vector<int> filter_handles(const std::vector<point>& sources);
    // Stiffness factor of shape-preservation step k (0-based).
    static float lambda_for_step(int k);
    // Cache path of a picture: its first ".png" replaced by "_mesh.obj"; empty
    // (no cache) when the path holds no ".png".
    static QString cache_path(const QString& picture_path);

    // ---- state ---------------------------------------------------------------
    TriMesh _image_mesh;                  // neighbour lists always filled
    std::vector<point> _rest_positions;   // one per vertex, never deformed
    std::vector<float> _vertex_weights;   // one per vertex
    int _preserve_steps = 0;              // steps since the mesh was last set
    QImage _pixmap;                       // current rendering

private:
    void adopt_mesh(TriMesh mesh);
    std::function<void(const QImage&)> _on_render;
};

// The faces of `mesh` filled black on a white picture of `size` (x, y of
// the vertices in pixels; one-pixel outlines included).
QImage renderMesh(const TriMesh& mesh, const QSize& size);

// Loads a picture file into `model` and returns the picture a view is made
// from: the rendering of the picture mesh cached beside the file
// ("_mesh.obj") when there is one, otherwise the picture itself (the model is
// then built from it, writing the cache). With `useMask`, "_mask.png" beside
// the file sets the vertex stiffness. A null picture when the file cannot be
// read (the model is left as it was).
QImage loadPictureFile(DeformationModel& model, const QString& path, bool useMask);
