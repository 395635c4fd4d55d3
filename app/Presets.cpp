#include "app/Presets.h"

#include <QImage>

namespace Presets {
namespace {

struct PresetRow {
    const char* entry;
    const char* key;
    int set;
    bool preserveShape;
};

// Workflow entries in comparison order; "music" and "working man" are not in
// the combo box but stay resolvable.
constexpr PresetRow kPresetRows[] = {
    {"arrow", "editDemo", 0, false},
    {"birds", "birds", 0, false},
    {"animals", "dog1", 0, false},
    {"Velmora", "velmora", 0, false},
    {"griffin", "dragon", 1, false},
    {"Quillon", "quillon", 0, false},
    {"music", "music", 0, false},
    {"Brennic-logo", "brennic_logo", 1, false},
    {"Tamberlin", "tamberlin", 1, true},
    {"sketch", "corvane", 0, true},
    {"Orvessa", "orvessa", 0, false},
    {"walking man", "walk", 2, true},
    {"working man", "working_man", 2, true},
};

// "sketch" asks for "preserve shape" only with its own projection set.
constexpr const char* kPreserveWithDefaultSetOnly = "sketch";

struct FolderRow {
    const char* key;
    const char* files[3];
};

constexpr FolderRow kPresetFolders[] = {
    {"editDemo", {"/arrow/edit1.png", "/arrow/edit2.png", "/arrow/edit3.png"}},
    {"birds", {"/birds/bird1.png", "/birds/bird2.png", "/birds/bird3.png"}},
    {"dog1", {"/animals/dog.png", "/animals/puppy.png", "/animals/bird.png"}},
    {"dragon", {"/griffin/eagle.png", "/griffin/griffin.png", "/griffin/lion.png"}},
    {"music", {"/music/double-bass.png", "/music/grand_piano.png", "/music/drumset.png"}},
    {"walk", {"/walking_man/walkcycle0.png", "/walking_man/walkcycle2.png", "/walking_man/walkcycle1.png"}},
    {"working_man", {"/working_man/workingMan0.png", "/working_man/workingMan2.png", "/working_man/workingMan1.png"}},
    {"velmora", {"/velmora/view1.png", "/velmora/view2.png", "/velmora/view3.png"}},
    {"corvane", {"/corvane/view1.png", "/corvane/view2.png", "/corvane/view3.png"}},
    {"orvessa", {"/orvessa/view1.png", "/orvessa/view2.png", "/orvessa/view3.png"}},
    {"quillon", {"/quillon/view1.png", "/quillon/view2.png", "/quillon/view3.png"}},
    {"brennic_logo", {"/brennic_logo/view1.png", "/brennic_logo/view2.png", "/brennic_logo/view3.png"}},
    {"tamberlin", {"/tamberlin/view1.png", "/tamberlin/view2.png", "/tamberlin/view3.png"}},
    {"spare", {"/spare/view1.png", "/spare/view2.png", "/spare/view3.png"}},
};

// Example sets with their own file names; every other key lives in a folder
// of its name as a.png, b.png and c.png.
constexpr FolderRow kNamedExamples[] = {
    {"simple", {"/simple_shapes/triangle.png", "/simple_shapes/circle.png", "/simple_shapes/rombus.png"}},
    {"fruit", {"/Fruit/Pear.png", "/Fruit/Banana.png", "/Fruit/Peach.png"}},
    {"birds", {"/sparrow/bird1.png", "/sparrow/bird2.png", "/sparrow/bird3.png"}},
    {"clock", {"/cartoons/clock00.png", "/cartoons/clock02.png", "/cartoons/clock01.png"}},
    {"music2", {"/music/final/double-bass.png", "/music/final/grand_piano.png", "/music/final/drumset.png"}},
};

constexpr const char* kLetteredExamples[] = {
    "babies",  "velmora",  "corvane",  "orvessa",  "faces",           "classic",   "currency", "dance",
    "vostrel", "dog1",     "dog2",     "fairy",    "fish",            "girlElephantMan", "graphics1",
    "graphics2", "dragon", "trevask",  "manBearPig", "music",         "brennic_logo", "tamberlin", "walk",
    "spare",
};

template <std::size_t N>
std::optional<PictureFiles> lookUp(const FolderRow (&rows)[N], const QString& key, const QString& folder)
{
    for (const FolderRow& row : rows)
        if (key == QLatin1String(row.key))
            return PictureFiles{folder + QLatin1String(row.files[0]), folder + QLatin1String(row.files[1]),
                                folder + QLatin1String(row.files[2])};
    return std::nullopt;
}

bool hasDarkPixel(const QImage& picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if (qRed(line[x]) < 100 && qGreen(line[x]) < 100 && qBlue(line[x]) < 100)
                return true;
    }
    return false;
}

}  // namespace

const QStringList& workflowPresetNames()
{
    static const QStringList names = {"animals", "arrow",        "birds",     "Velmora", "griffin",    "Quillon",
                                      "Brennic-logo", "Tamberlin", "sketch", "Orvessa", "walking man"};
    return names;
}

PresetChoice resolvePreset(const QString& entryText, int orthoTypeIndex)
{
    const bool comboSet = orthoTypeIndex >= 1 && orthoTypeIndex <= 3;
    for (const PresetRow& row : kPresetRows) {
        if (entryText != QLatin1String(row.entry))
            continue;
        PresetChoice choice;
        choice.key = QString::fromLatin1(row.key);
        choice.set = comboSet ? orthoTypeIndex - 1 : row.set;
        const bool defaultSetOnly = entryText == QLatin1String(kPreserveWithDefaultSetOnly);
        choice.preserveShape = row.preserveShape && !(defaultSetOnly && comboSet);
        return choice;
    }
    return {};
}

std::optional<PictureFiles> presetPaths(const QString& key)
{
    return lookUp(kPresetFolders, key, kIncludedData);
}

std::optional<PictureFiles> examplePaths(const QString& key)
{
    if (auto named = lookUp(kNamedExamples, key, kModelImages))
        return named;
    for (const char* folder : kLetteredExamples)
        if (key == QLatin1String(folder)) {
            const QString base = kModelImages + QLatin1Char('/') + key + QLatin1Char('/');
            return PictureFiles{base + "a.png", base + "b.png", base + "c.png"};
        }
    return std::nullopt;
}

QString picturesProblem(const PictureFiles& paths)
{
    for (const QString& path : paths) {
        const QImage picture(path);
        if (picture.isNull())
            return QStringLiteral("Cannot read picture %1.").arg(path);
        if (!hasDarkPixel(picture))
            return QStringLiteral("Picture %1 has no dark pixel.").arg(path);
    }
    return {};
}

const QStringList& exampleOptionLabels()
{
    static const QStringList labels = {"velmora",   "birds",    "orvessa", "dog1",    "simple",       "girlElephantMan",
                                       "graphics1", "graphics2", "currency", "trevask", "classic",     "dragon",
                                       "brennic_logo", "walk",   "music2",  "editdemo"};
    return labels;
}

}  // namespace Presets
