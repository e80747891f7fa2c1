// zephlin-server: the companion chat server (REST + WebSocket on one TLS port, SQLite storage).
#include "cli/ServerCommandLine.h"

#include <QCoreApplication>
#include <sys/stat.h>

int main(int argc, char *argv[])
{
    // The database, uploads and keys are the server's alone: folders 0700, files 0600.
    umask(077);
    // Qt's own event loop rather than GLib's, which scans a list of every socket on each change of a
    // socket's write watch: with thousands of connections a broadcast cost time quadratic in them.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zephlin-server"));
    ServerCommandLine commandLine;
    const int code = commandLine.run(app.arguments().mid(1));
    return code >= 0 ? code : app.exec();
}
