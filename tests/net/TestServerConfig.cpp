// The server address and everything derived from it, from the stored "zp_server_url".
#include "ServerConfig.h"
#include "SettingsStore.h"

#include <QTemporaryDir>
#include <QTest>

class TestServerConfig : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    void store(const QString &base) { SettingsStore::shared().setString(QStringLiteral("zp_server_url"), base); }

private Q_SLOTS:
    void initTestCase() { SettingsStore::shared().setLocation(m_dir.path()); }
    void init() { SettingsStore::shared().remove(QStringLiteral("zp_server_url")); }

    void webSocketAddress_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("ws");
        QTest::addColumn<QString>("preview");
        QTest::newRow("https") << "https://chat.example.org" << "wss://chat.example.org/ws" << "wss://chat.example.org/ws";
        QTest::newRow("http still gets wss") << "http://10.0.0.5:3000" << "wss://10.0.0.5:3000/ws" << "ws://10.0.0.5:3000/ws";
        QTest::newRow("no scheme") << "10.0.0.5:3000" << "wss://10.0.0.5:3000/ws" << "ws://10.0.0.5:3000/ws";
        QTest::newRow("trailing slash stays") << "https://10.0.0.5/" << "wss://10.0.0.5//ws" << "wss://10.0.0.5//ws";
        QTest::newRow("upper-case scheme is not a prefix") << "HTTPS://h" << "wss://HTTPS://h/ws" << "ws://HTTPS://h/ws";
    }
    void webSocketAddress()
    {
        QFETCH(QString, base);
        QFETCH(QString, ws);
        QFETCH(QString, preview);
        store(base);
        QCOMPARE(ServerConfig::wsURL(), ws);
        QCOMPARE(ServerConfig::derivedWSURL(base), preview);
    }

    // Each row above stores its own address: the stored value is read at every use.
    void restAndImageAddressesAreTheBaseTextPlusThePath()
    {
        store(QStringLiteral("https://10.0.0.5/"));
        QCOMPARE(ServerConfig::url(QStringLiteral("/api/login"))->toString(QUrl::None),
                 QStringLiteral("https://10.0.0.5//api/login"));
        store(QStringLiteral("https://10.0.0.5:8443"));
        QCOMPARE(ServerConfig::url(QStringLiteral("/api/me"))->port(), 8443);
        QCOMPARE(ServerConfig::resolveImageURL(QStringLiteral("/uploads/a.jpg")), QStringLiteral("https://10.0.0.5:8443/uploads/a.jpg"));
        QCOMPARE(ServerConfig::resolveImageURL(QStringLiteral("http://10.0.0.6/x.png")), QStringLiteral("http://10.0.0.6/x.png"));
        store(QStringLiteral("https://exa mple.org"));
        QVERIFY(!ServerConfig::url(QStringLiteral("/api/me")).has_value());
    }
};

QTEST_GUILESS_MAIN(TestServerConfig)
#include "TestServerConfig.moc"
