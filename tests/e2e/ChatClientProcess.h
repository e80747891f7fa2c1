#pragma once
// The test's handle on one zephlin-e2e-client process (see ChatClientMain.cpp): started with its own
// settings, keychain and cache folders under `home`, so starting it again after kill() is a restart
// of the app with what it had saved.
#include <QJsonObject>
#include <QProcess>
#include <QString>

class ChatClientProcess
{
public:
    explicit ChatClientProcess(const QString &home);
    ~ChatClientProcess();

    bool start(const QString &serverURL, const QString &caFile);
    // Sends one command and waits for its answer; empty when none comes.
    QJsonObject command(const QJsonObject &command, int timeoutMs = 30000);
    QJsonObject state() { return command({{QStringLiteral("cmd"), QStringLiteral("state")}}); }
    // Ends the process at once (SIGKILL), as a crash would.
    void kill();

private:
    QString m_home;
    QProcess m_process;
    QByteArray m_buffer;
};
