// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's pictures, drawn rather than shipped as image files so that
// they stay sharp at any size: the toolbar's Exit, Results and Help buttons,
// the key of the password dialog and the program's own sign.

#include <QPixmap>

QPixmap exitPicture(int size = 32);
QPixmap resultsPicture(int size = 32);
QPixmap helpPicture(int size = 32);
QPixmap keyPicture(int size = 32);
QPixmap programPicture(int size = 48);
