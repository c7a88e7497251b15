#include "mainwindow/untScale.h"

#include <QApplication>
#include <QFontMetricsF>

#include <cmath>

namespace {
// Line height of the font the sizes were made for.
constexpr double kDesignLineHeight = 13.0;
}

double DesignScale()
{
    const QFontMetricsF metrics(QApplication::font());
    return std::max(1.0, metrics.height() / kDesignLineHeight);
}

int DesignPx(int designPixels)
{
    return int(std::lround(designPixels * DesignScale()));
}
