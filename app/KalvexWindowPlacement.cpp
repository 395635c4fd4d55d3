// The main window's placement of the pictures: the workflow's choice loaded
// at once in stage 1 so that the Originals tab shows it, placement by hand
// on those pictures (drag, wheel, context menu), "arrange", and the kept
// figure below the comparisons.

#include "app/KalvexWindow.h"

#include "app/PlacementLabel.h"
#include "app/WaitCursor.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace {

constexpr int kLabelWidth = 200;  // as the other pictures on the left

}  // namespace

void KalvexWindow::connectPlacement()
{
    KalvexForm& f = _form;
    connect(f.btn_simple_arrange, &QPushButton::released, this, &KalvexWindow::btn_simple_arrange_released);
    PlacementLabel* const labels[3] = {f.originalLabel_x, f.originalLabel_y, f.originalLabel_z};
    for (int k = 0; k < 3; ++k) {
        PlacementLabel* label = labels[k];
        connect(label, &PlacementLabel::moved, this, [this, k](double dx, double dy) {
            changePlacement(k, [&](Placement& p) {
                p.dx += dx;
                p.dy += dy;
            });
        });
        connect(label, &PlacementLabel::scaled, this,
                [this, k](double factor) { changePlacement(k, [&](Placement& p) { p.scale *= factor; }); });
        connect(label, &PlacementLabel::quarterTurned, this,
                [this, k] { changePlacement(k, [](Placement& p) { p.quarterTurns = (p.quarterTurns + 1) % 4; }); });
        connect(label, &PlacementLabel::mirrored, this,
                [this, k] { changePlacement(k, [](Placement& p) { p.mirror = !p.mirror; }); });
        connect(label, &PlacementLabel::placementReset, this,
                [this, k] { changePlacement(k, [](Placement& p) { p = Placement(); }); });
    }
    // A new choice in stage 1 shows its pictures at once.
    connect(f.presetRadio, &QRadioButton::toggled, this, &KalvexWindow::loadChosenPictures);
    connect(f.cmb_simple_preset, &QComboBox::currentIndexChanged, this, &KalvexWindow::loadChosenPictures);
    connect(f.cmb_simple_ortho_type, &QComboBox::currentIndexChanged, this, &KalvexWindow::loadChosenPictures);
}

std::optional<KalvexWindow::PictureChoice> KalvexWindow::chosenPictures()
{
    const KalvexForm& f = _form;
    if (!f.presetRadio->isChecked())
        return _custom_choice;
    const Presets::PresetChoice preset =
        Presets::resolvePreset(f.cmb_simple_preset->currentText(), f.cmb_simple_ortho_type->currentIndex());
    if (preset.set < 0) {
        f.gbx_camera_group->hide();
        return std::nullopt;
    }
    const auto paths = Presets::presetPaths(preset.key);
    if (!paths) {
        setStatus(QStringLiteral("preset load image failed."));
        return std::nullopt;
    }
    return PictureChoice{preset.set, *paths, -1};
}

void KalvexWindow::loadChosenPictures()
{
    const KalvexForm& f = _form;
    if (!f.gbx_simple_generate->isEnabled() || f.gbx_simple_generate->isHidden() || _session.volume().exists())
        return;
    const bool quiet = !f.presetRadio->isChecked() && !_custom_load_dialog;
    if (quiet)
        return;
    // Only a picture that cannot be used has something to say here.
    const QString status = _status_label->text();
    if (const std::optional<PictureChoice> choice = chosenPictures())
        if (loadViews(choice->set, choice->paths, static_cast<float>(f.spn_simple_res->value()), choice->threshold))
            setStatus(status);
}

bool KalvexWindow::placingAllowed() const
{
    const KalvexForm& f = _form;
    const DesignPictures& pictures = _session.pictures();
    return pictures.viewCount() == 3 && pictures.picturesDeform() && !pictures.picture(0).empty() &&
           (f.gbx_simple_generate->isEnabled() || f.gbx_simple_deform->isEnabled());
}

void KalvexWindow::changePlacement(int slot, const std::function<void(Placement&)>& change)
{
    if (!placingAllowed())
        return;
    WaitCursor wait;
    Placement placement = _session.pictures().placements()[std::size_t(slot)];
    change(placement);
    const bool hadVolume = _session.volume().exists();
    const Report placed = _session.placeByHand(slot, placement);
    showOriginals();
    if (placed.ok() && hadVolume) {
        showVolume(false);
        setStatus(lineOf(placed) + QLatin1Char(' ') + keptText(_session) + QLatin1Char('.'));
        return;
    }
    report(placed);
}

void KalvexWindow::btn_simple_arrange_released()
{
    KalvexForm& f = _form;
    const std::optional<PictureChoice> choice = chosenPictures();
    if (!choice)
        return;
    WaitCursor wait;
    const DesignSession::PictureChoice& current = _session.pictures().choice();
    const float cellSize = static_cast<float>(f.spn_simple_res->value());
    if ((current.set != choice->set || current.paths != choice->paths || current.cellSize != cellSize ||
         _session.pictures().viewCount() != 3) &&
        !loadViews(choice->set, choice->paths, cellSize, choice->threshold))
        return;
    f.arrangeProgressBar->setValue(0);
    const Report arranged = busy(
        QStringLiteral("Arranging the pictures ..."),
        [this](const std::function<void(int)>& progress) {
            return _session.arrange([&](double done) { progress(int(100.0 * done)); });
        },
        f.arrangeProgressBar);
    f.arrangeProgressBar->setValue(100);
    showOriginals();
    if (arranged.ok() && _session.volume().exists())
        showVolume(false);
    report(arranged);
}

void KalvexWindow::showOriginals()
{
    const KalvexForm& f = _form;
    PlacementLabel* const originals[3] = {f.originalLabel_x, f.originalLabel_y, f.originalLabel_z};
    const bool placing = placingAllowed();
    for (int k = 0; k < 3; ++k) {
        const QImage picture = _session.pictures().viewPicture(k);
        if (picture.isNull())
            originals[k]->clear();  // a slot without a view
        else
            originals[k]->setPixmap(QPixmap::fromImage(picture.scaledToWidth(kLabelWidth, Qt::SmoothTransformation)));
        originals[k]->setPlacingEnabled(placing);
    }
}

void KalvexWindow::showKept()
{
    _form.projectionKept->setText(keptText(_session));
}
