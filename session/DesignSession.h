#pragma once
// One design, from three pictures to an edited volume: the deformable
// pictures, the view made of each, the cell size, the projection set, the
// workflow steps that build the volume and make the pictures agree, and the
// parts that hold the rest -- the volume with its history (DesignVolume),
// the point-light design (PointLights) and the example-based filling
// (Filling). The window and the command-line tool run every step through it,
// so both compute the same numbers. Nothing here writes a file; the writers
// are in files/.
//
// Every step returns a Report: the status line when it ran, else the line
// that says why not. Bad input never changes the current volume.

#include "deform/DeformationModel.h"
#include "deform/ImageAdjustment.h"
#include "session/CellSize.h"
#include "session/DesignVolume.h"
#include "session/Filling.h"
#include "session/PointLights.h"
#include "session/Printing.h"
#include "surface/Result.h"
#include "volume/Arrange.h"
#include "volume/Figure.h"
#include "volume/KeepFigure.h"
#include "volume/Placement.h"

#include <QImage>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// One deformable picture as it stands: its mesh, the positions its vertices
// rest at and their stiffness.
struct PictureState {
    TriMesh mesh;
    std::vector<point> rest;
    std::vector<float> weights;
};

class DesignSession {
public:
    using PictureFiles = std::array<QString, 3>;
    using Placements = std::array<Placement, 3>;

    // How pictures become views: through the deformable pictures (as the
    // window does; the picture mesh is cached beside each file), or plainly
    // (nothing is written, the pictures cannot be deformed).
    enum class Pictures { Deformable, Plain };

    DesignSession();
    ~DesignSession();
    DesignSession(const DesignSession&) = delete;
    DesignSession& operator=(const DesignSession&) = delete;

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
        Pictures how = Pictures::Deformable;
        // With a count below 3 only the first `count` pictures become views
        // (slots x, y, ... in order), and the volume is the intersection of
        // that many extrusions; the steps that make the pictures agree, the
        // kept figure and arrange need all three.
        int count = 3;
    };

    // ---- pictures and views ---------------------------------------------------------
    // Three picture files become the views of the set, each figure placed on
    // the 250 x 250 canvas, replacing the views and the volume. Everything is
    // checked first: an unknown set, a cell size outside 1..250, an
    // unreadable picture or one without a figure, a placement that pushes a
    // figure off the canvas fails and leaves the session as it was.
    Report load(const PictureChoice& choice);
    Report load(int set, const PictureFiles& paths, float cellSize, bool useMask = false,
                Pictures how = Pictures::Deformable, int count = 3);
    // Three views of set `set` with no picture behind them (an example name
    // that names no pictures): every pixel is light, so a volume made from
    // them is empty, and there is nothing to deform. Replaces the views and
    // the volume; an unknown set or a cell size outside 1..250 fails.
    Report loadWithoutPictures(int set, float cellSize);
    // The choice the current views were made from.
    const PictureChoice& choice() const { return _choice; }
    // No views, no volume, counters back to 0, the point-light design and the
    // filling emptied.
    void reset();

    int projectionSet() const { return _set; }
    int viewCount() const { return int(_views.size()); }
    // The projection mode of view slot k (x, y, z), or NO_VIEW.
    int viewMode(int slot) const;
    // The picture view slot k was made from, as the view sees it (null without one).
    QImage viewPicture(int slot) const;
    // Slot k's figure as found in its file, and placed on the canvas (null without views).
    const Figure& figure(int slot) const { return _figures[std::size_t(slot)]; }
    const QImage& canvas(int slot) const { return _canvases[std::size_t(slot)]; }

    // ---- placement ------------------------------------------------------------------------
    const Placements& placements() const { return _choice.placements; }
    // Places slot k's figure anew; one that would push the figure off the
    // canvas is refused. The views are made again from the placed pictures
    // (their deformation goes) and a volume there was is built again.
    Report setPlacement(int slot, const Placement& placement);
    // A placement by hand: one that would push the figure off the canvas is
    // brought back onto it (scaled down, then shifted), never cut.
    Report placeByHand(int slot, const Placement& placement);
    // Placements for the next load of the same pictures (an opened scene's).
    void restorePlacements(const Placements& placements) { _choice.placements = placements; }
    // The figure of a picture file, black on white at the picture's size, as
    // a load with `threshold` would find it, and how it was found ("dark
    // rule", "automatic threshold 128", ...); fails with the load's line.
    static Result<std::pair<QImage, QString>> figurePreview(const QString& path, int threshold);
    // Chooses scale and shift of every picture so that the worst view keeps
    // as much of its figure as possible (turns and mirrors stay); then as
    // setPlacement. `progress` gets 0..1.
    Report arrange(const std::function<void(double)>& progress = {});
    // Per view slot, how much of its placed figure the volume's shadow keeps
    // (intersection over union at the volume's resolution); zeros without a
    // volume or without pictures.
    KeptValues kept() const;
    // "kept 94 % / 88 % / 91 %", or empty without a volume with pictures.
    QString keptText() const;
    // Raises the worst view's kept figure by adding cells along its rays and
    // freeing cells that shade little figure; the shadows no longer match
    // the pictures exactly. No history step.
    Report keepFigure();
    // Pixels of view slot k's figure on its N x N map (0 before the views are quantised).
    int figurePixels(int slot) const;
    const std::vector<ShadowView>& views() const { return _views; }
    // The deformable picture of view slot k, and the file it came from (empty without views).
    const DeformationModel& picture(int slot) const { return _pictures[std::size_t(slot)]; }
    QString picturePath(int slot) const;
    // Whether the views came through deformable pictures.
    bool picturesDeform() const { return _how == Pictures::Deformable && !_views.empty(); }
    // Calls `shown` with slot k's deformable picture now and whenever it is
    // drawn again; an empty function stops it.
    void watchPicture(int slot, std::function<void(const QImage&)> shown);

    // ---- cell size ------------------------------------------------------------------------
    float cellSize() const { return _cell_size; }
    // Used by the next build; false (and no change) outside 1..250.
    bool setCellSize(float cellSize);

    // ---- workflow steps -----------------------------------------------------------------
    // A new volume from the views (quantising them first after a load).
    Report compute();
    // The views made again from the (deformed) pictures at the current cell
    // size, and a new volume from them.
    Report recompute();
    // One adjustment: a new volume, then repair steps that deform the pictures
    // towards voxels covering missing shadow pixels.
    Report adjust(const AdjustParameters& parameters);
    // `passes` rounds of adjust and recompute. `beforePass` gets the progress
    // value (0..100) before each pass, `afterPass` the pass number after it.
    Report optimize(int passes, const AdjustParameters& parameters, const std::function<void(int)>& beforePass = {},
                    const std::function<void(int)>& afterPass = {});
    // Optimise passes that end in the best state: of the states after 0, 1,
    // ..., `passes` passes, the one whose worst view keeps the most of its
    // figure (the first among equals), with the pictures deformed as they
    // were then. `afterPass` gets each pass number (0 for the start) and
    // what it keeps. Returns the pass chosen.
    Result<int> optimizeToBest(int passes, const AdjustParameters& parameters,
                               const std::function<void(int, const KeptValues&)>& afterPass = {});
    // New cell size, then recompute ("initial shadow mesh computed.").
    Report increaseResolution(float cellSize);
    // First call after a load or recompute: a new volume from the views; later
    // calls: four greedy layers.
    Report selectNextLayer();
    // Fills the missing pixels of the view with `mode` (all_ortho counts as X).
    Report finalize(int mode, float threshold);
    // Drops the views (the pictures can no longer be deformed); the volume stays.
    Report cleanUp();
    int layerCounter() const { return _layer_counter; }
    int optimizePasses() const { return _optimize_passes; }

    // Replaces the design by a volume with no pictures behind it (a scene
    // file's); its cell size becomes the session's.
    void adoptVolume(std::unique_ptr<ShadowObject> volume);
    // Brings back a design: the pictures of `paths` deformed as `pictures`
    // say, the views made from them at `cellSize`, and a volume holding
    // exactly the cells of `occupancy` (x outer, then y, z fastest). Checked
    // first: a picture that cannot be read or cells that do not fill the
    // grid fail and change nothing.
    Report restore(const PictureChoice& choice, const std::array<PictureState, 3>& pictures,
                   const std::vector<std::uint8_t>& occupancy);
    // A volume carved directly from three shadow pictures (N x N each, the
    // views' modes or X, Y, Z deciding the pixel): a cell stays when its
    // pixel is dark (red at most 100) in all three.
    Report carveFromShadowPictures(const std::array<QImage, 3>& pictures);

    // ---- the parts ----------------------------------------------------------------------
    // The shadows of the directional-light volume when it has cells, else
    // those of the point-light volume, on walls in the cube mesh's units.
    std::vector<ShadowWall> shadowWalls() const;
    DesignVolume& volume() { return _volume; }
    const DesignVolume& volume() const { return _volume; }
    PointLights& pointLights() { return _point_lights; }
    const PointLights& pointLights() const { return _point_lights; }
    Filling& filling() { return _filling; }
    const Filling& filling() const { return _filling; }

    // The number of the next numbered save of the result meshes (from 100),
    // counted up by takeSaveNumber.
    int saveCounter() const { return _save_counter; }
    int takeSaveNumber() { return _save_counter++; }

    // Milliseconds of the last compute: quantising the views, building the
    // volume (its comparisons included).
    struct Timings {
        double quantize = 0.0;
        double build = 0.0;
    };
    const Timings& lastTimings() const { return _timings; }

private:
    std::vector<ShadowView*> viewPointers();
    std::array<DeformationModel*, 3> deformablePictures();
    void quantizeViewsIfNeeded();
    void buildMaster();
    Report volumeReport(const QString& success) const;
    Report checkSetAndCellSize(int set, float cellSize) const;
    // Three views, each with a picture behind it.
    bool hasAllPictures() const;

    // The views (and deformable pictures) made afresh from the placed figures.
    void makeViews();
    const ViewFigures& viewFigures() const;

    std::array<DeformationModel, 3> _pictures;
    PictureChoice _choice;
    std::array<Figure, 3> _figures;
    std::array<QImage, 3> _canvases;
    mutable std::optional<ViewFigures> _view_figures;  // of the canvases at the cell size
    std::vector<ShadowView> _views;
    DesignVolume _volume{_views};
    PointLights _point_lights;
    Filling _filling{_volume};
    Timings _timings;
    Pictures _how = Pictures::Deformable;
    int _set = -1;
    float _cell_size = 5.0f;
    bool _views_need_quantisation = false;
    int _layer_counter = 0;
    int _optimize_passes = 0;
    int _save_counter = 100;
};
