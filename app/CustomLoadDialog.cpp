#include "app/CustomLoadDialog.h"

#include "app/FormWidgets.h"
#include "app/KalvexWindow.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
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

    auto* configuration = named(new QGroupBox(QStringLiteral("Configuration"), this), "groupBox");
    auto* sets = new QHBoxLayout(configuration);
    _orthogonal = radio(configuration, "orthogonal", QStringLiteral("x-y-z"), true);
    _fortyFive = radio(configuration, "fortyFive", QStringLiteral("0-45-90"));
    _sixty = radio(configuration, "sixty", QStringLiteral("0-60-120"));
    sets->addWidget(_orthogonal);
    sets->addWidget(_fortyFive);
    sets->addWidget(_sixty);
    layout->addWidget(configuration);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    QPushButton* load = button(this, "loadCombination", QStringLiteral("Load Combo"));
    QPushButton* cancel = button(this, "cancel", QStringLiteral("Cancel"));
    buttons->addWidget(load);
    buttons->addWidget(cancel);
    connect(load, &QPushButton::released, this, &CustomLoadDialog::loadCombination_released);
    connect(cancel, &QPushButton::released, this, &CustomLoadDialog::cancel_released);

    // The defaults count as loaded from the start.
    loadCombination_released();
}

void CustomLoadDialog::loadCombination_released()
{
    for (int k = 0; k < 3; ++k)
        _file_names[k] = _paths[k]->text();
    _set = _orthogonal->isChecked() ? 0 : _fortyFive->isChecked() ? 1 : _sixty->isChecked() ? 2 : _set;
    _loaded = true;
    _window->form().radioButton_2->setChecked(true);
    hide();
}

void CustomLoadDialog::cancel_released()
{
    _window->form().presetRadio->setChecked(true);
    hide();
}
