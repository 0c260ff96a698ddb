// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Scaling a window by a ratio percent / 100: the window's size, the position
// and size of every control that no layout places (a layout places its
// controls again from the new fonts and size), the size limits, and every
// font. The result depends only on the window as it stands, so a window is
// scaled once, from its designed size: scaling it again would compound.

class QWidget;

void scaleWindow(QWidget* window, int percent);

// The ratio, in percent of the designed size, for a configured scale factor.
inline int scalePercent(int scalefactor)
{
    return 100 + scalefactor;
}
