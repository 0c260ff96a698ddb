// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/help.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include "widgets/helpfile.h"
#include "widgets/helpviewer.h"
#include "widgets/keypresses.h"
#include "widgets/messages.h"

namespace {

constexpr const char* HelpContextProperty = "movaraHelpContext";

QString currentHelpFile;
QPointer<HelpViewer> viewer;

std::optional<HelpFile> readHelpFile()
{
    auto file = HelpFile::load(currentHelpFile);
    if (!file) messages().errorBox(QStringLiteral("The help file %1 cannot be read.").arg(currentHelpFile));
    return file;
}

void present(const HelpFile& file, const HelpTopic& topic)
{
    if (!viewer) {
        viewer = new HelpViewer;
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, viewer.data(), [] { delete viewer.data(); });
    }
    // Over a modal window the viewer must be modal itself, or it could not
    // take any input; over the main window it leaves the program usable.
    const Qt::WindowModality modality = QApplication::activeModalWidget() && QApplication::activeModalWidget() != viewer
                                            ? Qt::ApplicationModal
                                            : Qt::NonModal;
    if (viewer->windowModality() != modality) {
        viewer->hide();
        viewer->setWindowModality(modality);
    }
    viewer->showTopic(file, topic);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

}  // namespace

void setHelpFile(const QString& path)
{
    static KeyPresses* helpKey = nullptr;
    if (!helpKey) helpKey = new KeyPresses(qApp, qApp, [](QObject* receiver, const QKeyEvent& key) {
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (key.key() != Qt::Key_F1 || key.modifiers() != Qt::NoModifier || !widget) return false;
        const int context = helpContextOf(widget);
        if (context == 0) return false;
        showHelpContext(context);
        return true;
    });
    currentHelpFile = path;
}

QString helpFile()
{
    return currentHelpFile;
}

void setHelpContext(QWidget* widget, int context)
{
    widget->setProperty(HelpContextProperty, context);
}

int helpContextOf(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        const int context = widget->property(HelpContextProperty).toInt();
        if (context != 0) return context;
    }
    return 0;
}

void showHelpTopic(const QString& identifier)
{
    const auto file = readHelpFile();
    if (!file) return;
    if (const HelpTopic* topic = file->findTopic(identifier))
        present(*file, *topic);
    else
        messages().errorBox(QStringLiteral("The help file %1 has no topic %2.").arg(currentHelpFile, identifier));
}

void showHelpContext(int context)
{
    const auto file = readHelpFile();
    if (!file) return;
    if (const HelpTopic* topic = file->findContext(context))
        present(*file, *topic);
    else
        messages().errorBox(
            QStringLiteral("The help file %1 has no topic for help context %2.").arg(currentHelpFile).arg(context));
}

HelpViewer* openHelpViewer()
{
    return viewer && viewer->isVisible() ? viewer.data() : nullptr;
}
