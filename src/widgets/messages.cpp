// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/messages.h"

#include <QApplication>
#include <QMessageBox>

#include "widgets/dialogs.h"

namespace {

// The window a box belongs to: the modal window in front, else the active
// window, else (when another program has the focus) the main window.
QWidget* boxParent()
{
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->inherits("QMainWindow")) return window;
    return nullptr;
}

// A box with a close button and no other title-bar button, centred over the
// window it belongs to once its size is known.
class Box : public QMessageBox {
public:
    Box(Icon icon, const QString& title, const QString& text, StandardButtons buttons, QWidget* parent)
        : QMessageBox(icon, title, text, buttons, parent)
    {
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        // A short text would leave the box too narrow for its own title.
        constexpr int TitleBarButtons = 120;
        const int needed = fontMetrics().horizontalAdvance(windowTitle()) + TitleBarButtons;
        if (width() < needed) setFixedWidth(needed);
        centreWindow(this, parentWidget() ? parentWidget()->window() : nullptr);
    }
};

int showBox(QMessageBox::Icon icon, const QString& title, const QString& text,
            QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
            QMessageBox::StandardButton escapeButton)
{
    Box box(icon, title, text, buttons, boxParent());
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(escapeButton);
    return box.exec();
}

QtMessageService screenService;
MessageService* currentService = &screenService;

}  // namespace

void QtMessageService::errorBox(const QString& text)
{
    showBox(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, QMessageBox::Ok,
            QMessageBox::Ok);
}

bool QtMessageService::confirmBox(const QString& text, ConfirmButtons buttons)
{
    const bool yesNo = buttons != ConfirmButtons::OkCancel;
    const auto accept = yesNo ? QMessageBox::Yes : QMessageBox::Ok;
    const auto refuse = yesNo ? QMessageBox::No : QMessageBox::Cancel;
    const auto byDefault = buttons == ConfirmButtons::YesNoDefaultNo ? refuse : accept;
    return showBox(QMessageBox::Question, QStringLiteral("Confirm"), text, accept | refuse, byDefault, refuse) ==
           accept;
}

void QtMessageService::messageBox(const QString& text)
{
    showBox(QMessageBox::NoIcon, ApplicationTitle, text, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok);
}

void QtMessageService::errorDisplay(const QString& text)
{
    showBox(QMessageBox::Critical, ApplicationTitle, text, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok);
}

MessageService& messages()
{
    return *currentService;
}

void setMessageService(MessageService* service)
{
    currentService = service ? service : &screenService;
}

QString withFullStop(const QString& text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.')) return text + QLatin1Char('.');
    return text;
}

void showErrorDisplay(const QString& errorText)
{
    messages().errorDisplay(withFullStop(errorText));
}
