#include "cli/ServerCommandLine.h"

#include "accounts/AccountService.h"
#include "core/Clock.h"
#include "storage/Database.h"
#include "cli/DemoSeeder.h"
#include "DevCertificates.h"
#include "cli/LimitOverrides.h"
#include "core/Limits.h"
#include "core/ServerCore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <cstdio>

namespace {
const QStringList ValueOptions = {QStringLiteral("--listen"), QStringLiteral("--data"), QStringLiteral("--database"), QStringLiteral("--tls-cert"),
                                  QStringLiteral("--tls-key"), QStringLiteral("--updates"), LimitOverrides::optionName()};

void say(const QString &line)
{
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

void complain(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
}

// The shared PostgreSQL database when --database names one, else SQLite in the --data folder.
bool openDatabase(Database &db, const QString &dataDir, const QString &databaseUrl)
{
    if (databaseUrl.isEmpty() && (dataDir.isEmpty() || !QDir().mkpath(dataDir))) {
        complain(QStringLiteral("--data DIR (or --database postgresql://USER@HOST:PORT/DB) is required"));
        return false;
    }
    if (!db.open(Database::location(dataDir, databaseUrl))) {
        complain(QStringLiteral("cannot open the database: ") + db.errorText());
        return false;
    }
    return true;
}
} // namespace

QString ServerCommandLine::option(const QStringList &arguments, const QString &name)
{
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}

QStringList ServerCommandLine::positional(const QStringList &arguments, const QStringList &valueOptions)
{
    QStringList found;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (valueOptions.contains(arguments.at(i)))
            ++i;
        else if (!arguments.at(i).startsWith(QLatin1String("--")))
            found << arguments.at(i);
    }
    return found;
}

int ServerCommandLine::usage(const QString &problem)
{
    if (!problem.isEmpty())
        complain(problem);
    complain(QStringLiteral(
        "usage:\n"
        "  zephlin-server serve --listen ADDR:PORT --data DIR (--tls-cert FILE --tls-key FILE | --dev-tls) [--updates DIR]\n"
        "                       [--database postgresql://USER@HOST:PORT/DB] [--limit NAME=VALUE ...]\n"
        "  zephlin-server user add NAME [--admin] (--data DIR | --database URL)   (password read from standard input)\n"
        "  zephlin-server user admin NAME on|off (--data DIR | --database URL)\n"
        "  zephlin-server seed-demo --data DIR [--database URL]\n"
        "without --database the data is kept in SQLite in the data folder"));
    return 2;
}

int ServerCommandLine::run(const QStringList &arguments)
{
    const QStringList words = positional(arguments, ValueOptions);
    if (words.value(0) == QLatin1String("serve"))
        return serve(arguments);
    if (words.value(0) == QLatin1String("seed-demo"))
        return seedDemo(arguments);
    if (words.value(0) == QLatin1String("user") && words.value(1) == QLatin1String("add"))
        return addUser(arguments);
    if (words.value(0) == QLatin1String("user") && words.value(1) == QLatin1String("admin"))
        return setAdmin(arguments);
    return usage();
}

int ServerCommandLine::serve(const QStringList &arguments)
{
    ServerOptions options;
    options.dataDir = option(arguments, QStringLiteral("--data"));
    options.databaseUrl = option(arguments, QStringLiteral("--database"));
    options.updatesDir = option(arguments, QStringLiteral("--updates"));
    const QString listen = option(arguments, QStringLiteral("--listen"));
    const qsizetype colon = listen.lastIndexOf(u':');
    bool portOk = false;
    options.port = colon > 0 ? listen.mid(colon + 1).toUShort(&portOk) : 0;
    QString host = listen.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    if (host == QLatin1String("localhost"))
        options.address = QHostAddress::LocalHost;
    else if (!options.address.setAddress(host))
        portOk = false;
    if (!portOk)
        return usage(QStringLiteral("--listen needs ADDRESS:PORT, for example 127.0.0.1:8443"));
    if (options.dataDir.isEmpty())
        return usage(QStringLiteral("--data DIR is required"));
    QString problem;
    if (!LimitOverrides::apply(arguments, options.limits, &problem))
        return usage(problem);

    if (arguments.contains(QStringLiteral("--dev-tls"))) {
        const QString tlsDir = QDir(options.dataDir).filePath(QStringLiteral("tls"));
        const Result<DevCertificates> certificates = DevCertificates::loadOrCreate(tlsDir);
        if (!certificates) {
            complain(QStringLiteral("cannot prepare development certificates: ") + certificates.error());
            return 1;
        }
        options.certificate = certificates->serverCertificate;
        options.privateKey = certificates->serverKey;
        const QString caPath = QDir(tlsDir).absoluteFilePath(DevCertificates::caFileName());
        say(QStringLiteral("development CA for clients: %1  (ZEPHLIN_CA_FILE=%1)").arg(caPath));
    } else {
        QFile certFile(option(arguments, QStringLiteral("--tls-cert")));
        QFile keyFile(option(arguments, QStringLiteral("--tls-key")));
        if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
            return usage(QStringLiteral("give --tls-cert FILE and --tls-key FILE (PEM), or --dev-tls"));
        const QList<QSslCertificate> chain = QSslCertificate::fromData(certFile.readAll(), QSsl::Pem);
        const QByteArray keyPem = keyFile.readAll();
        options.privateKey = QSslKey(keyPem, QSsl::Rsa, QSsl::Pem);
        if (options.privateKey.isNull())
            options.privateKey = QSslKey(keyPem, QSsl::Ec, QSsl::Pem);
        if (chain.isEmpty() || options.privateKey.isNull()) {
            complain(QStringLiteral("cannot read the TLS certificate or key"));
            return 1;
        }
        options.certificate = chain.first();
        options.chain = chain.mid(1);
    }

    auto *core = new ServerCore(options, QCoreApplication::instance());
    if (!core->start()) {
        complain(core->errorText());
        return 1;
    }
    say(QStringLiteral("zephlin-server listening on https://%1:%2")
            .arg(options.address.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + host + u']' : host)
            .arg(core->port()));
    return -1;
}

int ServerCommandLine::addUser(const QStringList &arguments)
{
    const QString name = positional(arguments, ValueOptions).value(2);
    if (name.isEmpty())
        return usage(QStringLiteral("user add needs a user name"));
    Database db;
    if (!openDatabase(db, option(arguments, QStringLiteral("--data")), option(arguments, QStringLiteral("--database"))))
        return 1;
    QTextStream input(stdin);
    const QString password = input.readLine();
    const Clock clock;
    const Limits limits;
    AccountService accounts(db, clock, limits, PasswordHasher());
    const Outcome<User> created = accounts.createUser(name, password, arguments.contains(QStringLiteral("--admin")));
    if (!created) {
        complain(created.refusal().message);
        return 1;
    }
    say(QStringLiteral("created user %1 (%2)%3")
            .arg(created->username, created->id,
                 arguments.contains(QStringLiteral("--admin")) ? QStringLiteral(", administrator") : QString()));
    return 0;
}

int ServerCommandLine::setAdmin(const QStringList &arguments)
{
    const QStringList words = positional(arguments, ValueOptions);
    const QString name = words.value(2);
    const QString state = words.value(3);
    if (name.isEmpty() || (state != QLatin1String("on") && state != QLatin1String("off")))
        return usage(QStringLiteral("user admin needs a user name and on or off"));
    Database db;
    if (!openDatabase(db, option(arguments, QStringLiteral("--data")), option(arguments, QStringLiteral("--database"))))
        return 1;
    UserStore users(db);
    const std::optional<StoredUser> user = users.byName(name);
    if (!user || !users.setAdmin(user->user.id, state == QLatin1String("on"))) {
        complain(QStringLiteral("no such user: ") + name);
        return 1;
    }
    say(QStringLiteral("%1 is %2 an administrator").arg(user->user.username,
                                                        state == QLatin1String("on") ? QString() : QStringLiteral("no longer")));
    return 0;
}

int ServerCommandLine::seedDemo(const QStringList &arguments)
{
    const QString dataDir = option(arguments, QStringLiteral("--data"));
    if (dataDir.isEmpty())
        return usage(QStringLiteral("--data DIR is required"));
    bool seeded = false;
    QString error;
    if (!DemoSeeder::seed(dataDir, option(arguments, QStringLiteral("--database")), &seeded, &error)) {
        complain(QStringLiteral("seeding failed: ") + error);
        return 1;
    }
    say(seeded ? QStringLiteral("demo data created in %1").arg(dataDir)
               : QStringLiteral("demo data already present in %1").arg(dataDir));
    say(QStringLiteral("demo accounts (user name / password):"));
    for (const DemoSeeder::Account &account : DemoSeeder::accounts())
        say(QStringLiteral("  %1 / %2%3").arg(account.username, account.password,
                                              account.admin ? QStringLiteral("  (administrator)") : QString()));
    return 0;
}
