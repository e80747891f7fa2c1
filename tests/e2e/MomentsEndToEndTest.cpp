// The moments feed against the real server: the real application, signed in through its screens,
// and a friend running the client core in the same process. The user posts text with two images
// from the posting form; the friend sees it, likes and comments; the user's feed shows both from
// the server's update, then the user deletes the comment and the moment from the feed's buttons.
#include "APIService.h"
#include "RootController.h"
#include "ServerProcess.h"
#include "SettingsStore.h"
#include "WebSocketService.h"
#include "ZephlinApplication.h"

#include <QGuiApplication>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <memory>

Q_IMPORT_QML_PLUGIN(Zephlin_AppPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ChatPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ImagesPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_UpdatePlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ScreensPlugin)

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

class MomentsEndToEndTest : public QObject
{
    Q_OBJECT

    ServerProcess m_server;
    QTemporaryDir m_pictures;
    std::unique_ptr<ZephlinApplication> m_app;

    QObject *item(const QString &name) const { return m_app->window()->findChild<QObject *>(name); }
    // Visible items of that name in the visual tree (list delegates have no QObject parent).
    static void collect(QQuickItem *under, const QString &name, QList<QQuickItem *> &items)
    {
        for (QQuickItem *child : under->childItems()) {
            if (child->objectName() == name && child->isVisible())
                items << child;
            collect(child, name, items);
        }
    }
    QList<QQuickItem *> shown(const QString &name) const
    {
        QList<QQuickItem *> items;
        collect(m_app->window()->contentItem(), name, items);
        return items;
    }
    static bool click(QObject *button) { return button && QMetaObject::invokeMethod(button, "clicked"); }
    QVariantList feed() const
    {
        QObject *view = item(u"momentsView"_s);
        QObject *chat = view ? view->property("chat").value<QObject *>() : nullptr;
        return chat ? chat->property("moments").toList() : QVariantList();
    }
    QUrl picture(int n)
    {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(n ? Qt::darkGreen : Qt::darkBlue);
        const QString path = m_pictures.filePath(QStringLiteral("%1.png").arg(n));
        return image.save(path) ? QUrl::fromLocalFile(path) : QUrl();
    }

private Q_SLOTS:
    void initTestCase()
    {
        ZephlinApplication::configure(*qGuiApp);
        QVERIFY(m_server.start());
        SettingsStore::shared().setString(u"zp_server_url"_s, m_server.baseURL());
    }

    void cleanupTestCase()
    {
        m_app.reset();
        WebSocketService::shared().disconnectFromServer();
    }

    void postLikeCommentAndDelete()
    {
        // The friend: registered and connected with the client core.
        std::optional<Result<RegisterResponse>> registered;
        APIService::shared().registerUser(u"朋友"_s, u"pass1234"_s, this, [&](Result<RegisterResponse> r) { registered = r; });
        QTRY_VERIFY_WITH_TIMEOUT(registered.has_value(), 20000);
        std::optional<Result<LoginResponse>> login;
        APIService::shared().login(u"朋友"_s, u"pass1234"_s, this, [&](Result<LoginResponse> r) { login = r; });
        QTRY_VERIFY_WITH_TIMEOUT(login.has_value() && login->ok(), 20000);
        WebSocketTiming timing;
        timing.authDelay = 20ms;
        WebSocketService friendSocket(timing);
        QList<Moment> friendFeed;
        bool friendHello = false;
        friendSocket.onHello = [&](const HelloMessage &) { friendHello = true; };
        friendSocket.onMomentsUpdate = [&](const QList<Moment> &moments) { friendFeed = moments; };
        friendSocket.connectToServer(login->value().token);
        QTRY_VERIFY_WITH_TIMEOUT(friendHello, 10000);

        // The user registers through the sign-in screen and lands on the tabs.
        RootController::resetForTesting();
        ZephlinApplication::Options options;
        options.silentUpdateCheck = false;
        m_app = std::make_unique<ZephlinApplication>(options);
        QVERIFY(m_app->showRootView());
        QTRY_COMPARE_WITH_TIMEOUT(item(u"rootController"_s)->property("route").toInt(), int(RootController::Route::SignIn), 10000);
        QVERIFY(click(item(u"registerTab"_s)));
        item(u"regUsername"_s)->setProperty("text", u"发帖人"_s);
        item(u"regPassword"_s)->setProperty("text", u"secret-1"_s);
        item(u"regPassword2"_s)->setProperty("text", u"secret-1"_s);
        QVERIFY(click(item(u"registerButton"_s)));
        QTRY_VERIFY_WITH_TIMEOUT(item(u"mainTabs"_s) && WebSocketService::shared().isConnected(), 20000);
        QObject *chat = item(u"mainTabs"_s)->property("chat").value<QObject *>();

        // Friends: the friend asks, the user accepts.
        friendSocket.send({{u"type"_s, u"friend-request"_s}, {u"username"_s, u"发帖人"_s}});
        QTRY_COMPARE_WITH_TIMEOUT(chat->property("pendingRequests").toList().size(), 1, 10000);
        WebSocketService::shared().respondRequest(chat->property("pendingRequests").toList().first().toMap().value(u"id"_s).toString(),
                                                  u"accept"_s);
        QTRY_COMPARE_WITH_TIMEOUT(chat->property("friends").toList().size(), 1, 10000);

        // The posting form, over the feed.
        item(u"mainTabs"_s)->setProperty("showMoments", true);
        QVERIFY(click(item(u"composeButton"_s)));
        QTRY_VERIFY_WITH_TIMEOUT(item(u"postMomentView"_s), 5000);
        QObject *composer = item(u"postMomentView"_s)->property("composer").value<QObject *>();
        item(u"momentEditor"_s)->setProperty("text", u"第一条朋友圈"_s);
        QObject *images = composer->property("images").value<QObject *>();
        for (int n = 0; n < 2; ++n)
            QVERIFY(QMetaObject::invokeMethod(images, "addFile", Q_ARG(QUrl, picture(n))));
        QVERIFY(click(item(u"sheetTrailingButton"_s)));
        QTRY_VERIFY_WITH_TIMEOUT(!item(u"postMomentView"_s), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(feed().size(), 1, 10000);
        const QVariantMap posted = feed().first().toMap();
        QCOMPARE(posted.value(u"text"_s).toString(), u"第一条朋友圈"_s);
        QCOMPARE(posted.value(u"images"_s).toList().size(), 2);

        // The friend sees it, likes and comments.
        QTRY_COMPARE_WITH_TIMEOUT(friendFeed.size(), 1, 10000);
        const QString mid = friendFeed.first().id;
        QCOMPARE(mid, posted.value(u"id"_s).toString());
        friendSocket.send({{u"type"_s, u"moment-like"_s}, {u"mid"_s, mid}});
        friendSocket.momentComment(mid, u"拍得真好"_s);

        // The user's feed shows both once the server's update arrives.
        QTRY_VERIFY_WITH_TIMEOUT(!shown(u"commentText"_s).isEmpty(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(shown(u"likeButton"_s).value(0)->property("count").toInt(), 1, 10000);
        QCOMPARE(shown(u"commentText"_s).first()->property("text").toString(), u"拍得真好"_s);

        // The user deletes the friend's comment, then the moment.
        QVERIFY(click(shown(u"deleteCommentButton"_s).value(0)));
        QTRY_VERIFY_WITH_TIMEOUT(shown(u"commentText"_s).isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!friendFeed.isEmpty() && friendFeed.first().comments.isEmpty(), 10000);
        QVERIFY(click(shown(u"deleteMomentButton"_s).value(0)));
        QTRY_VERIFY_WITH_TIMEOUT(feed().isEmpty(), 10000);
        QVERIFY(item(u"momentsEmpty"_s)->property("visible").toBool());
        QTRY_VERIFY_WITH_TIMEOUT(friendFeed.isEmpty(), 10000);
        friendSocket.disconnectFromServer();
    }
};

QTEST_MAIN(MomentsEndToEndTest)
#include "MomentsEndToEndTest.moc"
