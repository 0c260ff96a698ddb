// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Forces the Num Lock toggle on, so the numeric keypad types digits. Only an
// X11 display lets a program set the toggle; elsewhere (Wayland, offscreen)
// this does nothing. Returns whether the toggle was set.
bool forceNumLockOn();
