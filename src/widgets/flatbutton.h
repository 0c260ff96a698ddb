// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A flat push button with a coloured face: an optional picture above a caption
// of one or more lines ('\n' breaks the caption, '&' marks the mnemonic). The
// face shows a thin raised edge while the pointer is over it and a sunken one
// while it is pressed. It reports a click like any push button (clicked()).

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

class FlatButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit FlatButton(QWidget* parent = nullptr);
    FlatButton(const QString& caption, QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    QString caption() const { return text(); }

    // The hint shows in the status bar and as the tooltip.
    void setHint(const QString& hint);
    QString hint() const;

    void setFaceColor(const QColor& color);
    QColor faceColor() const { return face; }
    void setCaptionColor(const QColor& color);
    QColor captionColor() const { return captionInk; }

    void setPicture(const QPixmap& picture);
    QPixmap picture() const { return image; }

    // Whether the face shows its raised edge: the pointer is over the button
    // and its window takes input.
    bool isRaised() const { return hovered && isEnabled(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QRect captionRect() const;
    QSize captionSize() const;
    void paintEdge(class QPainter& painter) const;
    void setHovered(bool over);

    QColor face;
    QColor captionInk;
    QPixmap image;
    bool hovered = false;
};
