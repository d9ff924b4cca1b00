#include "ui/settings/SettingsForm.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QScrollArea>
#include <QVBoxLayout>

namespace SettingsForm {

QVBoxLayout *makeScrollingForm(QWidget *owner)
{
    auto *outer = new QVBoxLayout(owner);
    outer->setContentsMargins(0, 0, 0, 0);

    auto *scroll = new QScrollArea(owner);
    scroll->setObjectName(QStringLiteral("formScrollArea"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);

    auto *content = new QWidget(scroll);
    content->setObjectName(QStringLiteral("formContent"));
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(14);
    column->addStretch(1);
    scroll->setWidget(content);
    return column;
}

QVBoxLayout *addSection(QVBoxLayout *form, const QString &header)
{
    auto *box = new QGroupBox(header);
    box->setAccessibleName(header);
    auto *rows = new QVBoxLayout(box);
    rows->setSpacing(8);
    // The column ends in a stretch that keeps the sections at the top.
    form->insertWidget(form->count() - 1, box);
    return rows;
}

QHBoxLayout *addRow(QBoxLayout *section, int spacing)
{
    auto *row = new QHBoxLayout;
    if (spacing >= 0)
        row->setSpacing(spacing);
    row->setAlignment(Qt::AlignVCenter);
    section->addLayout(row);
    return row;
}

QLabel *addValueRow(QBoxLayout *section, const QString &label)
{
    auto *row = addRow(section);
    auto *name = new QLabel(label);
    auto *value = new QLabel;
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setAccessibleName(label);
    name->setBuddy(value);
    row->addWidget(name);
    row->addStretch(1);
    row->addWidget(value);
    return value;
}

QLabel *makeCaption(const QString &text)
{
    auto *caption = new QLabel(text);
    caption->setWordWrap(true);
    caption->setFont(captionFont(caption->font()));
    setTextColor(caption, secondaryColor(caption->palette()));
    caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return caption;
}

QLabel *makeErrorLine(const QString &objectName)
{
    QLabel *line = makeCaption();
    line->setObjectName(objectName);
    setTextColor(line, red());
    line->hide();
    return line;
}

void showError(QLabel *line, const std::optional<QString> &error)
{
    line->setText(error.value_or(QString()));
    line->setVisible(error.has_value());
}

QFont captionFont(const QFont &base)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * 0.85);
    return font;
}

QFont caption2Font(const QFont &base)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * 0.8);
    return font;
}

QColor secondaryColor(const QPalette &palette)
{
    QColor color = palette.color(QPalette::Active, QPalette::WindowText);
    color.setAlphaF(0.6);
    return color;
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

QColor green()
{
    return QColor(0x28, 0xa7, 0x45);
}

QColor orange()
{
    return QColor(0xf0, 0x8c, 0x00);
}

QColor red()
{
    return QColor(0xd7, 0x26, 0x1e);
}

} // namespace SettingsForm
