#pragma once
// One design, from three pictures to an edited volume: the cell size and the
// workflow steps that build the volume and make the pictures agree, over the
// parts that hold the rest -- the pictures and their views (DesignPictures),
// the volume with its history (DesignVolume), the point-light design
// (PointLights) and the example-based filling (Filling). A step that uses
// more than one part is here; what a part does alone is in that part. The
// window and the command-line tool run every step through it, so both
// compute the same numbers. Nothing here writes a file; the writers are in
// files/.
//
// Every step returns a Report: the status line when it ran, else the line
// that says why not. Bad input never changes the current volume.

#include "session/CellSize.h"
#include "session/DesignPictures.h"
#include "session/DesignVolume.h"
#include "session/Filling.h"
#include "session/PointLights.h"
#include "session/Printing.h"
#include "surface/Result.h"
#include "volume/Arrange.h"
#include "volume/KeepFigure.h"
#include "volume/Placement.h"

#include <QImage>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class DesignSession {
public:
    using PictureFiles = DesignPictures::PictureFiles;
    using Placements = DesignPictures::Placements;
    using Pictures = DesignPictures::Kind;
    using PictureChoice = DesignPictures::PictureChoice;

    DesignSession();
    ~DesignSession();
    DesignSession(const DesignSession&) = delete;
    DesignSession& operator=(const DesignSession&) = delete;

    // ---- loading --------------------------------------------------------------------------
    // Three picture files become the views of the set, each figure placed on
    // the 250 x 250 canvas, replacing the views and the volume. Everything is
    // checked first: an unknown set, a cell size outside 1..250, an
    // unreadable picture or one without a figure, a placement that pushes a
    // figure off the canvas fails and leaves the session as it was.
    Report load(const PictureChoice& choice);
    // Three views of set `set` with no picture behind them (an example name
    // that names no pictures): every pixel is light, so a volume made from
    // them is empty, and there is nothing to deform. Replaces the views and
    // the volume; an unknown set or a cell size outside 1..250 fails.
    Report loadWithoutPictures(int set, float cellSize);
    // No views, no volume, counters back to 0, the point-light design and the
    // filling emptied.
    void reset();

    // ---- placement ------------------------------------------------------------------------
    // A placement of slot k's figure by hand: one that would push the figure
    // off the canvas is brought back onto it (scaled down, then shifted),
    // never cut. The views are made again from the placed pictures (their
    // deformation goes) and a volume there was is built again.
    Report placeByHand(int slot, const Placement& placement);
    // Chooses scale and shift of every picture so that the worst view keeps
    // as much of its figure as possible (turns and mirrors stay); then as
    // placeByHand. `progress` gets 0..1.
    Report arrange(const std::function<void(double)>& progress = {});
    // Per view slot, how much of its placed figure the volume's shadow keeps
    // (intersection over union at the volume's resolution); zeros without a
    // volume or without pictures.
    KeptValues kept() const;
    // Raises the worst view's kept figure by adding cells along its rays and
    // freeing cells that shade little figure; the shadows no longer match
    // the pictures exactly. No history step.
    Report keepFigure();

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
    // What the steps have done since the last load: greedy layers added,
    // optimise passes run, and how long the last compute took.
    struct StepCounts {
        int layers = 0;
        int optimizePasses = 0;
        // Milliseconds of the last compute: quantising the views, building
        // the volume (its comparisons included).
        double quantizeMs = 0.0;
        double buildMs = 0.0;
    };
    const StepCounts& counts() const { return _counts; }

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
    DesignPictures& pictures() { return _pictures; }
    const DesignPictures& pictures() const { return _pictures; }
    DesignVolume& volume() { return _volume; }
    const DesignVolume& volume() const { return _volume; }
    PointLights& pointLights() { return _point_lights; }
    const PointLights& pointLights() const { return _point_lights; }
    Filling& filling() { return _filling; }
    const Filling& filling() const { return _filling; }

private:
    Report checkSetAndCellSize(int set, float cellSize) const;
    // Places slot k's figure exactly; one that would push it off the canvas is refused.
    Report setPlacement(int slot, const Placement& placement);
    // The views made afresh from the placed figures; the volume, which refers
    // to the old views, goes first.
    void makeViews();
    void quantizeViewsIfNeeded();
    void buildMaster();
    Report volumeReport(const QString& success) const;

    // The volume refers to the pictures' views: the pictures come first.
    DesignPictures _pictures;
    DesignVolume _volume{_pictures.views()};
    PointLights _point_lights;
    Filling _filling{_volume};
    StepCounts _counts;
    float _cell_size = 5.0f;
};

// The shadows of the directional-light volume when it has cells, else those
// of the point-light volume, on walls in the cube mesh's units.
std::vector<ShadowWall> shadowWallsOf(const DesignSession& session);

// The session's kept figures as the window shows them, "kept 94 % / 88 % /
// 91 %", or empty without a volume with pictures.
QString keptText(const DesignSession& session);
