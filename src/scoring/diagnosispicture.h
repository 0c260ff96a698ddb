// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The numeric keypad of a diagnosis: each key shaded by how often it was
// wrong when it was the key to press, with that count printed on it. One
// drawing serves the screen, the printed report and the picture file.

#include <QWidget>

#include "scoring/diagnosis.h"

class QPainter;

// Draws the keypad of diagnosis into area.
void drawKeypad(QPainter& painter, const QRectF& area, const scoring::Diagnosis& diagnosis);

// A diagnosis as its page shows it: the words at the top of area, wrapped to
// its width, and below them the keypad of keypad when there is one, at most
// half as wide as area. The screen and the printer both draw it here.
void drawDiagnosis(QPainter& painter, const QRectF& area, const QString& words, const scoring::Diagnosis* keypad);

// drawDiagnosis on screen, over the widget's own background.
class DiagnosisView : public QWidget {
    Q_OBJECT

public:
    explicit DiagnosisView(QWidget* parent = nullptr);
    // Without keypad, the words only.
    void setDiagnosis(const QString& text, const scoring::Diagnosis* keypad);
    const QString& words() const { return shownWords; }
    bool showsKeypad() const { return withKeypad; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString shownWords;
    scoring::Diagnosis diagnosis;
    bool withKeypad = false;
};

class KeypadView : public QWidget {
    Q_OBJECT

public:
    explicit KeypadView(QWidget* parent = nullptr);
    void setDiagnosis(const scoring::Diagnosis& shown);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    scoring::Diagnosis diagnosis;
};
