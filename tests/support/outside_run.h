// Runs a program that is not ours (a reader of the files we write) and gives
// its standard output; a failure to start, a time-out or a non-zero exit is a
// test failure with the program's standard error, and gives "".
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace testsupport {

inline QString outsideOutput(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << ": " << p.readAllStandardError().toStdString();
        return QString();
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace testsupport
