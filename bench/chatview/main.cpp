// The chat screen over a room of 5,000 messages, offscreen: opening it until the first frame shows
// the last message, against a bare ListView of plain Text rows over the same strings in the same
// run; the resident memory the open room adds; and the main thread's time per live message.
// Offscreen it runs the software scene graph, which paints on the main thread; the threaded render
// loop of a desktop with a GPU runs on a virtual display with Mesa's software OpenGL:
//   xvfb-run -a env QT_QPA_PLATFORM=xcb QSG_RENDER_LOOP=threaded build/bench/chatview/bench_chatview
#include "AppState.h"
#include "BenchStats.h"
#include "ChatViewModel.h"
#include "QuietStdout.h"
#include "SettingsStore.h"
#include "WebSocketService.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QEventLoop>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>
#include <atomic>
#include <ctime>
#include <pthread.h>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(Zephlin_AppPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ChatPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ImagesPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_UpdatePlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ScreensPlugin)

namespace {

constexpr int roomMessages = 5000;
constexpr int liveMessages = 1000;
constexpr int runs = 9;

QString content(int i)
{
    static const QStringList texts = {
        QStringLiteral("好"),
        QStringLiteral("周六去香山，早上八点集合，记得带水"),
        QStringLiteral("@小明 你看到我发的路线了吗？"),
        QStringLiteral("这是一条比较长的消息，用来看看换行的样子：今天的天气不错，我们下午去散步吧，顺便买点水果回来，晚上一起做饭。"),
        QStringLiteral("ok 👍"),
    };
    return texts.at(i % texts.size()) + QStringLiteral(" #%1").arg(i);
}

QJsonObject message(int i, const QString &gid)
{
    QJsonObject m{{QStringLiteral("id"), QStringLiteral("m%1").arg(i)},
                  {QStringLiteral("from"), i % 3 ? QStringLiteral("u%1").arg(i % 7) : QStringLiteral("me")},
                  {QStringLiteral("fromName"), QStringLiteral("用户%1").arg(i % 7)},
                  {QStringLiteral("content"), content(i)},
                  {QStringLiteral("gid"), gid},
                  {QStringLiteral("time"), double(1'700'000'000'000 + i)}};
    if (i % 10 == 0) {
        QJsonArray images;
        for (int p = 0; p <= (i / 10) % 4; ++p)
            images.append(QStringLiteral("/uploads/%1-%2.jpg").arg(i).arg(p));
        m.insert(QStringLiteral("images"), images);
    }
    return m;
}

double residentMB()
{
    long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Shows the item in the window and waits for the first frame in which its list is at its end.
double openUntilLastShown(QQuickWindow &window, QQmlComponent &component, const QVariantMap &properties,
                          QQuickItem **created)
{
    QElapsedTimer timer;
    timer.start();
    auto *item = qobject_cast<QQuickItem *>(component.createWithInitialProperties(properties));
    if (!item) {
        qWarning() << component.errors();
        return -1;
    }
    item->setParentItem(window.contentItem());
    item->setSize(window.size());
    QObject *list = item->property("messageList").value<QObject *>();
    bool shown = false;
    const auto connection = QObject::connect(&window, &QQuickWindow::frameSwapped, [&] {
        shown = list && list->property("count").toInt() > 0 && list->property("atYEnd").toBool();
    });
    window.update();
    while (!shown && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QObject::disconnect(connection);
    *created = item;
    return timer.nsecsElapsed() / 1e6;
}

double cpuMs(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

void report(const char *what, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    std::printf("%s: median %.3f ms, p99 %.3f ms (%d messages)\n", what, values[values.size() / 2],
                values[size_t(values.size() * 0.99)], liveMessages);
}

// Live messages into the open room: the main thread's time from the frame's arrival until the frame
// that shows it is on screen, split into applying it (decoding, the store, the model's insert and
// the list's reaction), polishing (laying out the list, making the new row's delegate), the scene
// graph's sync and, where the render loop paints on the main thread, painting. With the threaded
// loop the main thread waits while the render thread syncs, so the sync counts as its time too.
void measureLiveMessages(QQuickWindow &window, WebSocketService &ws, const QString &gid)
{
    // The main thread's CPU clock, read from the render thread too.
    clockid_t mainClock{};
    pthread_getcpuclockid(pthread_self(), &mainClock);
    std::vector<double> live, applying, polishing, syncing, painting, rest;
    std::atomic<bool> swapped = false, threaded = false;
    // Waits blocked, as the application's event loop does: spinning on processEvents would add
    // the spinning to the main thread's time.
    QEventLoop frameShown;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &frameShown, &QEventLoop::quit);
    double polished = 0, syncStart = 0, syncEnd = 0, end = 0;
    QObject::connect(&window, &QQuickWindow::afterAnimating, [&] { polished = cpuMs(mainClock); });
    QObject::connect(&window, &QQuickWindow::beforeSynchronizing, &window,
                     [&] { syncStart = cpuMs(CLOCK_THREAD_CPUTIME_ID); }, Qt::DirectConnection);
    QObject::connect(&window, &QQuickWindow::afterSynchronizing, &window, [&] {
        syncEnd = cpuMs(CLOCK_THREAD_CPUTIME_ID);
        threaded = QThread::currentThread() != qApp->thread();
    }, Qt::DirectConnection);
    QObject::connect(&window, &QQuickWindow::frameSwapped, &window, [&] {
        end = cpuMs(mainClock);
        swapped = true;
        QMetaObject::invokeMethod(&frameShown, &QEventLoop::quit, Qt::QueuedConnection);
    }, Qt::DirectConnection);
    double whole = 0;
    {
        bench::QuietStdout quiet;
        const double first = cpuMs(mainClock);
        for (int i = 0; i < liveMessages; ++i) {
            QJsonObject frame = message(roomMessages + i, gid);
            frame.insert(QStringLiteral("type"), QStringLiteral("group"));
            const QString text = QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact));
            swapped = false;
            const double start = cpuMs(mainClock);
            ws.handleMessage(text);
            // The work it queued for the end of this event-loop turn (the cache's save point).
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
            const double applied = cpuMs(mainClock);
            window.update();
            timeout.start(1000);
            while (!swapped && timeout.isActive())
                frameShown.exec();
            const double sync = syncEnd - syncStart;
            live.push_back(end - start + (threaded ? sync : 0));
            applying.push_back(applied - start);
            polishing.push_back(polished - applied);
            syncing.push_back(sync);
            painting.push_back(threaded ? 0 : end - syncEnd);
            rest.push_back(live.back() - applying.back() - polishing.back() - sync - painting.back());
        }
        // Every frame counted, also one that follows a message's first frame.
        QCoreApplication::processEvents();
        whole = (cpuMs(mainClock) - first) / liveMessages;
    }
    std::printf("render loop: %s\n", threaded ? "threaded (painting on the render thread)" : "painting on the main thread");
    report("main-thread time per live message", live);
    report("  of which applying it", applying);
    report("  of which polishing (layout, new delegates)", polishing);
    report("  of which syncing the scene graph", syncing);
    report("  of which painting on the main thread", painting);
    report("  of which the rest (the event loop, between the steps)", rest);
    std::printf("main-thread time per live message, mean over the whole run: %.3f ms%s\n", whole,
                threaded ? " (without the sync, on the render thread)" : "");
}

} // namespace

int main(int argc, char *argv[])
{
    // Offscreen (the software scene graph, painting on the main thread) unless a platform is given,
    // e.g. xcb on a virtual display with QSG_RENDER_LOOP=threaded, the render loop desktops run.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    SettingsStore::shared().setLocation(dir.path());
    SettingsStore::shared().setString(QStringLiteral("zp_current_uid"), QStringLiteral("me"));
    SettingsStore::shared().setString(QStringLiteral("zp_server_url"), QStringLiteral("https://127.0.0.1:9"));

    WebSocketService ws;
    ChatServices services;
    services.ws = &ws;
    ChatViewModel chat(services);
    AppState appState;

    const QString gid = QStringLiteral("g1");
    QJsonArray history;
    QStringList texts;
    for (int i = 0; i < roomMessages; ++i) {
        history.append(message(i, gid));
        texts.append(content(i));
    }
    const QJsonObject hello{{QStringLiteral("type"), QStringLiteral("hello")},
                            {QStringLiteral("groups"), QJsonArray{QJsonObject{{QStringLiteral("id"), gid},
                                                                              {QStringLiteral("name"), QStringLiteral("基准群")},
                                                                              {QStringLiteral("owner"), QStringLiteral("me")},
                                                                              {QStringLiteral("members"), QJsonArray{QStringLiteral("me")}}}}},
                            {QStringLiteral("groupMsgs"), QJsonObject{{gid, history}}}};
    {
        bench::QuietStdout quiet;
        ws.handleMessage(QString::fromUtf8(QJsonDocument(hello).toJson(QJsonDocument::Compact)));
        // A snapshot this large is decoded on a worker.
        while (!ws.inbound().isIdle())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        chat.flushPendingSave();
    }
    const QVariant room = QVariant::fromValue(ChatViewModel::groupRoom(gid, QStringLiteral("基准群")));

    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQmlComponent chatView(&engine);
    chatView.setData("import Zephlin.Screens\nChatView {}", QUrl());
    QQmlComponent bare(&engine);
    bare.setData("import QtQuick\nItem { property alias messageList: list; required property var texts\n"
                 "ListView { id: list; anchors.fill: parent; spacing: 14; model: parent.texts\n"
                 "Component.onCompleted: positionViewAtEnd()\n"
                 "delegate: Text { required property string display; width: ListView.view.width; text: display; wrapMode: Text.Wrap } } }",
                 QUrl());

    QQuickWindow window;
    window.resize(390, 844);
    window.show();
    QStringListModel textModel(texts);

    // Memory the open room adds: the first opening, once Qt Quick itself is loaded by the bare list.
    QQuickItem *item = nullptr;
    openUntilLastShown(window, bare, {{QStringLiteral("texts"), QVariant::fromValue(&textModel)}}, &item);
    delete item;
    QCoreApplication::processEvents();
    const double before = residentMB();
    openUntilLastShown(window, chatView,
                       {{QStringLiteral("appState"), QVariant::fromValue(&appState)},
                        {QStringLiteral("chat"), QVariant::fromValue(&chat)},
                        {QStringLiteral("room"), room}},
                       &item);
    const double added = residentMB() - before;
    delete item;

    std::vector<double> opens, bares;
    for (int run = 0; run < runs; ++run) {
        // Alternated, so that both meet the same load on a shared machine.
        bares.push_back(openUntilLastShown(window, bare, {{QStringLiteral("texts"), QVariant::fromValue(&textModel)}}, &item));
        delete item;
        chat.setCurrentRoom(std::nullopt);
        opens.push_back(openUntilLastShown(window, chatView,
                                           {{QStringLiteral("appState"), QVariant::fromValue(&appState)},
                                            {QStringLiteral("chat"), QVariant::fromValue(&chat)},
                                            {QStringLiteral("room"), room}},
                                           &item));
        delete item;
        QCoreApplication::processEvents();
    }
    std::sort(opens.begin(), opens.end());
    std::sort(bares.begin(), bares.end());
    const double open = opens[opens.size() / 2], plain = bares[bares.size() / 2];
    bench::figure("open 5000-message room to last message shown", open, "ms", runs);
    bench::figure("bare ListView of Text to last row shown", plain, "ms", runs);
    bench::ratio("chat screen open / bare ListView", open / plain);
    std::printf("resident memory added by the open room: %.1f MB\n", added);

    openUntilLastShown(window, chatView,
                       {{QStringLiteral("appState"), QVariant::fromValue(&appState)},
                        {QStringLiteral("chat"), QVariant::fromValue(&chat)},
                        {QStringLiteral("room"), room}},
                       &item);

    measureLiveMessages(window, ws, gid);
    delete item;
    return 0;
}
