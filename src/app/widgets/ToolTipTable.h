#pragma once
#include <QString>
#include <vector>

namespace parlivo {

struct ToolTipRow
{
    int index;
    const char *control;   // objectName of the control the tip belongs to
    QString title;
    QString text;
    int icon;              // 1 information, 2 warning
};

inline constexpr int BalloonTipCount = 33;

const std::vector<ToolTipRow> &toolTipTable();

} // namespace parlivo
