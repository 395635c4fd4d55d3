#pragma once
// Names to pictures: the workflow's preset list, the preset folders under
// "./IncludedData" and the example sets under "./Models/Images". Each table
// gives three picture files in view order (x, y, z slot).

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace Presets {

inline const QString kIncludedData = QStringLiteral("./IncludedData");
inline const QString kModelImages = QStringLiteral("./Models/Images");
inline const QString kExampleModels = kIncludedData + QStringLiteral("/example_based_models");

using PictureFiles = std::array<QString, 3>;

// What a workflow preset entry stands for: a preset folder key, the projection
// set to use (-1 for an unknown entry) and whether it asks for "preserve shape".
struct PresetChoice {
    QString key;
    int set = -1;
    bool preserveShape = false;
};

// The entries of the workflow's preset combo box, in order.
const QStringList& workflowPresetNames();

// Resolves a preset entry. The projection combo at index 1, 2 or 3 picks set
// 0, 1 or 2; at index 0 ("Preset") the entry's own set is used.
PresetChoice resolvePreset(const QString& entryText, int orthoTypeIndex);

// The three picture paths of a preset key ("./IncludedData/birds/bird1.png", ...).
std::optional<PictureFiles> presetPaths(const QString& key);

// The three picture paths of an example key, under "./Models/Images".
std::optional<PictureFiles> examplePaths(const QString& key);

// The first reason why the three pictures cannot make a volume, as a status
// line: a picture that cannot be read, or one without a dark pixel (red,
// green and blue all below 100). Empty when all three are usable.
QString picturesProblem(const PictureFiles& paths);

// The labels of the example dialog's options option_1 ... option_16.
const QStringList& exampleOptionLabels();

}  // namespace Presets
