#include "ui/settings/SegmentedControl.h"

#include "ui/settings/SettingsForm.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QToolButton>

namespace {

// A segment: drawn as the style's tool button while not selected, and filled with the
// selection colour of the palette in use while selected, so the choice reads in any scheme.
class Segment : public QToolButton
{
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (!isChecked())
            return QToolButton::paintEvent(event);
        QStylePainter painter(this);
        const QColor fill = SettingsForm::selectionColor(palette());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(fill.darker(120));
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        painter.setPen(SettingsForm::textColorOn(fill, palette()));
        painter.drawText(rect(), int(Qt::AlignCenter | Qt::TextShowMnemonic), text());
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = rect().adjusted(3, 3, -3, -3);
            focus.backgroundColor = fill;
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
};

} // namespace

SegmentedControl::SegmentedControl(const QStringList &labels, QWidget *parent)
    : QWidget(parent), m_group(new QButtonGroup(this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (qsizetype i = 0; i < labels.size(); ++i) {
        auto *button = new Segment(this);
        button->setText(labels[i]);
        button->setAccessibleName(labels[i]);
        button->setCheckable(true);
        button->setAutoExclusive(true);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        m_group->addButton(button, int(i));
        row->addWidget(button);
    }
    m_group->setExclusive(true);
    connect(m_group, &QButtonGroup::idClicked, this, &SegmentedControl::activated);
    // A label's access key for the control lands on the selected segment.
    connect(m_group, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on)
            setFocusProxy(m_group->button(id));
    });
    if (!labels.isEmpty())
        setFocusProxy(m_group->button(0));
}

int SegmentedControl::currentIndex() const
{
    return m_group->checkedId();
}

void SegmentedControl::setCurrentIndex(int index)
{
    if (auto *button = m_group->button(index))
        button->setChecked(true);
}

QAbstractButton *SegmentedControl::segment(int index) const
{
    return m_group->button(index);
}

int SegmentedControl::count() const
{
    return int(m_group->buttons().size());
}
