// libFuzzer target: arbitrary bytes as the text of one inbound frame. Every slot is installed, and
// a frame may call at most one of them.
#include "CountingCallbacks.h"
#include "WebSocketService.h"

#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>

namespace {

WebSocketService *service = nullptr;
int calls = 0;
std::size_t touched = 0;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    service = new WebSocketService;
    installCountingCallbacks(*service, calls, touched);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const int before = calls;
    service->handleMessage(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (calls - before > 1)
        std::abort();
    return 0;
}
