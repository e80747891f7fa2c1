#pragma once
// Runs a piece of code with standard output sent to a file and returns what it printed.
// Only that code runs redirected: QtTest's own lines (a FAIL among them) still reach the console.
#include <QFile>
#include <QTemporaryFile>
#include <cstdio>
#include <unistd.h>

template <typename Code>
QString capturedStdout(Code &&code)
{
    QTemporaryFile file;
    if (!file.open())
        return QStringLiteral("<stdout capture failed>");
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(file.handle(), STDOUT_FILENO);
    code();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    QFile written(file.fileName());
    written.open(QIODevice::ReadOnly);
    return QString::fromUtf8(written.readAll());
}
