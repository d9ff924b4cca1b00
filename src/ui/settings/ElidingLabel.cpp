#include "ui/settings/ElidingLabel.h"

#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace {

// Static text whose name is the label's own (whole) text, repeated as the description so
// that a reader that prefers descriptions still gets the whole path.
class ElidingLabelAccessible : public QAccessibleWidget
{
public:
    explicit ElidingLabelAccessible(QWidget *label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {}

    QString text(QAccessible::Text kind) const override
    {
        const auto *label = static_cast<const ElidingLabel *>(widget());
        if (kind == QAccessible::Name || kind == QAccessible::Description)
            return label->text();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    if (className == QLatin1String("ElidingLabel") && object && object->isWidgetType())
        return new ElidingLabelAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

ElidingLabel::ElidingLabel(QWidget *parent) : QLabel(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFor);
        return true;
    }();
    Q_UNUSED(installed);
    // The width comes from the layout, never from the text: it takes the room there is.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

QString ElidingLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

QSize ElidingLabel::sizeHint() const
{
    return minimumSizeHint();
}

QSize ElidingLabel::minimumSizeHint() const
{
    return {fontMetrics().horizontalAdvance(QStringLiteral("M…M")), QLabel::sizeHint().height()};
}

bool ElidingLabel::event(QEvent *event)
{
    // The whole text as the tooltip, only when it does not show in full.
    if (event->type() == QEvent::ToolTip) {
        if (shownText() != text())
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

void ElidingLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(),
                          shownText(), foregroundRole());
}
