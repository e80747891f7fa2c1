// zephlin-server: the companion chat server (REST + WebSocket on one TLS port, SQLite storage).
#include "cli/ServerCommandLine.h"

#include <QCoreApplication>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A broadcast touches every connection's sockets and buffers: thousands of small heap objects spread
// over as many 4 KiB pages, a TLB miss each (on a virtual machine, a nested page walk), which made up
// much of the cost of a delivery on a big site. glibc backs its heap with transparent huge pages when
// its tunable asks for it, and reads tunables only as a process starts: the server starts itself
// again with the tunable set, once. Whoever starts it can still say otherwise (hugetlb=0).
void restartWithHugePages(char *argv[])
{
    constexpr const char *Tunable = "glibc.malloc.hugetlb=1";
    const char *current = std::getenv("GLIBC_TUNABLES");
    if (current && std::strstr(current, "glibc.malloc.hugetlb"))
        return;
    const std::string tunables = current && *current ? std::string(current) + ':' + Tunable : std::string(Tunable);
    setenv("GLIBC_TUNABLES", tunables.c_str(), 1);
    // The binary's own path rather than /proc/self/exe, which would name the process "exe".
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return;
    path[length] = '\0';
    execv(path, argv); // returns only if it failed: the server runs on as it is
}
} // namespace

int main(int argc, char *argv[])
{
    // The database, uploads and keys are the server's alone: folders 0700, files 0600.
    umask(077);
    if (argc > 1 && std::strcmp(argv[1], "serve") == 0)
        restartWithHugePages(argv);
    // Qt's own event loop rather than GLib's, which scans a list of every socket on each change of a
    // socket's write watch: with thousands of connections a broadcast cost time quadratic in them.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zephlin-server"));
    ServerCommandLine commandLine;
    const int code = commandLine.run(app.arguments().mid(1));
    return code >= 0 ? code : app.exec();
}
