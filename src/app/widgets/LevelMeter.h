#pragma once
// A slim input level bar: shows the microphone's peak level with a short fall-off.
#include <QWidget>

namespace parlivo {

class LevelMeter : public QWidget
{
    Q_OBJECT
public:
    explicit LevelMeter(QWidget *parent = nullptr);
    float level() const { return m_level; }
    // The level as drawn, 0 to 100 along the bar: what assistive technology reads.
    int percent() const;

public Q_SLOTS:
    void setLevel(float peak);   // 0..1

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    float m_level = 0;
    float m_hold = 0;
    int m_reportedPercent = 0;
    qint64 m_reportedAt = 0;
};

} // namespace parlivo
