#pragma once

// Another process holding a table open (the holdtable program, whose path the
// test target defines as HOLDTABLE) until the holder goes out of scope.

#include <string>

#include <QProcess>
#include <QStringList>

namespace testing_support {

class TableHolder {
public:
    explicit TableHolder(const std::string& path, bool exclusive = false)
    {
        QStringList arguments{QString::fromStdString(path)};
        if (exclusive) arguments.append(QStringLiteral("exclusive"));
        process.start(QStringLiteral(HOLDTABLE), arguments);
        ready = process.waitForStarted() && process.waitForReadyRead(10000) &&
                process.readLine().trimmed() == QByteArray("ready");
    }
    ~TableHolder()
    {
        process.closeWriteChannel();
        process.waitForFinished(10000);
    }
    TableHolder(const TableHolder&) = delete;
    TableHolder& operator=(const TableHolder&) = delete;

    QProcess process;
    bool ready = false;
};

}  // namespace testing_support
