// SPDX-License-Identifier: GPL-3.0-or-later
#include <stdexcept>

#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "shell/application.h"
#include "store/storeerror.h"
#include "support/modal.h"
#include "support/recordingmessages.h"

using testing_support::BoxKind;
using testing_support::RecordingMessages;

namespace {

// A button whose click fails the way a table operation fails.
QPushButton* failingButton(QWidget* parent, const char* message)
{
    auto* button = new QPushButton(QStringLiteral("Fail"), parent);
    QObject::connect(button, &QPushButton::clicked, [message] { throw store::StoreError(message); });
    return button;
}

}  // namespace

class ErrorDisplayTest : public QObject {
    Q_OBJECT

private slots:
    void applicationIsTitledMovara();
    void errorEscapingAHandlerIsShownAndTheProgramGoesOn();
    void errorInsideAModalWindowLeavesThatWindowRunning();
};

void ErrorDisplayTest::applicationIsTitledMovara()
{
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Movara"));
}

void ErrorDisplayTest::errorEscapingAHandlerIsShownAndTheProgramGoesOn()
{
    RecordingMessages recorder;
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    QPushButton* letter = failingButton(&window, "configdb: Field 'filter' not found");
    QPushButton* stop = failingButton(&window, "Missing table name.");
    auto* working = new QPushButton(QStringLiteral("Works"), &window);
    int worked = 0;
    connect(working, &QPushButton::clicked, [&worked] { ++worked; });
    layout->addWidget(letter);
    layout->addWidget(stop);
    layout->addWidget(working);
    window.show();

    QTest::mouseClick(letter, Qt::LeftButton);
    QTest::mouseClick(stop, Qt::LeftButton);
    QTest::mouseClick(working, Qt::LeftButton);
    QTest::mouseClick(letter, Qt::LeftButton);

    QCOMPARE(recorder.texts(BoxKind::ErrorDisplay),
             (QStringList{QStringLiteral("configdb: Field 'filter' not found."), QStringLiteral("Missing table name."),
                          QStringLiteral("configdb: Field 'filter' not found.")}));
    QCOMPARE(worked, 1);
    QVERIFY(window.isVisible());
}

void ErrorDisplayTest::errorInsideAModalWindowLeavesThatWindowRunning()
{
    RecordingMessages recorder;
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    QPushButton* failing = failingButton(&dialog, "Dataset not in edit or insert mode");
    layout->addWidget(failing);
    bool stillOpen = false;
    testing_support::whenModalOpens([&](QWidget* modal) {
        QTest::mouseClick(failing, Qt::LeftButton);
        stillOpen = modal->isVisible() && QApplication::activeModalWidget() == modal;
        static_cast<QDialog*>(modal)->reject();
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(stillOpen);
    QCOMPARE(recorder.texts(BoxKind::ErrorDisplay), QStringList{QStringLiteral("Dataset not in edit or insert mode.")});
}

int main(int argc, char* argv[])
{
    Application application(argc, argv);
    ErrorDisplayTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "errordisplay_test.moc"
