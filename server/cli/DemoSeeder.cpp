#include "cli/DemoSeeder.h"

#include "accounts/AccountService.h"
#include "core/Clock.h"
#include "storage/Database.h"
#include "storage/FriendStore.h"
#include "storage/GroupStore.h"
#include "storage/HallSettings.h"
#include "storage/ImageStore.h"
#include "core/Limits.h"
#include "storage/MessageStore.h"
#include "storage/MomentStore.h"
#include "accounts/SecureRandom.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace {
// A picture drawn on the spot: a two-colour gradient with a few soft circles, as PNG bytes.
QByteArray picture(int seed, int width, int height, QColor from, QColor to)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, width, height);
    background.setColorAt(0, from);
    background.setColorAt(1, to);
    painter.fillRect(image.rect(), background);
    for (int i = 0; i < 4; ++i) {
        const int radius = width / (4 + (seed + i) % 4);
        const QPointF centre((seed * 37 + i * 71) % width, (seed * 53 + i * 29) % height);
        QRadialGradient glow(centre, radius);
        glow.setColorAt(0, QColor(255, 255, 255, 150));
        glow.setColorAt(1, QColor(255, 255, 255, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawEllipse(centre, radius, radius);
    }
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

ChatMessage message(const User &from, const QString &content, qint64 time)
{
    ChatMessage m;
    m.id = SecureRandom::id(QStringLiteral("m"));
    m.from = from.id;
    m.content = content;
    m.time = time;
    return m;
}
} // namespace

QList<DemoSeeder::Account> DemoSeeder::accounts()
{
    return {{QStringLiteral("admin"), QStringLiteral("admin123"), true},
            {QStringLiteral("alice"), QStringLiteral("alice123")},
            {QStringLiteral("bob"), QStringLiteral("bob123")},
            {QStringLiteral("carol"), QStringLiteral("carol123")},
            {QStringLiteral("小明"), QStringLiteral("xiaoming123")}};
}

bool DemoSeeder::seed(const QString &dataDir, const QString &databaseUrl, bool *seeded, QString *error)
{
    *seeded = false;
    QDir().mkpath(dataDir);
    Database db;
    if (!db.open(Database::location(dataDir, databaseUrl))) {
        *error = db.errorText();
        return false;
    }
    const Clock clock;
    const Limits limits;
    AccountService service(db, clock, limits, PasswordHasher());
    if (service.users().byName(QStringLiteral("alice")))
        return true; // already seeded
    // Demo accounts have published passwords: they never go into a database with real users.
    if (db.scalar(QStringLiteral("SELECT COUNT(*) FROM users")).toInt() > 0) {
        *error = QStringLiteral("the database already has users; demo data goes only into a new data folder");
        return false;
    }
    ImageStore images(QDir(dataDir).filePath(QStringLiteral("uploads")), db, limits);

    QList<User> users;
    const QList<QPair<QColor, QColor>> palette = {{"#f59e0b", "#ef4444"}, {"#3b82f6", "#8b5cf6"}, {"#10b981", "#3b82f6"},
                                                  {"#ec4899", "#f59e0b"}, {"#07c160", "#0ea5e9"}};
    const QList<Account> demoAccounts = accounts();
    for (qsizetype i = 0; i < demoAccounts.size(); ++i) {
        const Account &account = demoAccounts.at(i);
        Outcome<User> created = service.createUser(account.username, account.password, account.admin);
        if (!created) {
            *error = created.refusal().message;
            return false;
        }
        User user = created.value();
        const Outcome<QString> avatar = images.storeBytes(picture(int(i), 256, 256, palette[i].first, palette[i].second));
        if (avatar) {
            service.users().setAvatar(user.id, avatar.value());
            user.avatar = avatar.value();
        }
        users << user;
    }
    const User &admin = users[0], &alice = users[1], &bob = users[2], &carol = users[3], &ming = users[4];
    const qint64 now = clock.nowMs();
    const qint64 minute = 60 * 1000;

    FriendStore friends(db);
    for (const auto &[a, b] : QList<QPair<User, User>>{{alice, bob}, {alice, carol}, {bob, carol}, {alice, admin}, {ming, bob}})
        friends.befriend(a.id, b.id, now - 600 * minute);
    friends.addRequest({SecureRandom::id(QStringLiteral("r")), ming.id, alice.id, now - 30 * minute});

    HallSettings hall(db);
    hall.setAnnouncement(QStringLiteral("欢迎来到 Zephlin！请文明聊天，友善交流。"));

    MessageStore messages(db);
    const QList<QPair<User, QString>> hallLines = {
        {admin, QStringLiteral("大家好，欢迎来到公共大厅 👋")}, {alice, QStringLiteral("早上好！今天天气真不错")},
        {bob, QStringLiteral("周末有人一起去爬山吗？")},        {carol, QStringLiteral("我我我！算我一个")},
        {ming, QStringLiteral("刚加入，请多关照～")},           {alice, QStringLiteral("欢迎小明！")}};
    for (qsizetype i = 0; i < hallLines.size(); ++i)
        messages.insert(message(hallLines[i].first, hallLines[i].second, now - (90 - i * 12) * minute), MessageStore::hallRoom());

    const QList<QPair<User, QString>> directLines = {{alice, QStringLiteral("Bob，晚上一起吃饭吗？")},
                                                     {bob, QStringLiteral("好啊，七点老地方见")},
                                                     {alice, QStringLiteral("没问题 👍")}};
    for (qsizetype i = 0; i < directLines.size(); ++i) {
        ChatMessage m = message(directLines[i].first, directLines[i].second, now - (40 - i * 5) * minute);
        m.to = directLines[i].first.id == alice.id ? bob.id : alice.id;
        messages.insert(m, MessageStore::directRoom(alice.id, bob.id));
    }

    GroupStore groups(db);
    ChatGroup group;
    group.id = SecureRandom::id(QStringLiteral("g"));
    group.name = QStringLiteral("周末徒步");
    group.owner = alice.id;
    group.members = {alice.id, bob.id, carol.id};
    group.createdAt = now - 300 * minute;
    const Outcome<QString> groupAvatar = images.storeBytes(picture(7, 256, 256, "#07c160", "#14b8a6"));
    if (groupAvatar)
        group.avatar = groupAvatar.value();
    groups.create(group);
    const QList<QPair<User, QString>> groupLines = {{alice, QStringLiteral("这周六去香山，早上八点集合")},
                                                    {carol, QStringLiteral("收到，我带水和零食")},
                                                    {bob, QStringLiteral("我开车，可以坐四个人")}};
    for (qsizetype i = 0; i < groupLines.size(); ++i) {
        ChatMessage m = message(groupLines[i].first, groupLines[i].second, now - (25 - i * 4) * minute);
        m.gid = group.id;
        messages.insert(m, MessageStore::groupRoom(group.id));
    }
    groups.apply(group.id, ming.id, now - 10 * minute);

    // The chat screens' richer rows: a mention, pictures in the hall and a bot in the group.
    const auto storedPictures = [&](int seed, int count) {
        QStringList paths;
        for (int p = 0; p < count; ++p) {
            const auto &[from, to] = palette[(seed + p) % palette.size()];
            if (const Outcome<QString> stored = images.storeBytes(picture(seed * 10 + p, 480, 480, from, to)))
                paths << stored.value();
        }
        return paths;
    };
    ChatMessage mention = message(bob, QStringLiteral("@alice 周六的路线发你了，记得看"), now - 15 * minute);
    messages.insert(mention, MessageStore::hallRoom());
    ChatMessage sunset = message(carol, QStringLiteral(""), now - 14 * minute); // empty, not NULL
    sunset.images = storedPictures(20, 1);
    messages.insert(sunset, MessageStore::hallRoom());
    ChatMessage album = message(bob, QStringLiteral("上次徒步的照片"), now - 13 * minute);
    album.images = storedPictures(30, 4);
    messages.insert(album, MessageStore::hallRoom());
    messages.insert(message(alice, QStringLiteral("拍得真好！@bob 下次带上我"), now - 12 * minute), MessageStore::hallRoom());

    Outcome<User> bot = service.createUser(QStringLiteral("天气小助手"), SecureRandom::id(QStringLiteral("pw")), false);
    if (bot && service.users().setRole(bot.value().id, QStringLiteral("bot"))) {
        ChatMessage forecast = message(bot.value(), QStringLiteral("☀️ 周六香山：晴，12–21°C，适合徒步"), now - 9 * minute);
        forecast.gid = group.id;
        messages.insert(forecast, MessageStore::groupRoom(group.id));
    }

    // A group of bob's where alice is only a member, for the member's side of the group settings;
    // the administrator is in it too, so that his contacts tab has a group.
    ChatGroup photos;
    photos.id = SecureRandom::id(QStringLiteral("g"));
    photos.name = QStringLiteral("摄影小组");
    photos.owner = bob.id;
    photos.members = {bob.id, alice.id, carol.id, ming.id, admin.id};
    photos.createdAt = now - 500 * minute;
    if (const Outcome<QString> photosAvatar = images.storeBytes(picture(8, 256, 256, "#8b5cf6", "#ec4899")))
        photos.avatar = photosAvatar.value();
    groups.create(photos);
    const QList<QPair<User, QString>> photoLines = {{bob, QStringLiteral("下周拍夜景，三脚架都带上")},
                                                    {ming, QStringLiteral("新人报到，求推荐机位")}};
    for (qsizetype i = 0; i < photoLines.size(); ++i) {
        ChatMessage m = message(photoLines[i].first, photoLines[i].second, now - (60 - i * 5) * minute);
        m.gid = photos.id;
        messages.insert(m, MessageStore::groupRoom(photos.id));
    }

    MomentStore moments(db);
    const QList<std::tuple<User, QString, int>> posts = {{bob, QStringLiteral("新买的相机，随手拍几张"), 3},
                                                         {carol, QStringLiteral("今天的晚霞太美了"), 1},
                                                         {alice, QStringLiteral("周末愉快！"), 0}};
    for (qsizetype i = 0; i < posts.size(); ++i) {
        const auto &[author, text, pictures] = posts[i];
        Moment moment;
        moment.id = SecureRandom::id(QStringLiteral("p"));
        moment.author = author.id;
        moment.text = text;
        moment.time = now - (200 - i * 50) * minute;
        for (int p = 0; p < pictures; ++p) {
            const Outcome<QString> image =
                images.storeBytes(picture(int(i * 10 + p), 640, 480, palette[(i + p) % palette.size()].first,
                                          palette[(i + p + 2) % palette.size()].second));
            if (image)
                moment.images << image.value();
        }
        moments.create(moment);
        moments.toggleLike(moment.id, alice.id == author.id ? bob.id : alice.id);
        MomentComment comment;
        comment.user = alice.id == author.id ? carol.id : alice.id;
        comment.text = QStringLiteral("好棒！");
        comment.time = moment.time + 5 * minute;
        moments.addComment(moment.id, comment);
    }

    // The feed's harder cases: four pictures under a long text, and a week-old post the user has
    // liked, with a conversation under it.
    {
        Moment trip;
        trip.id = SecureRandom::id(QStringLiteral("p"));
        trip.author = carol.id;
        trip.text = QStringLiteral("五天四晚的云南之行结束了。从大理的洱海骑行到丽江古城的石板路，再到玉龙雪山脚下的蓝月谷，"
                                   "每一天都像在画里。最难忘的是在双廊看日出，湖面从深蓝变成金色，只用了十几分钟。"
                                   "下次还想去香格里拉和泸沽湖，有没有人一起？");
        trip.time = now - 2 * 24 * 60 * minute;
        for (int p = 0; p < 4; ++p) {
            const Outcome<QString> image =
                images.storeBytes(picture(40 + p, 640, 640, palette[p].first, palette[(p + 1) % palette.size()].second));
            if (image)
                trip.images << image.value();
        }
        moments.create(trip);
        moments.toggleLike(trip.id, bob.id);
        moments.addComment(trip.id, {alice.id, std::nullopt, QStringLiteral("照片拍得真好，求路线！"), trip.time + 30 * minute});

        Moment old;
        old.id = SecureRandom::id(QStringLiteral("p"));
        old.author = bob.id;
        old.text = QStringLiteral("新工位，开工 💻");
        old.time = now - 9 * 24 * 60 * minute;
        const Outcome<QString> desk = images.storeBytes(picture(50, 640, 480, palette[4].first, palette[1].second));
        if (desk)
            old.images << desk.value();
        moments.create(old);
        moments.toggleLike(old.id, alice.id);
        moments.toggleLike(old.id, carol.id);
        moments.addComment(old.id, {carol.id, std::nullopt, QStringLiteral("好宽敞！"), old.time + 10 * minute});
        moments.addComment(old.id, {bob.id, std::nullopt, QStringLiteral("欢迎来参观"), old.time + 20 * minute});
    }
    // The update server's files: a build newer than the demo client, so "检查更新" offers it, and its
    // package, whose SHA-256 the version file lists for the client to check.
    QDir updates(QDir(dataDir).filePath(QStringLiteral("updates")));
    updates.mkpath(QStringLiteral("."));
    const QByteArray package = QByteArrayLiteral("Zephlin 2.1.0 demo package\n");
    QFile packageFile(updates.filePath(QStringLiteral("Zephlin-2.1.0.ipa")));
    if (packageFile.open(QIODevice::WriteOnly))
        packageFile.write(package);
    QFile version(updates.filePath(QStringLiteral("version.json")));
    if (version.open(QIODevice::WriteOnly))
        version.write(R"({"version":"2.1.0","url":"https://localhost/downloads/zephlin/Zephlin-2.1.0.ipa","notes":"修复若干问题，提升连接稳定性","sha256":")"
                      + QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex() + "\"}");

    *seeded = true;
    return true;
}
