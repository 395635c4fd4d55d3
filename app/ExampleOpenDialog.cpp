#include "app/ExampleOpenDialog.h"

#include "app/FormWidgets.h"
#include "app/KalvexWindow.h"
#include "app/Presets.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

using namespace FormWidgets;

namespace {
// Grid places of the options, row by row: option numbers (1-based).
constexpr int kGridOrder[16] = {1, 8, 2, 9, 3, 10, 4, 11, 5, 12, 6, 7, 13, 14, 15, 16};
}  // namespace

ExampleOpenDialog::ExampleOpenDialog(KalvexWindow* window) : QDialog(window), _window(window)
{
    setObjectName(QStringLiteral("exampleOpenDialog"));
    setWindowTitle(QStringLiteral("Example Combinations"));
    auto* layout = new QVBoxLayout(this);

    auto* optionBox = new QWidget(this);
    auto* grid = new QGridLayout(optionBox);
    const QStringList& labels = Presets::exampleOptionLabels();
    for (int place = 0; place < 16; ++place) {
        const int k = kGridOrder[place] - 1;
        _options[k] = new QRadioButton(labels[k], optionBox);
        _options[k]->setObjectName(QStringLiteral("option_%1").arg(k + 1));
        grid->addWidget(_options[k], place / 2, place % 2);
    }
    _options[12]->setChecked(true);
    layout->addWidget(optionBox);

    auto* configuration = named(new QGroupBox(QStringLiteral("Configuration"), this), "groupBox");
    auto* sets = new QHBoxLayout(configuration);
    sets->addWidget(radio(configuration, "orthogonal", QStringLiteral("orthogonal"), true));
    _fortyFive = radio(configuration, "fortyFive", QStringLiteral("0-45-90"));
    _sixty = radio(configuration, "sixty", QStringLiteral("0-60-120"));
    sets->addWidget(_fortyFive);
    sets->addWidget(_sixty);
    layout->addWidget(configuration);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    QPushButton* load = button(this, "loadCombination", QStringLiteral("Load Combo"));
    QPushButton* cancel = button(this, "cancel", QStringLiteral("Cancel"));
    buttons->addWidget(load);
    buttons->addWidget(cancel);
    connect(load, &QPushButton::released, this, &ExampleOpenDialog::loadCombination_released);
    connect(cancel, &QPushButton::released, this, &ExampleOpenDialog::cancel_released);
}

void ExampleOpenDialog::loadCombination_released()
{
    QString key;
    for (QRadioButton* option : _options)
        if (option->isChecked()) {
            key = option->text();
            break;
        }
    const int set = _fortyFive->isChecked() ? 1 : _sixty->isChecked() ? 2 : 0;
    hide();
    _window->loadExample(key, set);
}

void ExampleOpenDialog::cancel_released()
{
    hide();
}
