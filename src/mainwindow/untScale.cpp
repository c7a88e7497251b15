#include "mainwindow/untScale.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {
// The design font's average character, measured as Windows measures it for dialog units: the
// letters A-Z and a-z divided by 52, and the line height.
constexpr double kDesignCharWidth = 6.0;
constexpr double kDesignLineHeight = 13.0;
}

double DesignScale(const QFont& font)
{
    const QFontMetricsF metrics(font);
    const double charWidth =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    return std::max({1.0, charWidth / kDesignCharWidth, metrics.height() / kDesignLineHeight});
}

double DesignScale()
{
    return DesignScale(QApplication::font());
}

int DesignPx(int designPixels)
{
    return int(std::lround(designPixels * DesignScale()));
}

QSize DesignSize(int designWidth, int designHeight)
{
    return {DesignPx(designWidth), DesignPx(designHeight)};
}

int FitPx(int designPixels, const QFontMetrics& metrics, const QStringList& texts, int padding)
{
    int width = DesignPx(designPixels);
    for (const QString& text : texts)
        if (!text.isEmpty())
            width = std::max(width, metrics.horizontalAdvance(text) + padding);
    return width;
}
