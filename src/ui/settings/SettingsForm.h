#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <optional>

class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QPalette;
class QVBoxLayout;
class QWidget;

// Building blocks shared by the settings tabs: a grouped form (boxed sections in a column that
// scrolls when it does not fit the window), dimmed captions and the status colours.
namespace SettingsForm {

// Fills owner with a frameless scroll area and returns the column that holds the sections.
QVBoxLayout *makeScrollingForm(QWidget *owner);

// Appends a boxed section, with a header above the box when one is given, and returns the
// layout that takes the section's rows.
QVBoxLayout *addSection(QVBoxLayout *form, const QString &header = {});

// A row of items centred vertically.
QHBoxLayout *addRow(QBoxLayout *section, int spacing = -1);

// A labelled value: the label on the leading edge, the value on the trailing edge.
QLabel *addValueRow(QBoxLayout *section, const QString &label);

// Small wrapping text in the secondary colour.
QLabel *makeCaption(const QString &text = {});

// A caption in red that says why something failed; hidden while there is no failure.
QLabel *makeErrorLine(const QString &objectName);
// Shows the failure on its line, or hides the line when there is none.
void showError(QLabel *line, const std::optional<QString> &error);

QFont captionFont(const QFont &base);
QFont caption2Font(const QFont &base);
QColor secondaryColor(const QPalette &palette);
void setTextColor(QWidget *widget, const QColor &color);

// System accent colours used for states.
QColor green();
QColor orange();
QColor red();

} // namespace SettingsForm
