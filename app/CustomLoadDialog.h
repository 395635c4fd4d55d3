#pragma once
// "load images ...": three picture names under "./IncludedData" and a
// projection set, kept for the workflow's "generate" after the dialog closes.

#include "app/FormWidgets.h"

#include <QDialog>
#include <QString>

#include <array>

class KalvexWindow;
class QLineEdit;

class CustomLoadDialog : public QDialog {
    Q_OBJECT
public:
    explicit CustomLoadDialog(KalvexWindow* window);

    const std::array<QString, 3>& fileNames() const { return _file_names; }
    int projectionSet() const { return _set; }
    bool loaded() const { return _loaded; }

public slots:
    // Takes the names and the set, switches the workflow to "Custom:", hides.
    void loadCombination_released();
    // Switches the workflow back to the presets, hides.
    void cancel_released();

private:
    KalvexWindow* _window;
    std::array<QLineEdit*, 3> _paths{};
    FormWidgets::LoadComboControls _controls;
    std::array<QString, 3> _file_names;
    int _set = 0;
    bool _loaded = false;
};
