#pragma once

// The numeric keypad of a diagnosis: each key shaded by how often it was
// wrong when it was the key to press, with that count printed on it. One
// drawing serves the screen, the printed report and the picture file.

#include <QWidget>

#include "scoring/diagnosis.h"

class QPainter;

// Draws the keypad of diagnosis into area.
void drawKeypad(QPainter& painter, const QRectF& area, const scoring::Diagnosis& diagnosis);

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
