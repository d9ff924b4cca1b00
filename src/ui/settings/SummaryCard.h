#pragma once

#include <QWidget>

class QLabel;

// One of the History tab's summary cards: a titled count with a one-line caption, on a
// rounded panel.
class SummaryCard : public QWidget
{
    Q_OBJECT

public:
    SummaryCard(const QString &title, const QString &symbolName, QWidget *parent = nullptr);

    void setCount(qsizetype count);
    void setCaption(const QString &caption);

    qsizetype count() const { return m_count; }
    QString caption() const { return m_caption; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateCaption();
    void updateAccessibleName();

    QString m_title;
    qsizetype m_count = 0;
    QString m_caption;
    QLabel *m_number;
    QLabel *m_captionLabel;
};
