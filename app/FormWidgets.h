#pragma once
// Small makers for the form's widgets: each creates a named child of `parent`
// with its text and range, so the form code reads like the form's table.

#include <QCheckBox>
#include <QDoubleSpinBox>
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

}  // namespace FormWidgets
