// The moments feed against the real server: the real application, signed in through its screens,
// and a friend running the client core in the same process. The user posts text with two images
// from the posting form; the friend sees it, likes and comments; the user's feed shows both from
// the server's update, then the user deletes the comment and the moment from the feed's buttons.
#include "PeerClient.h"

#include <QImage>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Zephlin_AppPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ChatPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ImagesPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_UpdatePlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ScreensPlugin)

using namespace Qt::StringLiterals;

class MomentsEndToEndTest : public QObject
{
    Q_OBJECT

    DemoAppDriver m_driver;
    QTemporaryDir m_pictures;

    QObject *item(const QString &name) const { return m_driver.item(name); }
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
        collect(m_driver.app()->window()->contentItem(), name, items);
        return items;
    }
    static bool click(QObject *button) { return button && QMetaObject::invokeMethod(button, "clicked"); }
    QVariantList feed() const { return m_driver.chat()->property("moments").toList(); }
    QUrl picture(int n)
    {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(n ? Qt::darkGreen : Qt::darkBlue);
        const QString path = m_pictures.filePath(QStringLiteral("%1.png").arg(n));
        return image.save(path) ? QUrl::fromLocalFile(path) : QUrl();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_driver.startServer(false)); }
    void cleanupTestCase() { m_driver.quit(); }

    void postLikeCommentAndDelete()
    {
        // The friend: registered and connected with the client core.
        PeerClient peer;
        QVERIFY(peer.signIn(u"朋友"_s, u"pass1234"_s, true));
        QList<Moment> friendFeed;
        peer.socket.onMomentsUpdate = [&](const QList<Moment> &moments) { friendFeed = moments; };
        QVERIFY(peer.connect());

        // The user registers through the sign-in screen and lands on the tabs.
        QVERIFY(m_driver.launch());
        QVERIFY(m_driver.submit(u"发帖人"_s, u"secret-1"_s, true));
        QTRY_VERIFY_WITH_TIMEOUT(WebSocketService::shared().isConnected(), 20000);
        ChatViewModel *chat = m_driver.chat();

        // Friends: the friend asks, the user accepts.
        peer.socket.send({{u"type"_s, u"friend-request"_s}, {u"username"_s, u"发帖人"_s}});
        QTRY_COMPARE_WITH_TIMEOUT(chat->pendingRequests().size(), 1, 10000);
        WebSocketService::shared().respondRequest(chat->pendingRequests().first().id, u"accept"_s);
        QTRY_COMPARE_WITH_TIMEOUT(chat->friends().size(), 1, 10000);

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
        peer.socket.send({{u"type"_s, u"moment-like"_s}, {u"mid"_s, mid}});
        peer.socket.momentComment(mid, u"拍得真好"_s);

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
    }
};

QTEST_MAIN(MomentsEndToEndTest)
#include "MomentsEndToEndTest.moc"
