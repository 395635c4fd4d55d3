#pragma once
// The state of one design: three view objects made from picture files with
// their deformable pictures, and the master volume built from them. Holds the
// flows the workflow runs on it (compute, adjust, recompute), so the window
// and the command-line tool run the same steps.

#include "deform/ImageAdjustment.h"
#include "volume/ShadowObject.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

class DeformationModel;

class DesignSession {
public:
    // Per-view comparison counts and the master's cell count.
    struct Counts {
        int cells = 0;
        std::array<int, 3> missing{0, 0, 0};
        std::array<int, 3> extra{0, 0, 0};
    };

    // The models are not owned; they must outlive the session.
    explicit DesignSession(std::array<DeformationModel*, 3> models) : _models(models) {}

    // Loads three picture files for a projection set (0, 1, 2) as views, as
    // the window does: through the deformable pictures, with the mesh cache
    // beside each picture. Returns "" or a one-line error (unknown set,
    // unreadable picture, picture without a dark pixel); on error the session
    // is left as it was.
    QString load(int set, const QStringList& paths, float cellSize, bool useMask = false);

    // A new master from the views, quantising them first after a load.
    void compute();
    // One adjustment: compute, then repair steps and deformation of the
    // pictures (reading the comparison pictures as the window shows them).
    AdjustmentStats adjust(const AdjustParameters& parameters);
    // Views rebuilt from the deformed pictures, quantised, and a new master.
    void recompute();

    // The comparison picture of view slot k as the window shows it (200 wide).
    QImage shownComparison(int slot);
    Counts counts();

    std::vector<ShadowObject*> viewPointers();
    std::vector<ShadowObject>& views() { return _views; }
    ShadowObject* master() { return _master.get(); }
    float cellSize() const { return _cell_size; }

private:
    std::array<DeformationModel*, 3> _models;
    std::vector<ShadowObject> _views;
    std::unique_ptr<ShadowObject> _master;
    float _cell_size = 5.0f;
    bool _views_need_quantisation = false;
};
