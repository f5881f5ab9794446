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

public Q_SLOTS:
    void setLevel(float peak);   // 0..1

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    float m_level = 0;
    float m_hold = 0;
};

} // namespace parlivo
