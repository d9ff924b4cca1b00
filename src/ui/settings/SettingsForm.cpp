#include "ui/settings/SettingsForm.h"

#include "ui/Symbols.h"
#include "ui/settings/ElidingLabel.h"

#include <QApplication>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <cmath>

namespace SettingsForm {

namespace {

const QString contentName = QStringLiteral("formContent");

// A scroll area that asks for the full height of its content at a given width, so that a
// window sized from its size hints never scrolls; it only scrolls on a screen too small.
class FormScrollArea : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;

    bool hasHeightForWidth() const override { return true; }

    int heightForWidth(int width) const override
    {
        const QWidget *content = widget();
        if (!content)
            return QScrollArea::sizeHint().height();
        const int frame = 2 * frameWidth();
        const int inner = width - frame;
        const int height = content->hasHeightForWidth() ? content->heightForWidth(inner)
                                                        : content->sizeHint().height();
        return qMax(height, content->minimumSizeHint().height()) + frame;
    }

    QSize sizeHint() const override
    {
        const QSize minimum = minimumSizeHint();
        return {minimum.width(), heightForWidth(minimum.width())};
    }

    // As narrow as the content can be; any height, the rest scrolls.
    QSize minimumSizeHint() const override
    {
        const int frame = 2 * frameWidth();
        const int width = widget() ? widget()->minimumSizeHint().width() : 0;
        return {width + frame, QScrollArea::minimumSizeHint().height()};
    }
};

// Sets one minimum width on every label of the form layouts in a tab, so that the label
// columns of separate sections line up.
void alignLabelsIn(QWidget *content)
{
    QList<QWidget *> labels;
    int widest = 0;
    for (QFormLayout *fields : content->findChildren<QFormLayout *>()) {
        for (int row = 0; row < fields->rowCount(); ++row) {
            QLayoutItem *item = fields->itemAt(row, QFormLayout::LabelRole);
            if (QWidget *label = item ? item->widget() : nullptr) {
                labels << label;
                widest = qMax(widest, label->sizeHint().width());
            }
        }
    }
    for (QWidget *label : labels)
        label->setMinimumWidth(widest);
}

// Lines up the label column again whenever the font or the style changes its width.
class LabelColumn : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Polish:
        case QEvent::Show:
            alignLabelsIn(static_cast<QWidget *>(watched));
            break;
        case QEvent::FontChange:
        case QEvent::StyleChange:
            // The labels take the new font after their container has been told.
            QMetaObject::invokeMethod(
                this,
                [content = QPointer(static_cast<QWidget *>(watched))] {
                    if (content)
                        alignLabelsIn(content);
                },
                Qt::QueuedConnection);
            break;
        default:
            break;
        }
        return false;
    }
};

// Runs a function on a widget whenever the palette it inherits may have changed.
class PaletteFollower : public QObject
{
public:
    PaletteFollower(QWidget *widget, std::function<void(QWidget *, const QPalette &)> apply)
        : QObject(widget), m_apply(std::move(apply))
    {
        widget->installEventFilter(this);
        run(widget);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::PaletteChange:
        case QEvent::ApplicationPaletteChange:
        case QEvent::ParentChange:
        case QEvent::Polish:
            run(static_cast<QWidget *>(watched));
            break;
        default:
            break;
        }
        return false;
    }

private:
    void run(QWidget *widget)
    {
        if (m_running)
            return; // the change this follower made itself
        m_running = true;
        const QWidget *parent = widget->parentWidget();
        m_apply(widget, parent ? parent->palette() : QApplication::palette(widget));
        m_running = false;
    }

    std::function<void(QWidget *, const QPalette &)> m_apply;
    bool m_running = false;
};

double luminance(const QColor &color)
{
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
           0.0722 * channel(color.blueF());
}

} // namespace

QVBoxLayout *makeScrollingForm(QWidget *owner)
{
    auto *outer = new QVBoxLayout(owner);
    outer->setContentsMargins(0, 0, 0, 0);

    auto *scroll = new FormScrollArea(owner);
    scroll->setObjectName(QStringLiteral("formScrollArea"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);

    // The column keeps the style's own margins around the sections.
    auto *content = new QWidget(scroll);
    content->setObjectName(contentName);
    content->installEventFilter(new LabelColumn(content));
    auto *column = new QVBoxLayout(content);
    column->setSpacing(sectionSpacing(content));
    column->addStretch(1);
    scroll->setWidget(content);
    return column;
}

QVBoxLayout *addSection(QVBoxLayout *form, const QString &header)
{
    auto *box = new QGroupBox(header);
    box->setAccessibleName(header);
    auto *rows = new QVBoxLayout(box);
    rows->setSpacing(rowSpacing(box));
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

QFormLayout *addFields(QBoxLayout *section)
{
    auto *fields = new QFormLayout;
    fields->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    fields->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    section->addLayout(fields);
    return fields;
}

QLineEdit *addField(QFormLayout *fields, const QString &label, const QString &placeholder)
{
    auto *field = new QLineEdit;
    field->setAccessibleName(label);
    field->setPlaceholderText(placeholder);
    fields->addRow(label, field); // the row's label becomes the field's buddy
    return field;
}

void alignLabelColumns(QWidget *root)
{
    if (root->objectName() == contentName)
        alignLabelsIn(root);
    for (QWidget *content : root->findChildren<QWidget *>(contentName))
        alignLabelsIn(content);
}

QLabel *addValueRow(QBoxLayout *section, const QString &label)
{
    auto *value = new ElidingLabel;
    addFields(section)->addRow(label, value);
    return value;
}

QLabel *makeCaption(const QString &text)
{
    auto *caption = new QLabel(text);
    caption->setWordWrap(true);
    caption->setFont(captionFont(caption->font()));
    followSecondaryColor(caption);
    caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return caption;
}

QLabel *makeErrorLine(const QString &objectName)
{
    auto *line = new QLabel;
    line->setWordWrap(true);
    line->setFont(captionFont(line->font()));
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
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

QLabel *makeSymbolLabel(const QString &symbolName, int side)
{
    auto *symbol = new QLabel;
    symbol->setFixedSize(side, side);
    followPalette(symbol, [symbolName, side](QWidget *widget, const QPalette &palette) {
        static_cast<QLabel *>(widget)->setPixmap(
            tintedSymbolIcon(symbolName, secondaryColor(palette), side)
                .pixmap(QSize(side, side), widget->devicePixelRatioF()));
    });
    return symbol;
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
    // Opaque, so that the contrast is the same on any background of the window's colour.
    const QColor text = palette.color(QPalette::Active, QPalette::WindowText);
    const QColor back = palette.color(QPalette::Active, QPalette::Window);
    const double keep = 0.65;
    return QColor::fromRgbF(float(text.redF() * keep + back.redF() * (1 - keep)),
                            float(text.greenF() * keep + back.greenF() * (1 - keep)),
                            float(text.blueF() * keep + back.blueF() * (1 - keep)));
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

void followSecondaryColor(QWidget *widget)
{
    followPalette(widget, [](QWidget *target, const QPalette &inherited) {
        setTextColor(target, secondaryColor(inherited));
    });
}

void followPalette(QWidget *widget, std::function<void(QWidget *, const QPalette &)> apply)
{
    new PaletteFollower(widget, std::move(apply));
}

int rowSpacing(const QWidget *widget)
{
    const int style = widget->style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing);
    return style > 0 ? style : 6;
}

int sectionSpacing(const QWidget *widget)
{
    return 2 * rowSpacing(widget);
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QColor selectionColor(const QPalette &palette)
{
    const QColor button = palette.color(QPalette::Active, QPalette::Button);
    // Styles draw buttons a shade lighter or darker than the palette's colour.
    const auto standsOut = [&](const QColor &fill) {
        return contrastRatio(fill, button) >= 3.0 &&
               contrastRatio(fill, button.lighter(130)) >= 3.0 &&
               contrastRatio(fill, button.darker(115)) >= 3.0;
    };
    QColor fill = palette.color(QPalette::Active, QPalette::Highlight);
    const bool lighten = luminance(button) < 0.18;
    for (int step = 0; step < 20 && !standsOut(fill); ++step)
        fill = lighten ? fill.lighter(110) : fill.darker(110);
    return fill;
}

QColor textColorOn(const QColor &fill, const QPalette &palette)
{
    const QColor preferred = palette.color(QPalette::Active, QPalette::HighlightedText);
    if (contrastRatio(preferred, fill) >= 4.5)
        return preferred;
    return contrastRatio(Qt::black, fill) > contrastRatio(Qt::white, fill) ? QColor(Qt::black)
                                                                           : QColor(Qt::white);
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
