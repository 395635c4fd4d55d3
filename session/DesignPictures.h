#pragma once
// The pictures of a design and the views made of them: the choice they were
// loaded from, each picture's figure and the 250 x 250 canvas it is placed
// on, the deformable pictures, and one view per picture. The design session
// changes them in its steps (which also rebuild the volume that refers to the
// views); everyone else reads them here.

#include "deform/DeformationModel.h"
#include "deform/ImageAdjustment.h"
#include "surface/Result.h"
#include "volume/Figure.h"
#include "volume/KeepFigure.h"
#include "volume/Placement.h"

#include <QImage>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

// One deformable picture as it stands: its mesh, the positions its vertices
// rest at and their stiffness.
struct PictureState {
    TriMesh mesh;
    std::vector<point> rest;
    std::vector<float> weights;
};

class DesignPictures {
public:
    using PictureFiles = std::array<QString, 3>;
    using Placements = std::array<Placement, 3>;

    // How pictures become views: through the deformable pictures (as the
    // window does; the picture mesh is cached beside each file), or plainly
    // (nothing is written, the pictures cannot be deformed).
    enum class Kind { Deformable, Plain };

    // What a design is made of: three picture files for projection set `set`
    // (0, 1, 2), cells of `cellSize`, how each figure is told from its ground
    // (a luminance threshold, or automatic when negative) and where each sits
    // on the canvas.
    struct PictureChoice {
        int set = 0;
        PictureFiles paths;
        float cellSize = 5.0f;
        int threshold = -1;
        Placements placements{};
        bool useMask = false;
        Kind how = Kind::Deformable;
        // With a count below 3 only the first `count` pictures become views
        // (slots x, y, ... in order), and the volume is the intersection of
        // that many extrusions; the steps that make the pictures agree, the
        // kept figure and arrange need all three.
        int count = 3;
    };

    DesignPictures() = default;
    DesignPictures(const DesignPictures&) = delete;
    DesignPictures& operator=(const DesignPictures&) = delete;

    // ---- the choice --------------------------------------------------------------------
    // The choice the current views were made from.
    const PictureChoice& choice() const { return _choice; }
    // The projection set of the views (-1 before a load).
    int projectionSet() const { return _set; }
    const Placements& placements() const { return _choice.placements; }
    // Placements for the next load of the same pictures (an opened scene's).
    void restorePlacements(const Placements& placements) { _choice.placements = placements; }
    // The figure of a picture file, black on white at the picture's size, as
    // a load with `threshold` would find it, and how it was found ("dark
    // rule", "automatic threshold 128", ...); fails with the load's line.
    static Result<std::pair<QImage, QString>> figurePreview(const QString& path, int threshold);

    // ---- figures and pictures ----------------------------------------------------------
    // Slot k's figure as found in its file, and placed on the canvas (null without views).
    const Figure& figure(int slot) const { return _figures[std::size_t(slot)]; }
    const QImage& canvas(int slot) const { return _canvases[std::size_t(slot)]; }
    // The deformable picture of view slot k, and the file it came from (empty without views).
    const DeformationModel& picture(int slot) const { return _pictures[std::size_t(slot)]; }
    QString picturePath(int slot) const;
    // Whether the views came through deformable pictures.
    bool picturesDeform() const { return _choice.how == Kind::Deformable && !_views.empty(); }
    // Calls `shown` with slot k's deformable picture now and whenever it is
    // drawn again; an empty function stops it.
    void watchPicture(int slot, std::function<void(const QImage&)> shown);

    // ---- views -------------------------------------------------------------------------
    const std::vector<ShadowView>& views() const { return _views; }
    int viewCount() const { return int(_views.size()); }
    // The projection mode of view slot k (x, y, z), or NO_VIEW.
    int viewMode(int slot) const;
    // The picture view slot k was made from, as the view sees it (null without one).
    QImage viewPicture(int slot) const;
    // Pixels of view slot k's figure on its N x N map (0 before the views are quantised).
    int figurePixels(int slot) const;
    // Three views, each with a picture behind it.
    bool hasAllPictures() const;

    // The number of the next numbered save of the result meshes (from 100),
    // counted up by takeSaveNumber.
    int saveCounter() const { return _save_counter; }
    int takeSaveNumber() { return _save_counter++; }

private:
    // The session's steps change the pictures together with the volume.
    friend class DesignSession;

    // The figures of a choice, each placed on its canvas.
    struct Placed {
        std::array<Figure, 3> figures;
        std::array<QImage, 3> canvases;
    };
    // Every picture of `choice` read and placed, each with a dark pixel at
    // its cell size; the first that is not fails.
    static Result<Placed> place(const PictureChoice& choice);
    // A choice whose pictures were placed (none for a load without pictures).
    void take(const PictureChoice& choice, Placed placed);
    // No choice, no figures, no views; the deformable pictures stay until views are made.
    void clear();
    // The choice records the cell size of the next build.
    void recordCellSize(float cellSize) { _choice.cellSize = cellSize; }

    // Whether slot k has a figure to place.
    bool canPlace(int slot) const;
    // Places slot k's figure anew; one that would push it off the canvas, or
    // leave it without a dark pixel at `cellSize`, fails and changes nothing.
    Report setPlacement(int slot, const Placement& placement, float cellSize);
    // Scales and shifts every figure so that the worst view keeps as much of
    // its figure as possible (turns and mirrors stay).
    Report arrange(float cellSize, const std::function<void(double)>& progress);

    // The views made afresh from the placed figures at `cellSize`. The
    // volume, which refers to the views, must be gone.
    void makeViews(float cellSize);
    // The views made again from the (deformed) pictures at `cellSize`; same condition.
    void remakeViews(float cellSize);
    // No views (the pictures can no longer be deformed).
    void dropViews();
    // Quantises the views made since the last quantising (all of them with `always`).
    void quantizeViews(bool always);
    std::vector<ShadowView>& viewsToBuild() { return _views; }
    std::vector<ShadowView*> viewPointers();

    // One adjustment of the deformable pictures towards the missing pixels of
    // the comparisons (plain pictures stay as they are).
    Result<AdjustmentStats> adjust(const std::array<QImage, 3>& comparisons, const AdjustParameters& parameters);
    // Slot k's deformable picture set to `state` (the views follow on the next remakeViews).
    void setPictureState(int slot, const PictureState& state);

    // The placed figures on the N x N maps of `cellSize`, kept until the canvases change.
    const ViewFigures& viewFigures(float cellSize) const;

    std::array<DeformationModel, 3> _pictures;
    PictureChoice _choice;
    std::array<Figure, 3> _figures;
    std::array<QImage, 3> _canvases;
    mutable std::optional<ViewFigures> _view_figures;
    mutable float _view_figures_cell_size = 0.0f;
    std::vector<ShadowView> _views;
    int _set = -1;
    bool _views_need_quantisation = false;
    int _save_counter = 100;
};
