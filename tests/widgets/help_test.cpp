// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>

#include "support/recordingmessages.h"
#include "support/tempdir.h"
#include "widgets/help.h"
#include "widgets/helpfile.h"
#include "widgets/helpviewer.h"

using testing_support::BoxKind;
using testing_support::RecordingMessages;

namespace {

const QString Sample = QStringLiteral(
    "Lines before the first topic belong to none.\n"
    "@topic CONTENTS\n"
    "@title Movara Help\n"
    "# a remark\n"
    "Welcome to the\n"
    "help.\n"
    "\n"
    "== Tests & more\n"
    "- Take the [[numeric]] test\n"
    "  with the keypad\n"
    "- See [[password|the password]]\n"
    "@topic numeric 3000\n"
    "Key <every> value.\n"
    "@topic password 8000\n"
    "@title Administrator password\n"
    "Body.\n"
    "@topic NUMERIC 4000\n"
    "A second topic of the same name is never found.\n"
    "@topic broken 12x\n"
    "Swallowed.\n");

// The sample as the help file of a fresh folder; returns its path.
QString writeSample(const testing_support::TempDir& folder)
{
    const QString path = QString::fromStdString(folder.file("movara.hlp"));
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(Sample.toUtf8());
    return path;
}

}  // namespace

class HelpTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QApplication::closeAllWindows(); }

    void topicsAreFoundByIdentifierOrContext();
    void firstTopicOfANameWinsAndMalformedTopicsAreUnreachable();
    void bodyBecomesParagraphsHeadingsListsAndLinks();
    void shippedHelpFileHasEveryTopicAndNoDeadLink();
    void helpContextIsTheNearestAncestorsOrNone();
    void viewerShowsTopicByContextAndFollowsLinksAndBack();
    void missingFileOrTopicIsReportedClearly();
    void helpKeyOpensTheFocusedControlsContextOnly();
};

void HelpTest::topicsAreFoundByIdentifierOrContext()
{
    const HelpFile file = HelpFile::parse(Sample);
    QCOMPARE(file.findTopic(QStringLiteral("contents"))->title, QStringLiteral("Movara Help"));
    QCOMPARE(file.findContext(3000)->identifier, QStringLiteral("numeric"));
    QCOMPARE(file.findContext(3000)->title, QStringLiteral("numeric"));
    QCOMPARE(file.findTopic(QStringLiteral("password"))->context, 8000);
    QVERIFY(!file.findContext(0));
    QVERIFY(!file.findContext(5000));
    QVERIFY(!file.findTopic(QStringLiteral("absent")));
}

void HelpTest::firstTopicOfANameWinsAndMalformedTopicsAreUnreachable()
{
    const HelpFile file = HelpFile::parse(Sample);
    QCOMPARE(file.findTopic(QStringLiteral("NUMERIC"))->context, 3000);
    QVERIFY(!file.findContext(4000));
    QVERIFY(!file.findTopic(QStringLiteral("broken")));
    // The malformed topic swallows its body instead of lending it to the topic before.
    QVERIFY(!file.findTopic(QStringLiteral("numeric"))->body.join(' ').contains(QStringLiteral("Swallowed")));
}

void HelpTest::bodyBecomesParagraphsHeadingsListsAndLinks()
{
    const HelpFile file = HelpFile::parse(Sample);
    const QString contents = file.html(*file.findTopic(QStringLiteral("CONTENTS")));
    QVERIFY(contents.contains(QStringLiteral("<p>Welcome to the help.</p>")));
    QVERIFY(!contents.contains(QStringLiteral("remark")));
    QVERIFY(contents.contains(QStringLiteral("<h3>Tests &amp; more</h3>")));
    QVERIFY(contents.contains(
        QStringLiteral("<ul><li>Take the <a href=\"topic:numeric\">numeric</a> test with the keypad</li>"
                       "<li>See <a href=\"topic:password\">the password</a></li></ul>")));
    const QString numeric = file.html(*file.findContext(3000));
    QVERIFY(numeric.contains(QStringLiteral("Key &lt;every&gt; value.")));
}

void HelpTest::shippedHelpFileHasEveryTopicAndNoDeadLink()
{
    const auto file = HelpFile::load(QStringLiteral(MOVARA_HELP_SOURCE));
    QVERIFY(file);
    QVERIFY(file->findTopic(QStringLiteral("CONTENTS")));
    for (const int context : {1000, 3000, 4000, 5000, 7000, 8000}) {
        const HelpTopic* topic = file->findContext(context);
        QVERIFY2(topic, qPrintable(QString::number(context)));
        QVERIFY2(topic->body.join(' ').size() > 400, qPrintable(topic->identifier));
    }
    const QRegularExpression link(QStringLiteral("\\[\\[(\\w+)"));
    for (const HelpTopic& topic : file->topics()) {
        QVERIFY2(topic.reachable, qPrintable(topic.identifier));
        for (auto found = link.globalMatch(topic.body.join('\n')); found.hasNext();) {
            const QString target = found.next().captured(1);
            QVERIFY2(file->findTopic(target), qPrintable(topic.identifier + " -> " + target));
        }
    }
}

void HelpTest::helpContextIsTheNearestAncestorsOrNone()
{
    QWidget window;
    auto* panel = new QWidget(&window);
    auto* field = new QLineEdit(panel);
    setHelpContext(panel, 3000);
    QCOMPARE(helpContextOf(field), 3000);
    QCOMPARE(helpContextOf(&window), 0);
    setHelpContext(&window, 1000);
    QCOMPARE(helpContextOf(field), 3000);
}

void HelpTest::viewerShowsTopicByContextAndFollowsLinksAndBack()
{
    testing_support::TempDir folder;
    const QString path = writeSample(folder);
    setHelpFile(path);

    showHelpContext(3000);
    HelpViewer* viewer = openHelpViewer();
    QVERIFY(viewer);
    QCOMPARE(viewer->topicIdentifier(), QStringLiteral("numeric"));
    QVERIFY(viewer->topicText().contains(QStringLiteral("Key <every> value.")));

    auto* page = viewer->findChild<QTextBrowser*>(QStringLiteral("page"));
    emit page->anchorClicked(QUrl(QStringLiteral("topic:password")));
    QCOMPARE(viewer->topicIdentifier(), QStringLiteral("password"));
    QVERIFY(viewer->windowTitle().contains(QStringLiteral("Administrator password")));
    QVERIFY(QTest::qWaitForWindowActive(viewer));
    QTest::keyClick(viewer, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(viewer->topicIdentifier(), QStringLiteral("numeric"));

    QTest::keyClick(viewer, Qt::Key_Escape);
    QVERIFY(!openHelpViewer());
}

void HelpTest::missingFileOrTopicIsReportedClearly()
{
    RecordingMessages recorder;
    testing_support::TempDir folder;
    const QString path = QString::fromStdString(folder.file("movara.hlp"));
    setHelpFile(path);
    showHelpTopic(QStringLiteral("CONTENTS"));
    QCOMPARE(recorder.texts(BoxKind::Error), QStringList{"The help file " + path + " cannot be read."});

    writeSample(folder);
    recorder.clear();
    showHelpContext(5000);
    showHelpTopic(QStringLiteral("absent"));
    QCOMPARE(recorder.texts(BoxKind::Error),
             (QStringList{"The help file " + path + " has no topic for help context 5000.",
                          "The help file " + path + " has no topic absent."}));
    QVERIFY(!openHelpViewer());
}

void HelpTest::helpKeyOpensTheFocusedControlsContextOnly()
{
    testing_support::TempDir folder;
    const QString path = writeSample(folder);
    setHelpFile(path);

    QWidget window;
    auto* panel = new QWidget(&window);
    auto* helped = new QLineEdit(panel);
    auto* unhelped = new QLineEdit(&window);
    setHelpContext(panel, 8000);
    window.show();

    QTest::keyClick(unhelped, Qt::Key_F1);
    QVERIFY(!openHelpViewer());
    QTest::keyClick(helped, Qt::Key_F1);
    QVERIFY(openHelpViewer());
    QCOMPARE(openHelpViewer()->topicIdentifier(), QStringLiteral("password"));
}

QTEST_MAIN(HelpTest)
#include "help_test.moc"
