// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/numlock.h"

#include <QGuiApplication>

#ifdef MOVARA_HAVE_X11
// The X11 headers define macros (None, Bool, Status, KeyPress...) that clash
// with the toolkit's names, so they come last.
#include <X11/XKBlib.h>
#include <X11/keysym.h>
#endif

bool forceNumLockOn()
{
#if defined(MOVARA_HAVE_X11) && QT_CONFIG(xcb)
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return false;
    const unsigned int numLock = XkbKeysymToModifiers(display, XK_Num_Lock);
    if (numLock == 0) return false;
    const bool locked = XkbLockModifiers(display, XkbUseCoreKbd, numLock, numLock);
    XFlush(display);
    return locked;
#else
    return false;
#endif
}
