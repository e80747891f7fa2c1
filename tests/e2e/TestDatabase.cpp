#include "TestDatabase.h"

#include <QCryptographicHash>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {
QString clusterUrl()
{
    return qEnvironmentVariable("ZEPHLIN_TEST_POSTGRES");
}

// One connection to the cluster's maintenance database, made once per test process.
QSqlDatabase &maintenance()
{
    static QSqlDatabase db = [] {
        const QUrl url(clusterUrl());
        QSqlDatabase made = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("zephlin-test-maintenance"));
        made.setHostName(url.host());
        made.setPort(url.port(5432));
        made.setUserName(url.userName());
        made.setDatabaseName(url.path().mid(1));
        if (!made.open())
            qFatal("cannot reach the test PostgreSQL cluster: %s", qPrintable(made.lastError().text()));
        return made;
    }();
    return db;
}
} // namespace

bool TestDatabase::onPostgres()
{
    return !clusterUrl().isEmpty();
}

QString TestDatabase::urlFor(const QString &dataDir)
{
    if (!onPostgres())
        return {};
    static QHash<QString, QString> made;
    if (made.contains(dataDir))
        return made.value(dataDir);
    const QString name = QStringLiteral("t")
        + QString::fromLatin1(QCryptographicHash::hash(dataDir.toUtf8(), QCryptographicHash::Sha1).toHex().left(24));
    QSqlQuery create(maintenance());
    if (!create.exec(QStringLiteral("CREATE DATABASE %1").arg(name)))
        qFatal("cannot create a test database: %s", qPrintable(create.lastError().text()));
    QUrl url(clusterUrl());
    url.setPath(u'/' + name);
    made.insert(dataDir, url.toString());
    return made.value(dataDir);
}

QStringList TestDatabase::arguments(const QString &dataDir)
{
    const QString url = urlFor(dataDir);
    return url.isEmpty() ? QStringList() : QStringList{QStringLiteral("--database"), url};
}
