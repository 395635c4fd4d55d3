// Example-based filling: copies of the example models placed in the volume
// and pulled onto its smooth surface.

#include "session/Filling.h"

#include "completion/ExampleCompletion.h"
#include "session/DesignVolume.h"

#include <QElapsedTimer>

namespace {

const QString kNoVolume = QStringLiteral("No shadow object yet.");

}  // namespace

const QString Filling::kContourFailure = QStringLiteral("failed to contour voxels -> mesh.");

Filling::Filling(DesignVolume& volume) : _volume(volume) {}

Filling::~Filling() = default;

Report Filling::loadModels(const QString& folder)
{
    if (!_volume.exists())
        return fail(kNoVolume);
    auto examples = std::make_unique<ExampleCompletion>();
    const Result<int> loaded = examples->loadDatabase(folder, _volume.master()->cellSize());
    if (!loaded.ok())
        return fail(loaded.error());
    _examples = std::move(examples);
    return StatusLine{QString::number(loaded.value()) + QStringLiteral(" database model(s) loaded.")};
}

// Filling works on a completion of its own until it has placed a model, so
// that a failure leaves the last sculpture as it was.
Report Filling::fill(const QString& modelFolder, const std::function<void(double)>& progress)
{
    if (!_volume.exists())
        return fail(kNoVolume);
    if (!_examples || _examples->modelCount() == 0) {
        if (const Report loaded = loadModels(modelFolder); !loaded.ok())
            return loaded;
    }
    auto filling = std::make_unique<ExampleCompletion>();
    for (int i = 0; i < _examples->modelCount(); ++i)
        filling->addModel(_examples->model(i));
    QElapsedTimer timer;
    timer.start();
    if (!filling->prepare(*_volume.master()).ok())
        return fail(kContourFailure);
    _timings.prepare = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    if (const Result<int> placed = filling->place(progress); !placed.ok())
        return fail(placed.error());
    _timings.place = double(timer.nsecsElapsed()) / 1e6;
    _examples = std::move(filling);
    return StatusLine{QStringLiteral("sculpture computed.")};
}

Report Filling::refine(int iterations)
{
    if (!_examples || !_examples->prepared() || _examples->placements().empty())
        return fail(QStringLiteral("No sculpture yet."));
    const Result<int> refined = _examples->refine(ExampleCompletion::kRefineSelector, iterations,
                                                  ExampleCompletion::kRefineMaxSquaredDistance);
    if (!refined.ok())
        return fail(refined.error());
    return StatusLine{QStringLiteral("icp refined.")};
}

void Filling::clear()
{
    _examples.reset();
}

int Filling::modelCount() const
{
    return _examples ? _examples->modelCount() : 0;
}

int Filling::placementCount() const
{
    return _examples ? int(_examples->placements().size()) : 0;
}

int Filling::keptCount() const
{
    return _examples ? _examples->keptCount() : 0;
}

double Filling::meanSquaredDistance() const
{
    return _examples ? _examples->meanSquaredDistance() : 0.0;
}

const TriMesh* Filling::sculpture() const
{
    return _examples && !_examples->resultMesh().faces.empty() ? &_examples->resultMesh() : nullptr;
}
