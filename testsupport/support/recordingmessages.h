// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A message service for window tests: records every box instead of showing
// it, and answers confirmation boxes from a queue of answers. It is in place
// from its construction to its destruction.

#include <deque>
#include <vector>

#include <QStringList>

#include "widgets/messages.h"

namespace testing_support {

enum class BoxKind { Error, Confirm, Message, ErrorDisplay };

struct ShownBox {
    BoxKind kind;
    QString text;
};

class RecordingMessages : public MessageService {
public:
    RecordingMessages() { setMessageService(this); }
    ~RecordingMessages() override { setMessageService(nullptr); }
    RecordingMessages(const RecordingMessages&) = delete;
    RecordingMessages& operator=(const RecordingMessages&) = delete;

    void errorBox(const QString& text) override { shown.push_back({BoxKind::Error, text}); }
    bool confirmBox(const QString& text, ConfirmButtons) override
    {
        shown.push_back({BoxKind::Confirm, text});
        if (answers.empty()) return defaultAnswer;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void messageBox(const QString& text) override { shown.push_back({BoxKind::Message, text}); }
    void errorDisplay(const QString& text) override { shown.push_back({BoxKind::ErrorDisplay, text}); }

    QStringList texts(BoxKind kind) const
    {
        QStringList found;
        for (const ShownBox& box : shown)
            if (box.kind == kind) found.append(box.text);
        return found;
    }
    void clear() { shown.clear(); }

    std::vector<ShownBox> shown;
    std::deque<bool> answers;
    bool defaultAnswer = true;
};

}  // namespace testing_support
