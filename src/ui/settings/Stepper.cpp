#include "ui/settings/Stepper.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {
constexpr int firstRepeatMs = 400;
constexpr int repeatMs = 80;
} // namespace

Stepper::Stepper(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize Stepper::sizeHint() const
{
    const int side = fontMetrics().height();
    return {side + 4, 2 * side};
}

QSize Stepper::minimumSizeHint() const
{
    return sizeHint();
}

QRect Stepper::half(int direction) const
{
    const int middle = height() / 2;
    return direction > 0 ? QRect(0, 0, width(), middle)
                         : QRect(0, middle, width(), height() - middle);
}

void Stepper::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    for (int direction : {+1, -1}) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = half(direction);
        button.state &= ~QStyle::State_HasFocus;
        button.state |= m_pressed == direction ? QStyle::State_Sunken : QStyle::State_Raised;
        painter.drawPrimitive(QStyle::PE_PanelButtonCommand, button);
        QStyleOption arrow = button;
        const int inset = qMax(2, button.rect.height() / 4);
        arrow.rect = button.rect.adjusted(inset, inset, -inset, -inset);
        painter.drawPrimitive(
            direction > 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown, arrow);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

void Stepper::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressed = half(+1).contains(event->position().toPoint()) ? +1 : -1;
    update();
    Q_EMIT stepped(m_pressed);
    m_repeat.start(firstRepeatMs, this);
}

void Stepper::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    m_pressed = 0;
    m_repeat.stop();
    update();
}

void Stepper::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        Q_EMIT stepped(+1);
        break;
    case Qt::Key_Down:
        Q_EMIT stepped(-1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void Stepper::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_repeat.timerId())
        return QWidget::timerEvent(event);
    if (m_pressed == 0) {
        m_repeat.stop();
        return;
    }
    m_repeat.start(repeatMs, this);
    Q_EMIT stepped(m_pressed);
}
