// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The help file, movara.hlp: UTF-8 text, read line by line.
//
//   # remark                  a line whose first character is '#' is skipped
//   @topic IDENTIFIER [N]     starts a topic. IDENTIFIER is one word of letters,
//                             digits and '_', matched without regard to case;
//                             N, when present, is the topic's help context
//                             number, a whole number above 0
//   @title Text               the topic's title; without one the title is the
//                             identifier
//   any other line            a line of the current topic's body
//
// Lines before the first @topic belong to no topic and are skipped. An @topic
// line whose identifier or number is malformed, or that repeats the identifier
// or number of an earlier topic, starts a topic that cannot be found, so the
// first topic of a name always wins.
//
// Body lines, as the help viewer shows them:
//
//   (a blank line)            ends a paragraph or list; the lines of a
//                             paragraph flow together
//   == Text                   a subheading
//   - text                    an item of a bulleted list; following lines that
//                             begin with a blank continue the item
//   [[ID]] or [[ID|words]]    inside any line: a link to the topic ID, showing
//                             that topic's title or the words given

#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

struct HelpTopic {
    QString identifier;
    int context = 0;  // 0: reached by identifier only
    QString title;
    QStringList body;
    bool reachable = true;
};

class HelpFile {
public:
    static HelpFile parse(const QString& text);
    // Nothing when the file cannot be read.
    static std::optional<HelpFile> load(const QString& path);

    const HelpTopic* findTopic(const QString& identifier) const;
    const HelpTopic* findContext(int context) const;
    const std::vector<HelpTopic>& topics() const { return all; }

    // The topic's body as rich text for the viewer; links read
    // "topic:IDENTIFIER".
    QString html(const HelpTopic& topic) const;

private:
    QString linkText(const QString& identifier, const QString& words) const;
    QString inlineHtml(const QString& line) const;

    std::vector<HelpTopic> all;
};
