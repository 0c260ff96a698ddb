// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The help viewer window: one topic of the help file at a time, with links to
// other topics, a way back and a way to the contents.

#include <QStringList>
#include <QWidget>

#include "widgets/helpfile.h"

class QPushButton;
class QTextBrowser;
class QUrl;

class HelpViewer : public QWidget {
    Q_OBJECT

public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // Shows a topic of the file, starting a fresh history.
    void showTopic(const HelpFile& file, const HelpTopic& topic);

    QString topicIdentifier() const { return current; }
    QString topicText() const;

private:
    void followLink(const QUrl& link);
    void goBack();
    void showContents();
    void display(const QString& identifier);

    HelpFile file;
    QString current;
    QStringList history;
    QTextBrowser* page;
    QPushButton* contentsButton;
    QPushButton* backButton;
};
