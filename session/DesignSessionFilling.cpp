// The design session's example-based filling: copies of the example models
// placed in the volume and pulled onto its smooth surface.

#include "session/DesignSession.h"

#include "example/ExampleCompletion.h"

namespace {

const QString kNoVolume = QStringLiteral("No shadow object yet.");

}  // namespace

const QString DesignSession::kContourFailure = QStringLiteral("failed to contour voxels -> mesh.");

Report DesignSession::loadExampleModels(const QString& folder)
{
    if (!_master)
        return Report::failure(kNoVolume);
    auto examples = std::make_unique<ExampleCompletion>();
    const Result<int> loaded = examples->loadDatabase(folder, _cell_size);
    if (!loaded.ok())
        return Report::failure(loaded.error);
    _examples = std::move(examples);
    return {QString::number(loaded.value) + QStringLiteral(" database model(s) loaded."), true};
}

// Filling works on a completion of its own until it has placed a model, so
// that a failure leaves the last sculpture as it was.
Report DesignSession::fillWithExamples(const QString& modelFolder, const std::function<void(double)>& progress)
{
    if (!_master)
        return Report::failure(kNoVolume);
    if (!_examples || _examples->modelCount() == 0) {
        const Report loaded = loadExampleModels(modelFolder);
        if (!loaded.ok)
            return loaded;
    }
    auto filling = std::make_unique<ExampleCompletion>();
    for (int i = 0; i < _examples->modelCount(); ++i)
        filling->addModel(_examples->model(i));
    if (!filling->prepare(*_master).ok())
        return Report::failure(kContourFailure);
    const Result<int> placed = filling->place(progress);
    if (!placed.ok())
        return Report::failure(placed.error);
    _examples = std::move(filling);
    return {QStringLiteral("sculpture computed."), true};
}

Report DesignSession::refineExamples()
{
    if (!_examples || !_examples->prepared() || _examples->placements().empty())
        return Report::failure(QStringLiteral("No sculpture yet."));
    const Result<int> refined = _examples->refine();
    if (!refined.ok())
        return Report::failure(refined.error);
    return {QStringLiteral("icp refined."), true};
}

Report DesignSession::saveExampleMeshes(const QString& folder)
{
    if (!_master)
        return Report::failure(kNoVolume);
    if (!_examples)
        return Report::failure(QStringLiteral("No sculpture yet."));
    const Result<QString> saved = _examples->saveSeparateMeshes(folder);
    if (!saved.ok())
        return Report::failure(saved.error);
    return {QStringLiteral("saved separate files as ") + saved.value, true};
}

Report DesignSession::saveExamplePovScene(const QString& folder)
{
    if (!_master)
        return Report::failure(kNoVolume);
    const ExampleCompletion empty;
    const Result<QString> saved = (_examples ? *_examples : empty).savePovScene(folder);
    if (!saved.ok())
        return Report::failure(saved.error);
    return {QStringLiteral("scene saved to ") + saved.value, true};
}

const TriMesh* DesignSession::exampleSculpture() const
{
    return _examples && !_examples->resultMesh().faces.empty() ? &_examples->resultMesh() : nullptr;
}
