#include "app/CustomLoadDialog.h"

#include "app/FormWidgets.h"
#include "app/KalvexWindow.h"
#include "app/Presets.h"

#include <QGridLayout>
#include <QVBoxLayout>

using namespace FormWidgets;

CustomLoadDialog::CustomLoadDialog(KalvexWindow* window) : QDialog(window), _window(window)
{
    setObjectName(QStringLiteral("customLoadDialog"));
    setWindowTitle(QStringLiteral("Custom Load"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label(this, "label", QStringLiteral("(path relative to directory containing exe)")));

    auto* paths = new QGridLayout;
    layout->addLayout(paths);
    const char* const labelNames[3] = {"label_2", "label_3", "label_4"};
    const char* const editNames[3] = {"imagePath_1", "imagePath_2", "imagePath_3"};
    const QString defaults[3] = {QStringLiteral("griffin/griffin.png"), QStringLiteral("griffin/eagle.png"),
                                 QStringLiteral("griffin/lion.png")};
    for (int k = 0; k < 3; ++k) {
        paths->addWidget(label(this, labelNames[k], QStringLiteral("image_%1").arg(k + 1)), k, 0);
        _paths[k] = lineEdit(this, editNames[k], defaults[k]);
        paths->addWidget(_paths[k], k, 1);
    }

    _controls = addLoadComboControls(this, layout, QStringLiteral("x-y-z"));
    connect(_controls.load, &QPushButton::released, this, &CustomLoadDialog::loadCombination_released);
    connect(_controls.cancel, &QPushButton::released, this, &CustomLoadDialog::cancel_released);

    // The defaults count as loaded from the start.
    loadCombination_released();
}

void CustomLoadDialog::loadCombination_released()
{
    for (int k = 0; k < 3; ++k)
        _file_names[k] = _paths[k]->text();
    _set = _controls.set();
    _loaded = true;
    Presets::PictureFiles paths;
    for (int k = 0; k < 3; ++k)
        paths[k] = Presets::kIncludedData + QLatin1Char('/') + _file_names[k];
    _window->chooseCustomPictures(_set, paths);
    hide();
}

void CustomLoadDialog::cancel_released()
{
    _window->form().presetRadio->setChecked(true);
    hide();
}
