#pragma once

#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;

// A row of mutually exclusive segments, one selected at a time. Every segment takes focus;
// the arrow keys move between segments.
class SegmentedControl : public QWidget
{
    Q_OBJECT

public:
    explicit SegmentedControl(const QStringList &labels, QWidget *parent = nullptr);

    int currentIndex() const;
    // Selects a segment without emitting activated().
    void setCurrentIndex(int index);
    QAbstractButton *segment(int index) const;
    int count() const;

Q_SIGNALS:
    // The user picked a segment.
    void activated(int index);

private:
    QButtonGroup *m_group;
};
