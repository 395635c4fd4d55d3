#pragma once
// Small makers for the form's widgets: each creates a named child of `parent`
// with its text and range, so the form code reads like the form's table.

#include <QBoxLayout>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QString>

namespace FormWidgets {

template <class W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

inline QPushButton* button(QWidget* parent, const char* name, const QString& text)
{
    return named(new QPushButton(text, parent), name);
}

inline QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    return named(new QLabel(text, parent), name);
}

inline QCheckBox* check(QWidget* parent, const char* name, const QString& text, bool checked)
{
    auto* box = named(new QCheckBox(text, parent), name);
    box->setChecked(checked);
    return box;
}

inline QRadioButton* radio(QWidget* parent, const char* name, const QString& text, bool checked = false)
{
    auto* button = named(new QRadioButton(text, parent), name);
    button->setChecked(checked);
    return button;
}

inline QSpinBox* spin(QWidget* parent, const char* name, int minimum, int maximum, int value,
                      const QString& suffix = QString())
{
    auto* box = named(new QSpinBox(parent), name);
    box->setRange(minimum, maximum);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
}

inline QLineEdit* lineEdit(QWidget* parent, const char* name, const QString& text)
{
    return named(new QLineEdit(text, parent), name);
}

// A progress bar at 0 with its text hidden.
inline QProgressBar* progress(QWidget* parent, const char* name)
{
    auto* bar = named(new QProgressBar(parent), name);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

// The "Configuration" group choosing the projection set and the "Load Combo" /
// "Cancel" row, shared by the picture dialogs.
struct LoadComboControls {
    QRadioButton* orthogonal = nullptr;
    QRadioButton* fortyFive = nullptr;
    QRadioButton* sixty = nullptr;
    QPushButton* load = nullptr;
    QPushButton* cancel = nullptr;

    // 0 = X, Y, Z; 1 = 0-45-90; 2 = 0-60-120.
    int set() const { return fortyFive->isChecked() ? 1 : sixty->isChecked() ? 2 : 0; }
};

inline LoadComboControls addLoadComboControls(QWidget* dialog, QBoxLayout* layout, const QString& orthogonalText)
{
    LoadComboControls controls;
    auto* configuration = named(new QGroupBox(QStringLiteral("Configuration"), dialog), "groupBox");
    auto* sets = new QHBoxLayout(configuration);
    controls.orthogonal = radio(configuration, "orthogonal", orthogonalText, true);
    controls.fortyFive = radio(configuration, "fortyFive", QStringLiteral("0-45-90"));
    controls.sixty = radio(configuration, "sixty", QStringLiteral("0-60-120"));
    for (QRadioButton* b : {controls.orthogonal, controls.fortyFive, controls.sixty})
        sets->addWidget(b);
    layout->addWidget(configuration);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    controls.load = button(dialog, "loadCombination", QStringLiteral("Load Combo"));
    controls.cancel = button(dialog, "cancel", QStringLiteral("Cancel"));
    buttons->addWidget(controls.load);
    buttons->addWidget(controls.cancel);
    return controls;
}

}  // namespace FormWidgets
