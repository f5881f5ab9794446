#include "platform/desktop/OutputScale.h"

#include <gtest/gtest.h>

using namespace parlivo;

TEST(OutputScale, OnlyAScreenSizedInAScaledOutputsDevicePixelsIsDividedByItsScale)
{
    const QList<OutputMode> outputs = {{QSize(1920, 1080), 1}, {QSize(1366, 800), 2}};
    // Qt's size is the scaled output's mode: device pixels, so half as many units.
    EXPECT_EQ(logicalArea(QRect(0, 0, 1366, 800), QSize(1366, 800), outputs), QRect(0, 0, 683, 400));
    // Already logical (683x400 on that output), or an unscaled output: as it is.
    EXPECT_EQ(logicalArea(QRect(0, 0, 683, 400), QSize(683, 400), outputs), QRect(0, 0, 683, 400));
    EXPECT_EQ(logicalArea(QRect(0, 0, 1920, 1040), QSize(1920, 1080), outputs), QRect(0, 0, 1920, 1040));
    EXPECT_EQ(logicalArea(QRect(0, 0, 800, 600), QSize(800, 600), {}), QRect(0, 0, 800, 600));
}
