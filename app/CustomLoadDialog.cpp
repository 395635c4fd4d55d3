#include "app/CustomLoadDialog.h"

#include "app/FormWidgets.h"
#include "app/KalvexWindow.h"
#include "app/Presets.h"
#include "session/DesignSession.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kPreviewSide = 96;

}  // namespace

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
    const char* const previewNames[3] = {"figurePreview_1", "figurePreview_2", "figurePreview_3"};
    const QString defaults[3] = {QStringLiteral("griffin/griffin.png"), QStringLiteral("griffin/eagle.png"),
                                 QStringLiteral("griffin/lion.png")};
    for (int k = 0; k < 3; ++k) {
        paths->addWidget(label(this, labelNames[k], QStringLiteral("image_%1").arg(k + 1)), k, 0);
        _paths[k] = lineEdit(this, editNames[k], defaults[k]);
        paths->addWidget(_paths[k], k, 1);
        auto* browse = named(new QToolButton(this), QStringLiteral("browse_%1").arg(k + 1).toLatin1().constData());
        browse->setText(QStringLiteral("..."));
        paths->addWidget(browse, k, 2);
        connect(browse, &QToolButton::clicked, this, [this, k] {
            const QString chosen = QFileDialog::getOpenFileName(
                this, QStringLiteral("Choose a picture"), QFileInfo(pathOf(_paths[k]->text())).absolutePath(),
                QStringLiteral("Pictures (*.png *.jpg *.jpeg *.bmp *.gif *.webp *.tif *.tiff *.svg);;All files (*)"));
            if (!chosen.isEmpty()) {
                _paths[k]->setText(chosen);
                updatePreview();
            }
        });
        connect(_paths[k], &QLineEdit::editingFinished, this, &CustomLoadDialog::updatePreview);
    }

    // How the figures are told from their ground, and what that gives.
    auto* figures = named(new QGroupBox(QStringLiteral("Figures"), this), "figuresGroup");
    auto* figureLayout = new QVBoxLayout(figures);
    auto* thresholdRow = new QHBoxLayout;
    _by_hand = check(figures, "chkThresholdByHand", QStringLiteral("threshold by hand:"), false);
    _threshold = named(new QSlider(Qt::Horizontal, figures), "sldThreshold");
    _threshold->setRange(0, 255);
    _threshold->setValue(128);
    _threshold->setEnabled(false);
    _threshold->setToolTip(QStringLiteral("pixels darker than this are one side, the rest the other; the side that "
                                          "holds less of the border is the figure"));
    _threshold_value = label(figures, "thresholdValue", QStringLiteral("auto"));
    _threshold_value->setMinimumWidth(32);
    thresholdRow->addWidget(_by_hand);
    thresholdRow->addWidget(_threshold, 1);
    thresholdRow->addWidget(_threshold_value);
    figureLayout->addLayout(thresholdRow);
    auto* previewRow = new QHBoxLayout;
    for (int k = 0; k < 3; ++k) {
        _previews[k] = label(figures, previewNames[k], QString());
        _previews[k]->setMinimumSize(kPreviewSide, kPreviewSide);
        _previews[k]->setAlignment(Qt::AlignCenter);
        _previews[k]->setWordWrap(true);
        previewRow->addWidget(_previews[k]);
    }
    figureLayout->addLayout(previewRow);
    layout->addWidget(figures);
    connect(_by_hand, &QCheckBox::toggled, _threshold, &QSlider::setEnabled);
    connect(_by_hand, &QCheckBox::toggled, this, &CustomLoadDialog::updatePreview);
    connect(_threshold, &QSlider::valueChanged, this, &CustomLoadDialog::updatePreview);

    _controls = addLoadComboControls(this, layout, QStringLiteral("x-y-z"));
    connect(_controls.load, &QPushButton::released, this, &CustomLoadDialog::loadCombination_released);
    connect(_controls.cancel, &QPushButton::released, this, &CustomLoadDialog::cancel_released);

    // The defaults count as loaded from the start.
    loadCombination_released();
    updatePreview();
}

QString CustomLoadDialog::pathOf(const QString& name)
{
    return QFileInfo(name).isAbsolute() ? name : Presets::kIncludedData + QLatin1Char('/') + name;
}

int CustomLoadDialog::threshold() const
{
    return _by_hand->isChecked() ? _threshold->value() : -1;
}

// Each picture's figure black on white, or the line that refuses it.
void CustomLoadDialog::updatePreview()
{
    _threshold_value->setText(_by_hand->isChecked() ? QString::number(_threshold->value()) : QStringLiteral("auto"));
    for (int k = 0; k < 3; ++k) {
        const auto figure = DesignPictures::figurePreview(pathOf(_paths[k]->text()), threshold());
        if (figure.ok()) {
            _previews[k]->setPixmap(QPixmap::fromImage(figure.value().first.scaled(
                kPreviewSide, kPreviewSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
            _previews[k]->setToolTip(figure.value().second);
        } else {
            _previews[k]->setPixmap(QPixmap());
            _previews[k]->setText(QStringLiteral("no figure"));
            _previews[k]->setToolTip(figure.error());
        }
    }
}

void CustomLoadDialog::loadCombination_released()
{
    for (int k = 0; k < 3; ++k)
        _file_names[k] = _paths[k]->text();
    _set = _controls.set();
    _loaded = true;
    Presets::PictureFiles paths;
    for (int k = 0; k < 3; ++k)
        paths[k] = pathOf(_file_names[k]);
    _window->chooseCustomPictures(_set, paths, threshold());
    hide();
}

void CustomLoadDialog::cancel_released()
{
    _window->form().presetRadio->setChecked(true);
    hide();
}
