#include "ui/settings/SummaryCard.h"

#include "ui/settings/SettingsForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

using namespace SettingsForm;

SummaryCard::SummaryCard(const QString &title, const QString &symbolName, QWidget *parent)
    : QWidget(parent), m_title(title)
{
    setFocusPolicy(Qt::NoFocus);
    auto *column = new QVBoxLayout(this);
    const int padding = rowSpacing(this) + rowSpacing(this) / 2;
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(rowSpacing(this) / 2);

    const QFont caption = captionFont(font());
    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(rowSpacing(this) / 2);
    titleRow->addWidget(makeSymbolLabel(symbolName, QFontMetrics(caption).height()));
    auto *titleLabel = new QLabel(title);
    titleLabel->setObjectName(QStringLiteral("cardTitle"));
    titleLabel->setFont(caption);
    followSecondaryColor(titleLabel);
    titleRow->addWidget(titleLabel, 1);
    column->addLayout(titleRow);

    m_number = new QLabel(QStringLiteral("0"));
    m_number->setObjectName(QStringLiteral("cardNumber"));
    QFont numberFont = font();
    numberFont.setPointSizeF(font().pointSizeF() * 2);
    numberFont.setWeight(QFont::Medium);
    m_number->setFont(numberFont);
    column->addWidget(m_number);

    m_captionLabel = new QLabel;
    m_captionLabel->setObjectName(QStringLiteral("cardCaption"));
    m_captionLabel->setFont(caption2Font(font()));
    followSecondaryColor(m_captionLabel);
    // One line; the caption is cut to the card's width rather than wrapped.
    m_captionLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    column->addWidget(m_captionLabel);

    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    updateAccessibleName();
}

void SummaryCard::setCount(qsizetype count)
{
    m_count = count;
    m_number->setText(QString::number(count));
    updateAccessibleName();
}

void SummaryCard::setCaption(const QString &caption)
{
    m_caption = caption;
    updateCaption();
    updateAccessibleName();
}

void SummaryCard::updateCaption()
{
    const QFontMetrics metrics(m_captionLabel->font());
    m_captionLabel->setText(
        metrics.elidedText(m_caption, Qt::ElideRight, qMax(0, m_captionLabel->width())));
    m_captionLabel->setToolTip(m_caption);
}

void SummaryCard::updateAccessibleName()
{
    setAccessibleName(QStringLiteral("%1: %2, %3").arg(m_title).arg(m_count).arg(m_caption));
}

void SummaryCard::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateCaption();
}

void SummaryCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath panel;
    panel.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    painter.fillPath(panel, palette().color(QPalette::Base));
    QColor edge = palette().color(QPalette::WindowText);
    edge.setAlphaF(0.08);
    painter.setPen(edge);
    painter.drawPath(panel);
}
