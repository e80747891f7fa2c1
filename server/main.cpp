// zephlin-server: the companion chat server (REST + WebSocket on one TLS port, SQLite storage).
#include "ServerCommandLine.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zephlin-server"));
    ServerCommandLine commandLine;
    const int code = commandLine.run(app.arguments().mid(1));
    return code >= 0 ? code : app.exec();
}
