// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/umain.h"

#include <array>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "config/programstate.h"
#include "config/udbfuncs.h"
#include "config/ugetname.h"
#include "config/ugetpass.h"
#include "config/uchgpass.h"
#include "generation/uimport.h"
#include "scoring/ucriteria.h"
#include "shell/resultssender.h"
#include "shell/uabout.h"
#include "shell/windowset.h"
#include "widgets/clockpanel.h"
#include "widgets/flatbutton.h"
#include "widgets/help.h"
#include "widgets/hints.h"
#include "widgets/messages.h"
#include "widgets/pictures.h"
#include "widgets/scaling.h"
#include "widgets/text.h"

namespace {

const QColor PaleGreen(192, 220, 192);
const QSize ToolButtonSize(64, 52);

void paintPaleGreen(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, PaleGreen);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace

Tzmain::Tzmain(WindowSet& windows, QWidget* parent) : QMainWindow(parent), windows(windows)
{
    FormCreate();
    buildMenus();
    buildToolbar();
    hintPanel = new QLabel(this);
    hintPanel->setObjectName(QStringLiteral("hintPanel"));
    statusBar()->addWidget(hintPanel, 1);
    statusBar()->setSizeGripEnabled(false);
    setCentralWidget(new QWidget(this));
    paintPaleGreen(this);
    setWindowIcon(programPicture());
}

void Tzmain::FormCreate()
{
    ProgramDir = QCoreApplication::applicationDirPath().toStdString() + '/';
    setHelpFile(QString::fromStdString(ProgramDir) + QStringLiteral("movara.hlp"));
    hints = new HintTracker(this);
    connect(hints, &HintTracker::hintChanged, this, &Tzmain::displayhint);
    setWindowTitle(ApplicationTitle);
}

QAction* Tzmain::addCommand(QMenu* menu, const QString& name, const QString& caption, const QString& hint,
                            void (Tzmain::*handler)())
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    action->setStatusTip(hint);
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void Tzmain::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QMenu* fresh = file->addMenu(QStringLiteral("New"));
    fresh->menuAction()->setStatusTip(QStringLiteral("Create new tests"));
    addCommand(fresh, QStringLiteral("Alphanumeric1"), QStringLiteral("Alphanumeric and alpha"),
               QStringLiteral("Create new alphanumeric and alpha tests"), &Tzmain::Alphanumeric1Click);
    addCommand(fresh, QStringLiteral("numeric1"), QStringLiteral("numeric"), QStringLiteral("Create new numeric test"),
               &Tzmain::numeric1Click);
    QMenu* import = file->addMenu(QStringLiteral("Import"));
    import->menuAction()->setStatusTip(QStringLiteral("Import an employer's own test data"));
    addCommand(import, QStringLiteral("Importnumeric1"), QStringLiteral("Numeric test from CSV..."),
               QStringLiteral("Import the numbers of the numeric test from a CSV file"), &Tzmain::Importnumeric1Click);
    addCommand(import, QStringLiteral("Importinvoices1"), QStringLiteral("Invoice data from CSV..."),
               QStringLiteral("Import the names, streets and cities of the alphanumeric and alpha tests from a CSV file"),
               &Tzmain::Importinvoices1Click);
    addCommand(import, QStringLiteral("Restoreinvoices1"), QStringLiteral("Restore the shipped invoice data"),
               QStringLiteral("Put back the names, streets and cities Movara shipped with"),
               &Tzmain::Restoreinvoices1Click);
    addCommand(file, QStringLiteral("Results1"), QStringLiteral("Results"), QStringLiteral("View/print test results"),
               &Tzmain::resultsbtnClick);
    addCommand(file, QStringLiteral("Exit1"), QStringLiteral("Exit"), QStringLiteral("Exit program"),
               &Tzmain::Exit1Click);

    QMenu* tests = menuBar()->addMenu(QStringLiteral("&Tests"));
    QMenu* alphanumeric = tests->addMenu(QStringLiteral("Alphanumeric"));
    alphanumeric->menuAction()->setStatusTip(QStringLiteral("Alphanumeric tests"));
    addCommand(alphanumeric, QStringLiteral("Real1"), QStringLiteral("Real"),
               QStringLiteral("Take real mode alphanumeric test"), &Tzmain::Real1Click);
    addCommand(alphanumeric, QStringLiteral("Practise1"), QStringLiteral("Practice"),
               QStringLiteral("Take practice mode alphanumeric test"), &Tzmain::Practise1Click);
    QMenu* numeric = tests->addMenu(QStringLiteral("Numeric"));
    addCommand(numeric, QStringLiteral("Real2"), QStringLiteral("Real"), QStringLiteral("Take real mode numeric test"),
               &Tzmain::Real2Click);
    addCommand(numeric, QStringLiteral("Practice1"), QStringLiteral("Practice"),
               QStringLiteral("Take practice mode numeric test"), &Tzmain::Practice1Click);
    QMenu* alpha = tests->addMenu(QStringLiteral("Alpha"));
    addCommand(alpha, QStringLiteral("Realmode1"), QStringLiteral("Real"), QStringLiteral("Take real mode alpha test"),
               &Tzmain::Realmode1Click);
    addCommand(alpha, QStringLiteral("Practice2"), QStringLiteral("Practice"),
               QStringLiteral("Take practice mode alpha test"), &Tzmain::Practice2Click);

    QMenu* admin = menuBar()->addMenu(QStringLiteral("&Admin"));
    addCommand(admin, QStringLiteral("Password1"), QStringLiteral("Password"),
               QStringLiteral("Change/set admin password"), &Tzmain::Password1Click);
    addCommand(admin, QStringLiteral("Settings1"), QStringLiteral("Settings"),
               QStringLiteral("View/change program settings"), &Tzmain::Settings1Click);
    addCommand(admin, QStringLiteral("Criteria1"), QStringLiteral("Pass criteria..."),
               QStringLiteral("Set the net KPH and accuracy a test must reach to pass"), &Tzmain::Criteria1Click);
    new ResultsSender(admin, statusBar(), [this] { return getpassword(); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    addCommand(help, QStringLiteral("Contents1"), QStringLiteral("Contents"), QStringLiteral("Program help"),
               &Tzmain::Contents1Click)
        ->setShortcut(QKeySequence(Qt::Key_F1));
    help->addSeparator();
    addCommand(help, QStringLiteral("About1"), QStringLiteral("About"), QStringLiteral("Show program version and status"),
               &Tzmain::About1Click);
}

FlatButton* Tzmain::addToolButton(const QString& name, const QString& hint, void (Tzmain::*handler)())
{
    auto* button = new FlatButton(this);
    button->setObjectName(name);
    button->setHint(hint);
    button->setFaceColor(PaleGreen);
    button->setCaptionColor(Qt::black);
    // Never smaller than designed, larger when a bigger desktop font needs it.
    button->setMinimumSize(ToolButtonSize);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // The menus carry every command to the keyboard; the toolbar is for the
    // pointer and keeps the focus out of the way.
    button->setFocusPolicy(Qt::NoFocus);
    QFont letters = button->font();
    letters.setBold(true);
    letters.setItalic(true);
    letters.setPointSizeF(letters.pointSizeF() * 1.6);
    button->setFont(letters);
    connect(button, &FlatButton::clicked, this, handler);
    return button;
}

void Tzmain::buildToolbar()
{
    QToolBar* toolbar = addToolBar(QStringLiteral("Commands"));
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setVisible(false);
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    toolbar->setStyleSheet(QStringLiteral("QToolBar { background: rgb(192, 220, 192); border: none; spacing: 2px; }"));

    FlatButton* exitbtn = addToolButton(QStringLiteral("exitbtn"), QStringLiteral("Exit the program"),
                                        &Tzmain::exitbtnClick);
    exitbtn->setPicture(exitPicture());
    // A picture says nothing to a screen reader: these buttons are named.
    exitbtn->setAccessibleName(QStringLiteral("Exit"));
    FlatButton* numericbtn = addToolButton(QStringLiteral("numericbtn"), QStringLiteral("Take real mode numeric test"),
                                           &Tzmain::Real2Click);
    numericbtn->setCaption(QStringLiteral("N"));
    FlatButton* alphanumericbtn = addToolButton(
        QStringLiteral("alphanumericbtn"), QStringLiteral("Take real mode alphanumeric test"), &Tzmain::Real1Click);
    alphanumericbtn->setCaption(QStringLiteral("AN"));
    FlatButton* alphabtn = addToolButton(QStringLiteral("alphabtn"), QStringLiteral("Take real mode alpha test"),
                                         &Tzmain::Realmode1Click);
    alphabtn->setCaption(QStringLiteral("A"));
    FlatButton* settingsbtn = addToolButton(
        QStringLiteral("settingsbtn"), QStringLiteral("View/change program settings"), &Tzmain::Settings1Click);
    settingsbtn->setCaption(QStringLiteral("Set"));
    FlatButton* resultsbtn = addToolButton(QStringLiteral("resultsbtn"), QStringLiteral("View/print results"),
                                           &Tzmain::resultsbtnClick);
    resultsbtn->setPicture(resultsPicture());
    resultsbtn->setAccessibleName(QStringLiteral("Results"));
    FlatButton* helpbtn = addToolButton(QStringLiteral("helpbtn"), QStringLiteral("Help contents"),
                                        &Tzmain::Contents1Click);
    helpbtn->setPicture(helpPicture());
    helpbtn->setAccessibleName(QStringLiteral("Help"));

    for (FlatButton* button : {exitbtn, numericbtn, alphanumericbtn, alphabtn, settingsbtn, resultsbtn, helpbtn})
        toolbar->addWidget(button);

    auto* spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    clock = new ClockPanel(toolbar);
    clock->setObjectName(QStringLiteral("clock"));
    toolbar->addWidget(clock);
}

void Tzmain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownOnce) return;
    shownOnce = true;
    FormShow();
}

void Tzmain::FormShow()
{
    windows.dbfuncs->getconfig();

    // Setting the boxes here runs none of the results window's own reactions
    // to a change; the index name takes effect when that window opens.
    ResultsSelection& results = windows.resultsSelection;
    if (Settings.sort >= 0 && Settings.sort < ResultsSelection::SortItems.size()) results.sortIndex = Settings.sort;
    results.filterIndex = 0;
    results.indexName = results.sortText();

    scaleTestWindows();
}

std::array<WindowSlot*, 3> Tzmain::testWindows() const
{
    return {&windows.numerictestform, &windows.alphanumerictestform, &windows.alphatestform};
}

void Tzmain::scaleTestWindows()
{
    for (WindowSlot* test : testWindows()) scaleWindow(test->window(), scalePercent(Settings.scalefactor));
}

void Tzmain::closeEvent(QCloseEvent* event)
{
    FormClose();
    QMainWindow::closeEvent(event);
}

void Tzmain::FormClose()
{
    if (Settings.remembername) windows.dbfuncs->savename();
}

bool Tzmain::getpassword()
{
    if (trimBlanks(Settings.password).isEmpty()) return true;
    windows.getpasswordForm->exec();
    return PasswordAccepted;
}

void Tzmain::displayhint(const QString& hint)
{
    hintPanel->setText(hint);
}

void Tzmain::openGated(WindowSlot& window)
{
    if (getpassword()) window.exec();
}

void Tzmain::openTest(WindowSlot& window, bool realMode, bool askName)
{
    RealMode = realMode;
    if (askName && windows.getnameform->exec() != QDialog::Accepted) return;
    window.exec();
}

void Tzmain::Alphanumeric1Click()
{
    openGated(windows.rewritean);
}

void Tzmain::numeric1Click()
{
    openGated(windows.newnumerictestform);
}

void Tzmain::Importnumeric1Click()
{
    if (getpassword()) importFromCsv(ImportKind::Numeric, this);
}

void Tzmain::Importinvoices1Click()
{
    if (getpassword()) importFromCsv(ImportKind::Invoices, this);
}

void Tzmain::Restoreinvoices1Click()
{
    if (getpassword()) restoreShippedInvoices(this);
}

void Tzmain::resultsbtnClick()
{
    openGated(windows.resultsForm);
}

void Tzmain::Exit1Click()
{
    close();
}

void Tzmain::exitbtnClick()
{
    close();
}

void Tzmain::Real1Click()
{
    openTest(windows.alphanumerictestform, true, true);
}

void Tzmain::Practise1Click()
{
    openTest(windows.alphanumerictestform, false, false);
}

void Tzmain::Real2Click()
{
    openTest(windows.numerictestform, true, true);
}

void Tzmain::Practice1Click()
{
    openTest(windows.numerictestform, false, false);
}

void Tzmain::Realmode1Click()
{
    openTest(windows.alphatestform, true, true);
}

void Tzmain::Practice2Click()
{
    openTest(windows.alphatestform, false, true);
}

void Tzmain::Password1Click()
{
    if (getpassword()) windows.passwordchangeform->exec();
}

void Tzmain::Settings1Click()
{
    const int scalefactor = Settings.scalefactor;
    if (!getpassword()) return;
    windows.settingsform.exec();
    if (Settings.scalefactor == scalefactor) return;
    // Each test window is built again from its designed size, so the scale
    // never compounds across changes.
    for (WindowSlot* test : testWindows()) test->build();
    scaleTestWindows();
}

void Tzmain::Criteria1Click()
{
    if (!getpassword()) return;
    TcriteriaForm form(this);
    form.exec();
}

void Tzmain::Contents1Click()
{
    showHelpTopic(QStringLiteral("CONTENTS"));
}

void Tzmain::About1Click()
{
    windows.aboutform->exec();
}
