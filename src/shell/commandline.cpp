// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/commandline.h"

#include <cstdio>
#include <string>
#include <string_view>

#include <QCoreApplication>
#include <QTimer>

#include "config/programstate.h"
#include "shell/application.h"
#include "shell/umain.h"
#include "shell/windowset.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "widgets/helpfile.h"
#include "widgets/messages.h"

namespace movara {

namespace {

constexpr const char* Usage =
    "Usage: movara [--version | --help | --check]\n"
    "A tester of data-entry skill: numeric (10-key), alpha and alphanumeric tests\n"
    "against a countdown, scored in keystrokes per hour and accuracy.\n"
    "\n"
    "  --version  print the version and exit\n"
    "  --help     print this help and exit\n"
    "  --check    start without showing a window, report whether the help file\n"
    "             and the tables are found in the program's folder, and exit\n"
    "\n"
    "The tables and the help file live in the program's folder. An installed\n"
    "copy runs from a copy of that folder: $MOVARA_FOLDER when set, otherwise\n"
    "$XDG_DATA_HOME/movara (~/.local/share/movara).\n";

// Message boxes of a check go to the report instead of the screen, where no
// one would answer them.
class ReportedMessages : public MessageService {
public:
    explicit ReportedMessages(std::ostream& out) : out(out) {}
    void errorBox(const QString& text) override { report(text); }
    bool confirmBox(const QString& text, ConfirmButtons) override
    {
        report(text);
        return false;
    }
    void messageBox(const QString& text) override { report(text); }
    void errorDisplay(const QString& text) override { report(text); }

    int failures = 0;

private:
    void report(const QString& text)
    {
        ++failures;
        out << "message: " << text.toStdString() << '\n';
    }
    std::ostream& out;
};

bool checkHelpFile(std::ostream& out)
{
    const QString path = QString::fromStdString(ProgramDir) + QStringLiteral("movara.hlp");
    const auto file = HelpFile::load(path);
    const bool found = file && file->findTopic(QStringLiteral("CONTENTS"));
    out << "help file " << path.toStdString() << (found ? ": ok" : ": missing or without contents") << '\n';
    return found;
}

bool checkTable(const char* name, std::ostream& out)
{
    store::StoreTable table("check");
    try {
        table.setTableName(ProgramDir + name);
        table.setActive(true);
        out << "table " << ProgramDir << name << ": ok, " << table.RowCount() << " rows\n";
        table.setActive(false);
        return true;
    } catch (const store::StoreError& error) {
        out << "table " << ProgramDir << name << ": " << error.what() << '\n';
        return false;
    }
}

}  // namespace

Request requestOf(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version") return Request::Version;
        if (argument == "--help" || argument == "-h") return Request::Help;
        if (argument == "--check") return Request::Check;
    }
    return Request::Run;
}

std::optional<int> answerWithoutWindows(Request request, std::ostream& out)
{
    switch (request) {
    case Request::Version:
        out << "Movara " << MOVARA_VERSION << '\n';
        return 0;
    case Request::Help:
        out << Usage;
        return 0;
    default:
        return std::nullopt;
    }
}

// The toolkit's notes on its surroundings (a runtime folder, window hints
// an offscreen platform ignores) are no part of a check's answer; only what
// ends the program still shows.
void fatalOnly(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
}

int checkInstallation(int argc, char** argv, std::ostream& out)
{
    qInstallMessageHandler(fatalOnly);
    // No display is needed for a window never shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    Application application(argc, argv);
    ReportedMessages reported(out);
    setMessageService(&reported);
    int status = 0;
    {
        WindowSet windows;
        buildWindowSet(windows);
        // Showing the main window runs its first show: the configuration is
        // loaded, the test windows scaled.
        windows.zmain->setAttribute(Qt::WA_DontShowOnScreen);
        windows.zmain->show();
        QTimer::singleShot(0, &application, &QCoreApplication::quit);
        QCoreApplication::exec();
        out << "program folder " << ProgramDir << '\n';
        bool found = checkHelpFile(out);
        for (const char* table : {"config.dat", "results.dat", "numeric.dat", "invsort.dat"})
            found = checkTable(table, out) && found;
        if (!found || reported.failures > 0) status = 1;
        windows.zmain->hide();
    }
    setMessageService(nullptr);
    out << (status == 0 ? "check passed" : "check failed") << '\n';
    return status;
}

}  // namespace movara
