#pragma once

// Another copy of the program using a table: the holdtable process holds the
// table open, shared, and with edit also its first row in edit state, until
// the holder is dropped. Its path comes from HOLDTABLE.

#include <string>

#include <QProcess>
#include <QStringList>

namespace testing_support {

class TableHolder {
public:
    enum class Hold { Table, FirstRowInEdit };

    explicit TableHolder(const std::string& path, Hold hold = Hold::Table)
    {
        QStringList arguments{QString::fromStdString(path)};
        if (hold == Hold::FirstRowInEdit) arguments.append(QStringLiteral("edit"));
        process.start(QStringLiteral(HOLDTABLE), arguments);
        ready = process.waitForStarted() && process.waitForReadyRead(10000) &&
                process.readLine().trimmed() == QByteArray("ready");
    }
    ~TableHolder() { stop(); }
    TableHolder(const TableHolder&) = delete;
    TableHolder& operator=(const TableHolder&) = delete;

    void stop()
    {
        if (process.state() == QProcess::NotRunning) return;
        process.closeWriteChannel();
        process.waitForFinished(10000);
    }

    QProcess process;
    bool ready = false;
};

}  // namespace testing_support
