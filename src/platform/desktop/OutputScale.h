#pragma once
// The compositor's outputs as it describes them itself: each one's current mode in device
// pixels and its scale. Qt sizes a Wayland screen by the compositor's logical output size,
// which mutter (in its default layout) gives in device pixels even on a scaled output; a
// window sized for that screen then comes out twice as large as the real one. Comparing
// Qt's size with the output's mode tells the two cases apart.
#include <QList>
#include <QRect>
#include <QSize>

namespace parlivo {

struct OutputMode
{
    QSize pixels;   // the current mode, turned as the output is
    int scale = 1;
};

// The outputs of the compositor named by WAYLAND_DISPLAY, asked on a connection of our own;
// empty when there is none or it does not answer within timeoutMs.
QList<OutputMode> waylandOutputs(int timeoutMs = 500);

// The area windows are sized in: available as Qt reports it, divided by the output's scale
// where Qt's screen size is exactly a scaled output's mode (device pixels, not logical ones).
QRect logicalArea(const QRect &available, QSize screenSize, const QList<OutputMode> &outputs);

} // namespace parlivo
