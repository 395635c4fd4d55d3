#pragma once
// Example-based filling of the designed volume: copies of the example models
// placed in the volume and pulled onto its smooth surface, then merged into
// the example sculpture.

#include "surface/Result.h"
#include "surface/TriMesh.h"

#include <QString>

#include <functional>
#include <memory>

class DesignVolume;
class ExampleCompletion;

class Filling {
public:
    static const QString kContourFailure;  // "failed to contour voxels -> mesh."

    explicit Filling(DesignVolume& volume);
    ~Filling();
    Filling(const Filling&) = delete;
    Filling& operator=(const Filling&) = delete;

    // The example models of `folder`, sized for the volume's cell size: "N
    // database model(s) loaded.". Needs a volume.
    Report loadModels(const QString& folder);
    // The volume's smooth surface as the target, then models placed in the
    // volume (`progress` gets 0..1 while placing): "sculpture computed.". The
    // models are loaded from `modelFolder` first when none are. Without a
    // surface: kContourFailure; without a placement: the reason, and the
    // last sculpture stays as it was.
    Report fill(const QString& modelFolder, const std::function<void(double)>& progress = {});
    // Registers every placement again (point-to-point, `iterations` steps,
    // pairs within 10): "icp refined.".
    Report refine(int iterations = 10);
    // No models, no sculpture.
    void clear();

    int modelCount() const;
    int placementCount() const;
    int keptCount() const;
    // Mean squared distance from the sculpture's vertices to the volume's surface.
    double meanSquaredDistance() const;
    // The kept placed models merged, in voxel units; null before a filling.
    const TriMesh* sculpture() const;

    // Milliseconds of the last filling: preparing the target, placing.
    struct Timings {
        double prepare = 0.0;
        double place = 0.0;
    };
    const Timings& lastTimings() const { return _timings; }

    // The completion itself, for the file writers (null before models are loaded).
    const ExampleCompletion* completion() const { return _examples.get(); }

private:
    DesignVolume& _volume;
    std::unique_ptr<ExampleCompletion> _examples;
    Timings _timings;
};
