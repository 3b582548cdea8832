#pragma once

#include <QLabel>

// A status panel whose text stands in front of a fill that shows the share of a run done.
class ProgressPanel : public QLabel
{
    Q_OBJECT
public:
    explicit ProgressPanel(QWidget *parent = nullptr);

    // share from 0 to 1, or a negative value for no fill.
    void setFill(double share);
    double fill() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_fill = -1;
};
