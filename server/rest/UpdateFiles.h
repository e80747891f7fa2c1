#pragma once
// The update server's files: "version.json" and the packages an operator drops into one folder,
// served under "/downloads/zephlin/<name>". Only plain file names of that folder are reachable.
#include <QByteArray>
#include <QString>

class UpdateFiles
{
public:
    explicit UpdateFiles(const QString &directory) : m_directory(directory) {}

    struct File
    {
        QByteArray bytes;
        QByteArray contentType;
        bool found = false;
    };
    File read(const QString &name) const;

private:
    QString m_directory;
};
