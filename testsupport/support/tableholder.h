// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Another copy of the program using a table: the holdtable process (whose path
// the test target defines as HOLDTABLE) holds the table open, shared or for
// exclusive use, or shared with its first row in edit state, until the holder
// is stopped or dropped.

#include <string>

#include <QProcess>
#include <QStringList>

namespace testing_support {

class TableHolder {
public:
    enum class Hold { Table, ExclusiveTable, FirstRowInEdit };

    explicit TableHolder(const std::string& path, bool exclusive = false)
        : TableHolder(path, exclusive ? Hold::ExclusiveTable : Hold::Table)
    {
    }

    TableHolder(const std::string& path, Hold hold)
    {
        QStringList arguments{QString::fromStdString(path)};
        if (hold == Hold::ExclusiveTable) arguments.append(QStringLiteral("exclusive"));
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
