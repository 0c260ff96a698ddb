// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's help: the help file of the run, the help context numbers of
// the windows, and the help key. Once a help file is set, the F1 key in any
// window opens the topic of the help context of the focused control, or of
// its nearest enclosing control that has one; where none has, the key goes on
// to the window as usual (the main window's Contents command takes it there).

#include <QString>

class QWidget;
class HelpViewer;

// Sets the file every help request reads; the first call also installs the
// handling of the F1 key for the whole application.
void setHelpFile(const QString& path);
QString helpFile();

void setHelpContext(QWidget* widget, int context);
// The widget's own help context, or that of its nearest ancestor that has
// one; 0 when none has.
int helpContextOf(const QWidget* widget);

// Open the viewer on a topic; a missing help file or topic is reported in an
// error box instead.
void showHelpTopic(const QString& identifier);
void showHelpContext(int context);

// The viewer while it is open, else nullptr.
HelpViewer* openHelpViewer();
