#include "app/ExampleOpenDialog.h"

#include "app/FormWidgets.h"
#include "app/KalvexWindow.h"
#include "app/Presets.h"

#include <QGridLayout>
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

    _controls = addLoadComboControls(this, layout, QStringLiteral("orthogonal"));
    connect(_controls.load, &QPushButton::released, this, &ExampleOpenDialog::loadCombination_released);
    connect(_controls.cancel, &QPushButton::released, this, &ExampleOpenDialog::cancel_released);
}

void ExampleOpenDialog::loadCombination_released()
{
    QString key;
    for (QRadioButton* option : _options)
        if (option->isChecked()) {
            key = option->text();
            break;
        }
    const int set = _controls.set();
    hide();
    _window->loadExample(key, set);
}

void ExampleOpenDialog::cancel_released()
{
    hide();
}
