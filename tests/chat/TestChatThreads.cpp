// Work handed to workers never changes what the chat state applies, or in which order: a large
// hello decoded off the main thread, the cache opened at start and the saves written on the
// writer thread.
#include "ChatFixture.h"
#include "ChatJsonWriter.h"
#include "EventDispatcher.h"
#include "NotificationCenter.h"
#include "SecureStorage.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QTest>
#include <QThreadPool>
#include <atomic>
#include <memory>

namespace {
QString text(const QJsonObject &frame)
{
    return QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact));
}

QJsonObject message(const QString &id, const QString &from, qint64 time)
{
    return QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("from"), from}, {QStringLiteral("content"), QStringLiteral("text")},
                       {QStringLiteral("time"), time}};
}

// A hello for "me" large enough to be decoded on a worker: a full hall and one direct room with "b".
QString largeHello()
{
    QJsonArray hall;
    QString frame;
    for (int i = 0; frame.size() < InboundSequencer::workerFrameChars; i += 500) {
        for (int k = i; k < i + 500; ++k)
            hall.append(message(QStringLiteral("h%1").arg(k), QStringLiteral("b"), k));
        frame = text(QJsonObject{{QStringLiteral("type"), QStringLiteral("hello")},
                                 {QStringLiteral("self"), QJsonObject{{QStringLiteral("id"), QStringLiteral("me")}, {QStringLiteral("username"), QStringLiteral("Me")}}},
                                 {QStringLiteral("globalMsgs"), hall},
                                 {QStringLiteral("friends"), QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("b")}, {QStringLiteral("username"), QStringLiteral("B")}}}},
                                 {QStringLiteral("dmRooms"), QJsonObject{{QStringLiteral("b_me"), QJsonArray{message(QStringLiteral("d0"), QStringLiteral("b"), 1)}}}}});
    }
    return frame;
}

QString live(const char *type, const QString &id, const char *extra = "")
{
    return QStringLiteral("{\"type\":\"%1\",\"id\":\"%2\",\"from\":\"b\",\"content\":\"x\",\"time\":9%3}")
        .arg(QLatin1String(type), id, QLatin1String(extra));
}

template <typename T>
std::optional<T> stored(ChatCache::Key key)
{
    return SecureStorage::shared().load<T>(ChatCache::storageKey(key));
}
} // namespace

class TestChatThreads : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void largeHelloThenLiveFramesMatchTheSingleThreadedPath()
    {
        // The server sends a large hello and live frames right behind it, so they reach the client
        // in the same socket read.
        const QStringList frames{largeHello(), live("global", QStringLiteral("g1")), live("dm", QStringLiteral("d1"), ",\"to\":\"me\""),
                                 live("global", QStringLiteral("g2"))};
        ChatFixture threaded;
        ChatViewModel &chat = threaded.make(QStringLiteral("me"));
        WebSocketTestServer &server = threaded.server();
        loopback::setServer(server.baseURL());
        threaded.ws->connectToServer(QStringLiteral("tok"));
        QTRY_COMPARE(server.received.size(), 1);
        for (const QString &frame : frames)
            server.sendText(frame);
        QTRY_COMPARE(chat.globalMessages().value(chat.globalMessages().size() - 1).id, QStringLiteral("g2"));
        QVERIFY(threaded.settle());

        // The same frames decoded and applied one by one on this thread, as before.
        ChatFixture reference;
        ChatViewModel &expected = reference.make(QStringLiteral("me"));
        for (const QString &frame : frames)
            EventDispatcher::dispatch(frame, *reference.ws);
        QCOMPARE(ChatFixture::ids(chat.globalMessages()).mid(chat.globalMessages().size() - 2), (QStringList{QStringLiteral("g1"), QStringLiteral("g2")}));
        QCOMPARE(ChatFixture::ids(chat.dmMessages().value(QStringLiteral("b_me"))), (QStringList{QStringLiteral("d0"), QStringLiteral("d1")}));
        QCOMPARE(chat.globalMessages(), expected.globalMessages());
        QCOMPARE(chat.dmMessages(), expected.dmMessages());
        QCOMPARE(chat.friends(), expected.friends());

        // On disk: what the single-threaded save encoded, byte for byte.
        SettingsStore::shared().setLocation(threaded.dir.path());
        QCOMPARE(SecureStorage::shared().loadJson(ChatCache::storageKey(ChatCache::GlobalMessages)), ChatJsonWriter::write(expected.globalMessages()));
        QCOMPARE(SecureStorage::shared().loadJson(ChatCache::storageKey(ChatCache::DmMessages)), ChatJsonWriter::write(expected.dmMessages()));
        QCOMPARE(SecureStorage::shared().loadJson(ChatCache::storageKey(ChatCache::Friends)), encodeJson(expected.friends()));
    }

    void cacheOpenedAtStartIsPublishedBeforeTheFirstHello()
    {
        ChatFixture f;
        f.make(QStringLiteral("me"));
        f.deliver("{'type':'hello','globalMsgs':[{'id':'old','from':'b','content':'x','time':1}],"
                  "'dmRooms':{'b_me':[{'id':'d1','from':'b','content':'x','time':1}]}}");
        f.chat.reset();

        // The next start: the hello of the new connection arrives while the cache is still being opened.
        f.chat = std::make_unique<ChatViewModel>(f.services());
        ChatViewModel &chat = *f.chat;
        QVERIFY(chat.isLoadingCache());
        f.deliver("{'type':'hello','globalMsgs':[{'id':'new','from':'b','content':'x','time':2}],"
                  "'dmRooms':{'c_me':[{'id':'d2','from':'c','content':'x','time':2}]}}");
        f.ws->handleMessage(live("global", QStringLiteral("live")));
        QVERIFY(f.settle());
        // The snapshot replaced the cached hall and was merged into the cached direct rooms.
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), (QStringList{QStringLiteral("new"), QStringLiteral("live")}));
        QCOMPARE(chat.dmMessages().size(), 2);
        QCOMPARE(stored<QList<ChatMessage>>(ChatCache::GlobalMessages), chat.globalMessages());
        QCOMPARE(stored<MessageStore::MessageMap>(ChatCache::DmMessages), chat.dmMessages());
    }

    void signOutWithSavesInFlightLeavesNothingOnDisk()
    {
        // A save being encoded on the writer thread when the user signs out.
        QTemporaryDir dir;
        SettingsStore::shared().setLocation(dir.path());
        QSemaphore encoding, proceed;
        ChatCache cache([&](ChatCache::Key) -> ChatCacheWriter::Encode {
            return [&] {
                encoding.release();
                proceed.acquire();
                return QByteArray("[]");
            };
        });
        cache.requestSave();
        QCoreApplication::processEvents();
        QVERIFY(encoding.tryAcquire(1, 5000));
        cache.forgetStored();
        proceed.release(ChatCache::KeyCount);
        QTRY_VERIFY(!cache.isWriting());
        QCOMPARE(cache.writes(), 0);
        QVERIFY(!ChatCache::anyStored());
    }

    void signOutDropsAHelloStillBeingDecoded()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("me"));
        f.ws->handleMessage(largeHello());
        f.ws->disconnectFromServer();
        NotificationCenter::shared().post(QStringLiteral("userLoggedOut"));
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QVERIFY(chat.globalMessages().isEmpty());
        QVERIFY(!chat.cache().savePending());
    }

    void savesOfOneKeyLandInOrder()
    {
        QTemporaryDir dir;
        SettingsStore::shared().setLocation(dir.path());
        const QString key = ChatCache::storageKey(ChatCache::Friends);
        const auto json = [](const char *text) { return [bytes = QByteArray(text)] { return bytes; }; };
        std::atomic<int> released = 0;
        ChatCacheWriter writer([](int, quint64) {}, [&released](int) { ++released; });
        // The newer save is written first; the older one, handed over late, never overwrites it.
        writer.enqueue(ChatCache::Friends, key, 2, json("[2]"));
        writer.waitUntilIdle();
        writer.enqueue(ChatCache::Friends, key, 1, json("[1]"));
        writer.waitUntilIdle();
        QCOMPARE(SecureStorage::shared().loadJson(key), QByteArray("[2]"));
        QCOMPARE(writer.writes(), 1);

        // While the writer is busy, a queued save is replaced by a newer one of its key only.
        QSemaphore busy, proceed;
        writer.enqueue(ChatCache::Groups, ChatCache::storageKey(ChatCache::Groups), 3, [&] {
            busy.release();
            proceed.acquire();
            return QByteArray("[]");
        });
        QVERIFY(busy.tryAcquire(1, 5000));
        QVERIFY(writer.holdsCopy(ChatCache::Groups));
        QVERIFY(!writer.holdsCopy(ChatCache::Friends));
        // The copies a replaced save holds are released on the writer thread, not the caller's.
        std::atomic<QThread *> releasedOn = nullptr;
        std::shared_ptr<int> copy(new int, [&releasedOn](int *p) { releasedOn = QThread::currentThread(); delete p; });
        writer.enqueue(ChatCache::Friends, key, 5, json("[5]"));
        writer.enqueue(ChatCache::Friends, key, 4, [copy = std::move(copy)] { return QByteArray("[4]"); });
        QVERIFY(writer.holdsCopy(ChatCache::Friends));
        proceed.release();
        writer.waitUntilIdle();
        QCOMPARE(SecureStorage::shared().loadJson(key), QByteArray("[5]"));
        QCOMPARE(writer.writes(), 3);
        QTRY_VERIFY(releasedOn.load());
        QVERIFY(releasedOn.load() != QThread::currentThread());
        QTRY_COMPARE(released.load(), 4);
    }
};

QTEST_GUILESS_MAIN(TestChatThreads)
#include "TestChatThreads.moc"
