// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/diagnosispicture.h"

#include <algorithm>

#include <QFontMetricsF>
#include <QPainter>

namespace {

struct PadKey {
    char32_t key;
    int row;
    int column;
    int width;  // in keys
};

constexpr PadKey PadKeys[] = {
    {U'7', 0, 0, 1}, {U'8', 0, 1, 1}, {U'9', 0, 2, 1}, {U'4', 1, 0, 1}, {U'5', 1, 1, 1}, {U'6', 1, 2, 1},
    {U'1', 2, 0, 1}, {U'2', 2, 1, 1}, {U'3', 2, 2, 1}, {U'0', 3, 0, 2}, {U'.', 3, 2, 1},
};

// A key wrong this often, or more, is shaded fully.
constexpr double FullShadeRate = 0.2;

QColor shadeOf(const scoring::KeyErrors* errors)
{
    if (!errors || errors->expected == 0 || errors->wrong == 0) return Qt::white;
    const double share = std::min(1.0, double(errors->wrong) / errors->expected / FullShadeRate);
    const int fade = int(255 * (1 - share));
    return QColor(255, std::max(fade, 60), std::max(fade, 60));
}

}  // namespace

void drawKeypad(QPainter& painter, const QRectF& area, const scoring::Diagnosis& diagnosis)
{
    const double key = std::min(area.width() / 3, area.height() / 4);
    const double gap = key / 12;
    painter.save();
    for (const PadKey& pad : PadKeys) {
        const auto found = diagnosis.keys.find(pad.key);
        const scoring::KeyErrors* errors = found == diagnosis.keys.end() ? nullptr : &found->second;
        const QRectF face(area.left() + pad.column * key + gap, area.top() + pad.row * key + gap,
                          pad.width * key - 2 * gap, key - 2 * gap);
        painter.setPen(QPen(Qt::black, std::max(1.0, gap / 3)));
        painter.setBrush(shadeOf(errors));
        painter.drawRoundedRect(face, gap, gap);
        QFont font = painter.font();
        font.setPixelSize(std::max(1, int(key / 3)));
        painter.setFont(font);
        painter.drawText(face.adjusted(0, 0, 0, -key / 3), Qt::AlignCenter, QString(QChar(char16_t(pad.key))));
        font.setPixelSize(std::max(1, int(key / 6)));
        painter.setFont(font);
        painter.drawText(face.adjusted(0, key / 2, 0, 0), Qt::AlignCenter,
                         QString::number(errors ? errors->wrong : 0));
    }
    painter.restore();
}

KeypadView::KeypadView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("KeypadView"));
}

void KeypadView::setDiagnosis(const scoring::Diagnosis& shown)
{
    diagnosis = shown;
    update();
}

QSize KeypadView::sizeHint() const { return {240, 320}; }

void KeypadView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Qt::white);
    drawKeypad(painter, QRectF(rect()), diagnosis);
}

void drawDiagnosis(QPainter& painter, const QRectF& area, const QString& words, const scoring::Diagnosis* keypad)
{
    QRectF used;
    painter.drawText(area, Qt::TextWordWrap, words, &used);
    if (!keypad) return;
    const double gap = QFontMetricsF(painter.font(), painter.device()).lineSpacing();
    const QRectF below = area.adjusted(0, used.height() + gap, 0, 0);
    if (below.height() <= 0) return;
    drawKeypad(painter, QRectF(below.topLeft(), QSizeF(below.width() / 2, below.height())), *keypad);
}

DiagnosisView::DiagnosisView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DiagnosisView"));
    setAutoFillBackground(true);
}

void DiagnosisView::setDiagnosis(const QString& text, const scoring::Diagnosis* keypad)
{
    shownWords = text;
    withKeypad = keypad != nullptr;
    diagnosis = keypad ? *keypad : scoring::Diagnosis();
    update();
}

QSize DiagnosisView::sizeHint() const { return {360, 240}; }

void DiagnosisView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(palette().color(QPalette::WindowText));
    constexpr int Margin = 6;
    drawDiagnosis(painter, QRectF(rect()).adjusted(Margin, Margin, -Margin, -Margin), shownWords,
                  withKeypad ? &diagnosis : nullptr);
}
