#pragma once

#include <QLabel>

// A one-line label that never asks for more width than it is given: a text too long for it
// (a path, mostly) is drawn cut in the middle, and the whole text is its tooltip. text()
// stays the whole text; assistive technology reads it as the name and as the description.
class ElidingLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidingLabel(QWidget *parent = nullptr);

    // The text as drawn at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
