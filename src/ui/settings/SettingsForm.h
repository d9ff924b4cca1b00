#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <functional>
#include <optional>

class QBoxLayout;
class QFormLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPalette;
class QVBoxLayout;
class QWidget;

// Building blocks shared by the settings tabs: a grouped form (boxed sections in a column that
// the window grows to fit, scrolling only on a screen too small for it), labelled rows whose
// label column lines up across the tab, dimmed captions that follow the palette, and the
// status colours.
namespace SettingsForm {

// Fills owner with a frameless scroll area and returns the column that holds the sections.
// The area asks for the whole height of its content, so the window can be made to fit it.
QVBoxLayout *makeScrollingForm(QWidget *owner);

// Appends a boxed section, with a header above the box when one is given, and returns the
// layout that takes the section's rows.
QVBoxLayout *addSection(QVBoxLayout *form, const QString &header = {});

// A row of items centred vertically.
QHBoxLayout *addRow(QBoxLayout *section, int spacing = -1);

// Labelled rows: the labels form one column, the same width in every section of the tab.
QFormLayout *addFields(QBoxLayout *section);
QLineEdit *addField(QFormLayout *fields, const QString &label, const QString &placeholder = {});

// Lines up the label columns of every form under root again (after a change of font).
void alignLabelColumns(QWidget *root);

// A labelled value. The value's own text is what assistive technology reads; the label is
// its buddy. Long values (paths) are cut in the middle to the space there is, whole in the
// tooltip and the accessible description.
QLabel *addValueRow(QBoxLayout *section, const QString &label);

// Small wrapping text in the secondary colour.
QLabel *makeCaption(const QString &text = {});

// A caption in red that says why something failed; hidden while there is no failure.
QLabel *makeErrorLine(const QString &objectName);
// Shows the failure on its line, or hides the line when there is none.
void showError(QLabel *line, const std::optional<QString> &error);

// A symbol drawn in the secondary colour of the palette in use.
QLabel *makeSymbolLabel(const QString &symbolName, int side);

QFont captionFont(const QFont &base);
QFont caption2Font(const QFont &base);
QColor secondaryColor(const QPalette &palette);
void setTextColor(QWidget *widget, const QColor &color);
// The widget's text drawn in the colour derived from the palette it inherits, again after
// every change of palette (a live switch between light and dark included).
void followSecondaryColor(QWidget *widget);
// Runs apply now and whenever the palette the widget inherits may have changed.
void followPalette(QWidget *widget, std::function<void(QWidget *, const QPalette &)> apply);

// The spacing scale: between rows, and between sections.
int rowSpacing(const QWidget *widget);
int sectionSpacing(const QWidget *widget);

// WCAG contrast ratio of two opaque colours (1 to 21).
double contrastRatio(const QColor &a, const QColor &b);
// The fill of a selected segment: the palette's highlight, moved away from the button colour
// until the two differ by at least 3:1.
QColor selectionColor(const QPalette &palette);
// Black or white, whichever reads better on the given fill.
QColor textColorOn(const QColor &fill, const QPalette &palette);

// System accent colours used for states.
QColor green();
QColor orange();
QColor red();

} // namespace SettingsForm
