// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/maskededit.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>

#include "widgets/uppercasevalidator.h"

namespace {

constexpr QChar DigitPosition = QLatin1Char('9');
constexpr int PlainMaxLength = 32767;  // the line edit's own

bool isDigit(QChar character)
{
    return character >= QLatin1Char('0') && character <= QLatin1Char('9');
}

bool isTyped(const QKeyEvent* event)
{
    const QString text = event->text();
    return !text.isEmpty() && text.front().isPrint() &&
           !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
}

}  // namespace

MaskedEdit::MaskedEdit(QWidget* parent) : QLineEdit(parent)
{
    // The user's edits of a plain field arrive here with the caret already
    // moved; the program's own changes go through display() instead.
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!showing) emit changed();
    });
}

void MaskedEdit::setMask(const QString& mask)
{
    const QStringList parts = mask.split(QLatin1Char(';'));
    pattern = parts.value(0);
    keepsLiterals = parts.value(1) != QLatin1String("0");
    blank = parts.value(2).isEmpty() ? QLatin1Char(' ') : parts.value(2).front();
    setMaxLength(isMasked() ? int(pattern.size()) : PlainMaxLength);
    // A drop would put its text in without passing the mask.
    setAcceptDrops(!isMasked());
    display(unfilled(), 0);
}

void MaskedEdit::setCharCase(CharCase charCase)
{
    letterCase = charCase;
    if (letterCase == CharCase::upper)
        setValidator(new UpperCaseValidator(this));
    else
        setValidator(nullptr);
    // A mask takes only digits, which have no case.
    if (!isMasked()) display(cased(QLineEdit::text()), cursorPosition());
}

QString MaskedEdit::fieldText() const
{
    if (!isMasked()) return QLineEdit::text();
    const QString shown = QLineEdit::text();
    QString text;
    for (int position = 0; position < shown.size(); ++position) {
        if (isLiteral(position)) {
            if (keepsLiterals) text += shown[position];
        } else {
            text += shown[position] == blank ? QLatin1Char(' ') : shown[position];
        }
    }
    return text;
}

void MaskedEdit::setFieldText(const QString& text)
{
    display(isMasked() ? laidOnMask(text) : cased(text), 0);
}

void MaskedEdit::pasteText(const QString& text)
{
    if (isMasked())
        typeText(text);
    else
        insert(cased(text));
}

void MaskedEdit::keyPressEvent(QKeyEvent* event)
{
    if (!isMasked() || isReadOnly()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (event == QKeySequence::Paste) {
        pasteText(QGuiApplication::clipboard()->text());
    } else if (event == QKeySequence::Cut) {
        cutSelection();
    } else if (event == QKeySequence::Undo || event == QKeySequence::Redo) {
        // Nothing to undo: every masked edit replaces the whole text.
    } else if (event->key() == Qt::Key_Backspace) {
        clearBackward();
    } else if (event->key() == Qt::Key_Delete) {
        clearForward();
    } else if (isTyped(event)) {
        typeText(event->text());
    } else {
        // Caret movement, selection, copying, Enter: the line edit's own, as
        // long as the text stays as the mask made it.
        const QString before = QLineEdit::text();
        showing = true;
        QLineEdit::keyPressEvent(event);
        if (QLineEdit::text() != before) {
            const int caret = cursorPosition();
            QLineEdit::setText(before);
            setCursorPosition(caret);
        }
        showing = false;
    }
}

void MaskedEdit::inputMethodEvent(QInputMethodEvent* event)
{
    if (!isMasked()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    if (!event->commitString().isEmpty()) typeText(event->commitString());
    event->accept();
}

void MaskedEdit::focusInEvent(QFocusEvent* event)
{
    const int caret = cursorPosition();
    QLineEdit::focusInEvent(event);
    deselect();
    setCursorPosition(caret);
}

void MaskedEdit::mouseReleaseEvent(QMouseEvent* event)
{
    // The middle button pastes the selection clipboard, past the mask.
    if (isMasked() && event->button() == Qt::MiddleButton) {
        if (!isReadOnly() && QGuiApplication::clipboard()->supportsSelection())
            pasteText(QGuiApplication::clipboard()->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void MaskedEdit::contextMenuEvent(QContextMenuEvent* event)
{
    if (!isMasked()) {
        QLineEdit::contextMenuEvent(event);
        return;
    }
    // The line edit's own menu would edit past the mask.
    QMenu menu(this);
    const bool editable = !isReadOnly();
    menu.addAction(tr("Cu&t"), this, &MaskedEdit::cutSelection)->setEnabled(editable && hasSelectedText());
    menu.addAction(tr("&Copy"), this, &QLineEdit::copy)->setEnabled(hasSelectedText());
    menu.addAction(tr("&Paste"), this, [this] { pasteText(QGuiApplication::clipboard()->text()); })
        ->setEnabled(editable && !QGuiApplication::clipboard()->text().isEmpty());
    menu.addAction(tr("Delete"), this, &MaskedEdit::clearForward)->setEnabled(editable && hasSelectedText());
    menu.addSeparator();
    menu.addAction(tr("Select All"), this, &QLineEdit::selectAll)->setEnabled(!QLineEdit::text().isEmpty());
    menu.exec(event->globalPos());
}

bool MaskedEdit::isLiteral(int position) const
{
    return pattern[position] != DigitPosition;
}

QString MaskedEdit::unfilled() const
{
    QString shown = pattern;
    for (int position = 0; position < shown.size(); ++position)
        if (!isLiteral(position)) shown[position] = blank;
    return shown;
}

QString MaskedEdit::cased(const QString& text) const
{
    return letterCase == CharCase::upper ? text.toUpper() : text;
}

QString MaskedEdit::laidOnMask(const QString& text) const
{
    QString shown = unfilled();
    if (keepsLiterals) {
        for (int position = 0; position < shown.size() && position < text.size(); ++position)
            if (!isLiteral(position) && isDigit(text[position])) shown[position] = text[position];
        return shown;
    }
    int position = 0;
    for (QChar character : text) {
        while (position < shown.size() && isLiteral(position)) ++position;
        if (position == shown.size()) break;
        if (isDigit(character)) shown[position] = character;
        ++position;
    }
    return shown;
}

int MaskedEdit::typeInto(QString& shown, int position, QChar character) const
{
    const int length = int(pattern.size());
    const auto pastLiterals = [this, length](int from) {
        while (from < length && isLiteral(from)) ++from;
        return from;
    };
    if (isDigit(character)) {
        const int target = pastLiterals(position);
        if (target == length) return -1;
        shown[target] = character;
        return pastLiterals(target + 1);
    }
    // The literal the caret has just stepped over is taken as typed, so that
    // "03/15/99" goes into a date field keyed or pasted whole.
    if (position > 0 && isLiteral(position - 1) && pattern[position - 1] == character) return position;
    for (int target = position; target < length; ++target)
        if (isLiteral(target) && pattern[target] == character) return pastLiterals(target + 1);
    return -1;
}

void MaskedEdit::typeText(const QString& text)
{
    QString shown = QLineEdit::text();
    int caret = cursorPosition();
    const bool replacing = hasSelectedText();
    if (replacing) {
        caret = selectionStart();
        unfillSelection(shown);
    }
    bool taken = false;
    for (QChar character : cased(text)) {
        const int next = typeInto(shown, caret, character);
        if (next < 0) continue;
        caret = next;
        taken = true;
    }
    if (taken) display(shown, caret);
}

void MaskedEdit::unfillSelection(QString& shown) const
{
    for (int position = selectionStart(); position < selectionEnd(); ++position)
        if (!isLiteral(position)) shown[position] = blank;
}

bool MaskedEdit::clearSelection()
{
    if (!hasSelectedText()) return false;
    QString shown = QLineEdit::text();
    const int caret = selectionStart();
    unfillSelection(shown);
    display(shown, caret);
    return true;
}

void MaskedEdit::clearBackward()
{
    if (clearSelection()) return;
    QString shown = QLineEdit::text();
    int position = cursorPosition() - 1;
    while (position >= 0 && isLiteral(position)) --position;
    if (position < 0) return;
    shown[position] = blank;
    display(shown, position);
}

void MaskedEdit::clearForward()
{
    if (clearSelection()) return;
    QString shown = QLineEdit::text();
    const int length = int(pattern.size());
    int position = cursorPosition();
    while (position < length && isLiteral(position)) ++position;
    if (position == length) return;
    shown[position] = blank;
    // Nothing closes up behind an unfilled position, so the caret moves on
    // to the next one, as though the text had.
    ++position;
    while (position < length && isLiteral(position)) ++position;
    display(shown, position);
}

void MaskedEdit::cutSelection()
{
    if (!hasSelectedText()) return;
    copy();
    clearForward();
}

void MaskedEdit::display(const QString& shown, int caret)
{
    const bool changing = shown != QLineEdit::text();
    showing = true;
    QLineEdit::setText(shown);
    setCursorPosition(caret);
    showing = false;
    if (changing) emit changed();
}
