#pragma once

// The windows' pixel sizes were laid out for an 8 point dialog font at 96 dots per inch; the
// system font is larger, so every such size is multiplied by one factor taken from its metrics.
double DesignScale();
int DesignPx(int designPixels);
