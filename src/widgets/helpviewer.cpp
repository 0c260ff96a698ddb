// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/helpviewer.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "widgets/messages.h"
#include "widgets/pictures.h"

namespace {

const QString LinkScheme = QStringLiteral("topic");
const QString ContentsTopic = QStringLiteral("CONTENTS");

// The viewer's name, followed by the topic's title unless that title is the
// viewer's name already (as the contents topic's is).
QString helpTitle(const QString& topicTitle)
{
    const QString viewerName = ApplicationTitle + QStringLiteral(" Help");
    if (topicTitle.isEmpty() || topicTitle.compare(viewerName, Qt::CaseInsensitive) == 0) return viewerName;
    return viewerName + QStringLiteral(" - ") + topicTitle;
}

}  // namespace

HelpViewer::HelpViewer(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      page(new QTextBrowser(this)),
      contentsButton(new QPushButton(QStringLiteral("&Contents"), this)),
      backButton(new QPushButton(QStringLiteral("&Back"), this))
{
    setWindowIcon(helpPicture());
    // Help never keeps the program running after its main window closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    page->setOpenLinks(false);
    page->setObjectName(QStringLiteral("page"));
    page->setAccessibleName(QStringLiteral("Help topic"));
    page->setAccessibleDescription(QStringLiteral("The text of the help topic; its links lead to other topics"));
    contentsButton->setAccessibleDescription(QStringLiteral("Show the contents of the help"));
    backButton->setAccessibleDescription(QStringLiteral("Go back to the topic shown before"));
    connect(page, &QTextBrowser::anchorClicked, this, &HelpViewer::followLink);

    auto* closeButton = new QPushButton(QStringLiteral("C&lose"), this);
    closeButton->setAccessibleDescription(QStringLiteral("Close the help"));
    connect(contentsButton, &QPushButton::clicked, this, &HelpViewer::showContents);
    connect(backButton, &QPushButton::clicked, this, &HelpViewer::goBack);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), this), &QShortcut::activated, this,
            &HelpViewer::goBack);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contentsButton);
    buttons->addWidget(backButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(page);
    resize(640, 560);
}

void HelpViewer::showTopic(const HelpFile& helpFile, const HelpTopic& topic)
{
    file = helpFile;
    history.clear();
    current.clear();
    display(topic.identifier);
}

QString HelpViewer::topicText() const
{
    return page->toPlainText();
}

void HelpViewer::display(const QString& identifier)
{
    const HelpTopic* topic = file.findTopic(identifier);
    if (!topic) {
        messages().errorBox(QStringLiteral("The help file has no topic %1.").arg(identifier));
        return;
    }
    if (!current.isEmpty() && current != topic->identifier) history.append(current);
    current = topic->identifier;
    setWindowTitle(helpTitle(topic->title));
    page->setHtml(file.html(*topic));
    backButton->setEnabled(!history.isEmpty());
    contentsButton->setEnabled(file.findTopic(ContentsTopic) != nullptr);
}

void HelpViewer::followLink(const QUrl& link)
{
    if (link.scheme() == LinkScheme) display(link.path());
}

void HelpViewer::goBack()
{
    if (history.isEmpty()) return;
    const QString previous = history.takeLast();
    current.clear();
    display(previous);
}

void HelpViewer::showContents()
{
    display(ContentsTopic);
}
