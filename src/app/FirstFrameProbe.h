#pragma once
// For start-up measurements: quits the application right after a widget's first paint.
#include <QObject>

namespace parlivo {

class FirstFrameProbe : public QObject
{
public:
    // Watches target when PARLIVO_QUIT_AFTER_FIRST_FRAME is set; does nothing otherwise.
    static void installIfAsked(QObject *target);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace parlivo
