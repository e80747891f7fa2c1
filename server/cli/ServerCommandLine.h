#pragma once
// The sub-commands of zephlin-server: serve, user add, user admin and seed-demo.
#include <QStringList>

class ServerCommandLine
{
public:
    // Runs the command named by the arguments (without the program name); returns the exit code, or
    // -1 when `serve` started and the event loop should run.
    int run(const QStringList &arguments);

private:
    int serve(const QStringList &arguments);
    int addUser(const QStringList &arguments);
    int setAdmin(const QStringList &arguments);
    int seedDemo(const QStringList &arguments);
    int usage(const QString &problem = {});
    // The value after `name`, or an empty string.
    static QString option(const QStringList &arguments, const QString &name);
    // Arguments that are neither options nor option values.
    static QStringList positional(const QStringList &arguments, const QStringList &valueOptions);
};
