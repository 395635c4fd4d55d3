#pragma once
// "load images ...": three pictures (names under "./IncludedData", or any
// path), how each figure is told from its ground (automatically, or by a
// luminance threshold set by hand, with a live preview of the figures) and a
// projection set, kept for the workflow's "generate" after the dialog closes.

#include "app/FormWidgets.h"

#include <QDialog>
#include <QString>

#include <array>

class KalvexWindow;
class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;

class CustomLoadDialog : public QDialog {
    Q_OBJECT
public:
    explicit CustomLoadDialog(KalvexWindow* window);

    const std::array<QString, 3>& fileNames() const { return _file_names; }
    int projectionSet() const { return _set; }
    // The luminance threshold chosen by hand, or -1 for automatic.
    int threshold() const;
    bool loaded() const { return _loaded; }

public slots:
    // Takes the names and the set, switches the workflow to "Custom:", hides.
    void loadCombination_released();
    // Switches the workflow back to the presets, hides.
    void cancel_released();
    // The figures as the current names and threshold give them.
    void updatePreview();

private:
    KalvexWindow* _window;
    // A picture name as a path: absolute as given, else under "./IncludedData".
    static QString pathOf(const QString& name);

    std::array<QLineEdit*, 3> _paths{};
    std::array<QLabel*, 3> _previews{};
    QCheckBox* _by_hand = nullptr;
    QSlider* _threshold = nullptr;
    QLabel* _threshold_value = nullptr;
    FormWidgets::LoadComboControls _controls;
    std::array<QString, 3> _file_names;
    int _set = 0;
    bool _loaded = false;
};
