#include "ui/settings/SegmentedControl.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

SegmentedControl::SegmentedControl(const QStringList &labels, QWidget *parent)
    : QWidget(parent), m_group(new QButtonGroup(this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (qsizetype i = 0; i < labels.size(); ++i) {
        auto *button = new QToolButton(this);
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
