// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The message boxes of the program. Every window shows its boxes through the
// one service returned by messages(), so tests can record and answer them
// instead of waiting for a user.

#include <QString>

inline const QString ApplicationTitle = QStringLiteral("Movara");

// YesNoDefaultNo: Yes and No with No the default, for a question whose Yes
// cannot be undone, so that Enter alone never answers it.
enum class ConfirmButtons { YesNo, OkCancel, YesNoDefaultNo };

class MessageService {
public:
    virtual ~MessageService() = default;

    // Caption "Error", error sign, OK.
    virtual void errorBox(const QString& text) = 0;
    // Caption "Confirm", question sign; true when the answer is Yes or OK.
    virtual bool confirmBox(const QString& text, ConfirmButtons buttons) = 0;
    // Titled with the application title, OK.
    virtual void messageBox(const QString& text) = 0;
    // The application-wide error display: titled with the application title,
    // error sign, OK. The text arrives complete (see showErrorDisplay).
    virtual void errorDisplay(const QString& text) = 0;
};

// The boxes on screen.
class QtMessageService : public MessageService {
public:
    void errorBox(const QString& text) override;
    bool confirmBox(const QString& text, ConfirmButtons buttons) override;
    void messageBox(const QString& text) override;
    void errorDisplay(const QString& text) override;
};

MessageService& messages();
// Puts another service in place; nullptr brings the boxes on screen back.
void setMessageService(MessageService* service);

// An error text as the error display shows it: a full stop is added when the
// code of the last character is greater than that of ".", so a text ending in
// a letter or digit gets one and a text ending in "." or "!" does not.
QString withFullStop(const QString& text);

// Shows an error that no operation caught.
void showErrorDisplay(const QString& errorText);
