// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/flatbutton.h"

#include <algorithm>

#include <QCursor>
#include <QEvent>
#include <QPainter>
#include <QStyle>

#include "widgets/hints.h"

namespace {

constexpr int Margin = 4;
constexpr int PictureGap = 2;
constexpr int CaptionFlags = Qt::AlignCenter | Qt::TextShowMnemonic;

}  // namespace

FlatButton::FlatButton(QWidget* parent)
    : QAbstractButton(parent), face(palette().color(QPalette::Button)), captionInk(palette().color(QPalette::ButtonText))
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

FlatButton::FlatButton(const QString& caption, QWidget* parent) : FlatButton(parent)
{
    setCaption(caption);
}

void FlatButton::setCaption(const QString& caption)
{
    setText(caption);
    updateGeometry();
}

void FlatButton::setHint(const QString& hint)
{
    ::setHint(this, hint);
}

QString FlatButton::hint() const
{
    return hintOf(this);
}

void FlatButton::setFaceColor(const QColor& color)
{
    face = color;
    update();
}

void FlatButton::setCaptionColor(const QColor& color)
{
    captionInk = color;
    update();
}

void FlatButton::setPicture(const QPixmap& picture)
{
    image = picture;
    updateGeometry();
    update();
}

QSize FlatButton::captionSize() const
{
    if (text().isEmpty()) return {};
    return fontMetrics().boundingRect(QRect(), CaptionFlags, text()).size();
}

QSize FlatButton::sizeHint() const
{
    const QSize caption = captionSize();
    const QSize picture = image.isNull() ? QSize() : image.deviceIndependentSize().toSize();
    const int gap = !caption.isEmpty() && !picture.isEmpty() ? PictureGap : 0;
    const int width = std::max(caption.width(), picture.width()) + 4 * Margin;
    const int height = caption.height() + picture.height() + gap + 2 * Margin;
    return {width, height};
}

QSize FlatButton::minimumSizeHint() const
{
    return sizeHint();
}

QRect FlatButton::captionRect() const
{
    const QRect inner = rect().adjusted(Margin, Margin, -Margin, -Margin);
    const QSize caption = captionSize();
    if (image.isNull()) return inner;
    const QSize picture = image.deviceIndependentSize().toSize();
    const int gap = caption.isEmpty() ? 0 : PictureGap;
    const int top = inner.top() + (inner.height() - picture.height() - gap - caption.height()) / 2;
    return {inner.left(), top + picture.height() + gap, inner.width(), caption.height()};
}

void FlatButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), face);

    if (!image.isNull()) {
        const QSize picture = image.deviceIndependentSize().toSize();
        const QRect caption = captionRect();
        const int top = text().isEmpty() ? (height() - picture.height()) / 2
                                         : caption.top() - PictureGap - picture.height();
        const QPoint corner((width() - picture.width()) / 2, top);
        if (isEnabled()) {
            painter.drawPixmap(corner, image);
        } else {
            painter.setOpacity(0.4);
            painter.drawPixmap(corner, image);
            painter.setOpacity(1.0);
        }
    }

    if (!text().isEmpty()) {
        painter.setPen(isEnabled() ? captionInk : palette().color(QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(captionRect(), CaptionFlags, text());
    }

    paintEdge(painter);
}

void FlatButton::paintEdge(QPainter& painter) const
{
    const QRect edge = rect().adjusted(0, 0, -1, -1);
    const bool sunken = isDown() || isChecked();
    if (sunken || isRaised()) {
        const QColor light = face.lighter(150);
        const QColor dark = face.darker(170);
        painter.setPen(sunken ? dark : light);
        painter.drawLine(edge.topLeft(), edge.topRight());
        painter.drawLine(edge.topLeft(), edge.bottomLeft());
        painter.setPen(sunken ? light : dark);
        painter.drawLine(edge.bottomLeft(), edge.bottomRight());
        painter.drawLine(edge.topRight(), edge.bottomRight());
    }
    if (hasFocus()) {
        QPen dots(captionInk, 1, Qt::DotLine);
        painter.setPen(dots);
        painter.drawRect(edge.adjusted(2, 2, -2, -2));
    }
}

void FlatButton::setHovered(bool over)
{
    if (hovered == over) return;
    hovered = over;
    update();
}

void FlatButton::enterEvent(QEnterEvent* event)
{
    setHovered(true);
    QAbstractButton::enterEvent(event);
}

void FlatButton::leaveEvent(QEvent* event)
{
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

// A modal window takes the pointer's events away, and the leaving that ends
// the raised look may never come: the button drops back when its window
// loses the input and, when the window has it again, is raised only if the
// pointer is still over it.
void FlatButton::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::ActivationChange)
        setHovered(isActiveWindow() && rect().contains(mapFromGlobal(QCursor::pos())));
}
