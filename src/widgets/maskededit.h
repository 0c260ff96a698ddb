// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The entry field of the text tests: a line edit that may carry an input mask
// of its own and a character case, and that reports every change of its text,
// the program's as well as the user's, through changed().
//
// A mask has three parts separated by ";": the pattern, "1" when the literal
// characters belong to the field's text or "0" when they do not, and the
// character shown in an unfilled position. In the pattern "9" is a position
// that takes one digit or stays unfilled; every other character is a literal
// that stays where it is. So "99/99/99;1; " shows "  /  /  " when unfilled
// and its text then trims to "/  /".
//
// A masked field always shows the whole pattern: typing overwrites one digit
// position and the caret steps over the literals that follow; a non-digit is
// refused, except that typing (or pasting) a literal moves the caret past the
// next such literal. Backspace and Delete unfill positions and never move the
// other characters, so the literals and the digits already keyed stay where
// they are. Without a mask the field is a plain line edit.
//
// In both forms the caret stands at the start of a text the program sets, and
// entering the field keeps the caret where it was instead of selecting the
// text.

#include <QLineEdit>

class MaskedEdit : public QLineEdit {
    Q_OBJECT

public:
    enum class CharCase { normal, upper };

    explicit MaskedEdit(QWidget* parent = nullptr);

    // An empty mask makes the field a plain one. The field becomes unfilled.
    void setMask(const QString& mask);
    bool isMasked() const { return !pattern.isEmpty(); }

    // Upper case shows and stores letters in upper case as they are typed; a
    // text already in the field is converted at once.
    void setCharCase(CharCase charCase);
    CharCase charCase() const { return letterCase; }

    // The field's text: what it shows, without the literals when the mask
    // leaves them out, with spaces in unfilled positions.
    QString fieldText() const;

    // Shows the text, laid onto the mask position by position when the field
    // keeps its literals (digits into digit positions, anything else unfills
    // the position), or into the digit positions in order when it does not;
    // the caret goes to the start.
    void setFieldText(const QString& text);

    // Enters the text at the caret as though it were typed, replacing the
    // selection; a masked field passes over what it cannot take.
    void pasteText(const QString& text);

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool isLiteral(int position) const;
    QString unfilled() const;
    QString cased(const QString& text) const;
    QString laidOnMask(const QString& text) const;

    // The caret position after typing character into shown at position, or
    // -1 when the mask refuses it.
    int typeInto(QString& shown, int position, QChar character) const;
    void typeText(const QString& text);
    void unfillSelection(QString& shown) const;
    // Unfills the selection, if there is one, with the caret at its start.
    bool clearSelection();
    void clearBackward();
    void clearForward();
    void cutSelection();

    // Puts shown in place with the caret at caret, and reports a change only
    // then, with the caret already where it belongs.
    void display(const QString& shown, int caret);

    QString pattern;
    bool keepsLiterals = false;
    QChar blank = QLatin1Char(' ');
    CharCase letterCase = CharCase::normal;
    bool showing = false;
};
