#pragma once

#include <QBasicTimer>
#include <QWidget>

// Two small arrows, up over down, with no text of their own. A click on the upper half steps
// up and one on the lower half steps down (repeating while held); with focus, the Up and Down
// keys do the same.
class Stepper : public QWidget
{
    Q_OBJECT

public:
    explicit Stepper(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // +1 for up, -1 for down.
    void stepped(int direction);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    QRect half(int direction) const;

    int m_pressed = 0;
    QBasicTimer m_repeat;
};
