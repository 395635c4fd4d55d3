#pragma once
// The volume being designed and what it casts: the master volume with its
// edit history, one comparison image and count per view, the display
// settings of its cube mesh, and the edits that never change a shadow.
//
// The design session owns it and the views it refers to; the volume is
// replaced (with its history) whenever the session builds a new one.

#include "session/Printing.h"
#include "surface/Result.h"
#include "surface/ShadowWall.h"
#include "surface/TriMesh.h"
#include "volume/Components.h"
#include "volume/ShadowObject.h"

#include <QImage>

#include <array>
#include <memory>
#include <vector>

class DesignVolume {
public:
    // Per-view comparison counts and the volume's cell count.
    struct Counts {
        int cells = 0;
        std::array<int, 3> missing{0, 0, 0};
        std::array<int, 3> extra{0, 0, 0};
        std::array<int, 3> shadow{0, 0, 0};  // pixels the volume shades
    };

    // The edit tools of the 3-D view.
    enum Tool { AddBrush = 0, SubtractBrush = 1, SubtractRay = 3, Erode = 4 };

    explicit DesignVolume(const std::vector<ShadowView>& views) : _views(views) {}
    DesignVolume(const DesignVolume&) = delete;
    DesignVolume& operator=(const DesignVolume&) = delete;

    // ---- the volume and what it casts ------------------------------------------------------
    bool exists() const { return _master != nullptr; }
    bool hasCells() const { return _master && _counts.cells > 0; }
    ShadowObject* master() { return _master.get(); }
    const ShadowObject* master() const { return _master.get(); }
    // Cells per side (0 without a volume).
    int resolution() const { return _master ? _master->resolution() : 0; }
    // View k's N x N comparison image (null without a volume).
    const QImage& comparison(int slot) const { return _comparisons[std::size_t(slot)]; }
    const Counts& counts() const { return _counts; }
    // Cells spanned by the occupied cells along x, y and z (zeros when empty).
    std::array<int, 3> dimensions() const;

    // ---- edits ----------------------------------------------------------------------------
    // Each records one history step unless said otherwise, and fails without a volume.
    // An edit tool along a ray in the volume's picture-pixel coordinates:
    // "N cell(s) added." or "N cell(s) removed.".
    Report applyTool(int tool, const point& origin, const point& direction, float radius, bool completeOnly);
    // Joins every piece to the largest one through addable cells.
    Report autoConnect();
    // Drops pieces of fewer than 6 cells (no history step); the centroids of
    // the pieces that stay come back with the counts.
    Result<CleanUp> makeOneComponent();
    Report smooth(float sigma, float threshold);
    Report removeRandomBalls(int count, float radius);
    // The two box edits work on the box of the occupied cells and record no step.
    Report removeCellsInBox();
    Report removeBallsAtBoxBorder(int count, float radius, float depth);

    // ---- history ---------------------------------------------------------------------------
    bool canUndo() const;
    bool canRedo() const;
    bool undo();
    bool redo();

    // ---- display ---------------------------------------------------------------------------
    // How the cube mesh is built: highlight flags (1 removable cells, 2
    // disconnected cells), hollow (only exposed cells) and the edit radius.
    void setDisplayFlag(int flag, bool on);
    void setHollow(bool hollow);
    void setEditRadius(int radius);
    int displayFlags() const { return _display_flags; }
    // The volume's cube mesh (owned by the volume); null without a volume.
    const TriMesh* buildShadowMesh();
    // The volume's shadows on walls and a floor around it, in the cube mesh's
    // units (none without cells).
    std::vector<ShadowWall> shadowWalls() const;

    // ---- surfaces --------------------------------------------------------------------------
    // The volume contoured on a field `factor` times finer per axis (sample
    // units, faces toward the occupied side).
    Result<TriMesh> contour(float iso, int mode, int factor) const;
    // The volume's smooth surface (faces outward), cached by the volume; null
    // without a volume or when contouring gives no triangle.
    const TriMesh* smoothMesh(bool recompute);
    // The volume as a mesh to print (see makeSculpture).
    Result<Sculpture> sculpture(const SculptureOptions& options) const;

private:
    friend class DesignSession;
    // A new volume (or none); the display settings carry over.
    void adopt(std::unique_ptr<ShadowObject> master);
    // Comparison images and counts of the current volume.
    void refresh();
    // Refreshes after an edit and reports the count with `text`.
    Report edited(int count, const char* text);

    const std::vector<ShadowView>& _views;
    std::unique_ptr<ShadowObject> _master;
    std::array<QImage, 3> _comparisons;
    Counts _counts;
    int _display_flags = 0;
    bool _hollow = false;
    int _edit_radius = 0;
};
