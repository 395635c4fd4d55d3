#pragma once
// Ctrl+E: the example picture sets under "./Models/Images", one radio button
// per example key, and the projection set to load them with.

#include "app/FormWidgets.h"

#include <QDialog>

#include <array>

class KalvexWindow;
class QRadioButton;

class ExampleOpenDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExampleOpenDialog(KalvexWindow* window);

public slots:
    // Hides the dialog and loads the checked example with the chosen set.
    void loadCombination_released();
    void cancel_released();

private:
    KalvexWindow* _window;
    std::array<QRadioButton*, 16> _options{};
    FormWidgets::LoadComboControls _controls;
};
