#pragma once

#include <QSize>
#include <QStringList>

class QFont;
class QFontMetrics;

// The windows' pixel sizes were laid out for "MS Sans Serif" 8 pt at 96 dots per inch, whose
// average character is 6 pixels wide and 13 high. The system font is larger, so every such size is
// multiplied by one factor: how much wider or taller the system font's average character is,
// whichever is more, and never less than 1.
double DesignScale();
double DesignScale(const QFont& font);
int DesignPx(int designPixels);
QSize DesignSize(int designWidth, int designHeight);

// A scaled design width that is widened where one of `texts` needs more, `padding` included: the
// design's widths were made for shorter texts than a million calls produce.
int FitPx(int designPixels, const QFontMetrics& metrics, const QStringList& texts, int padding);
