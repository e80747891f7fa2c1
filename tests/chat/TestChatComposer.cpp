// The chat screen's input: mention tracking, who can be mentioned, the send gate and the image
// upload run, against a real TLS WebSocket server on loopback that records the frames sent; the
// mention runs of a message. And the moments feed's rules and the posting form's state, with the
// REST post replaced by a recorder.
#include "ChatComposer.h"
#include "ChatFixture.h"
#include "MessageFormat.h"
#include "MomentComposer.h"
#include "MomentFormat.h"

#include <QSignalSpy>
#include <QTest>

using loopback::json;
using namespace Qt::StringLiterals;

namespace {
QImage image(QColor color)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

struct PostCall
{
    QString token;
    QString text;
    QList<QByteArray> jpegs;
};

// A moment form whose posts are recorded and succeed.
struct Form
{
    MomentComposer composer;
    QList<PostCall> calls;

    Form()
    {
        composer.setProperty("token", QStringLiteral("t1"));
        composer.setPost([this](const QString &token, const QString &text, const QList<QByteArray> &jpegs, QObject *,
                                std::function<void(const Result<Moment> &)> done) {
            calls.append({token, text, jpegs});
            done(Result<Moment>(Moment{}));
        });
    }
};
} // namespace

class TestChatComposer : public QObject
{
    Q_OBJECT

    // A signed-in "me" with friends ann (online) and bob, and a group g1 of me, ann and a stranger.
    static void seed(ChatFixture &f)
    {
        f.deliver("{'type':'hello','friends':[{'id':'ann','username':'Ann'},{'id':'bob','username':'bob'}],"
                  "'groups':[{'id':'g1','name':'G','owner':'me','members':['me','stranger','ann']}]}");
        f.deliver("{'type':'presence','online':[{'id':'ann'}]}");
    }

    // A composer for `room` over the seeded chat state of "me", connected to the recording server.
    static ChatViewModel &open(ChatFixture &f, ChatComposer &composer, const RoomType &room, bool connected = true)
    {
        ChatViewModel &chat = f.make(QStringLiteral("me"));
        if (connected)
            f.connectTo();
        seed(f);
        composer.setChat(&chat);
        composer.setRoom(room);
        return chat;
    }

    static QStringList names(const QList<User> &users)
    {
        QStringList list;
        for (const User &user : users)
            list.append(user.username);
        return list;
    }

private Q_SLOTS:
    void mentionTrackingAndInsertion_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how"); // then: "" nothing, "pick" from the list or "avatar" long press
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("search"); // empty: the mention list is closed
        QTest::newRow("name after it") << "hello @ab" << "" << "hello @ab" << "ab";
        QTest::newRow("a space closes") << "hello @ab " << "" << "hello @ab " << "";
        QTest::newRow("a newline closes") << "hi @ab\nx" << "" << "hi @ab\nx" << "";
        QTest::newRow("the last at sign counts") << "@x y @z" << "" << "@x y @z" << "z";
        QTest::newRow("pick replaces after the last at") << "hi @al" << "pick" << "hi @alice " << "";
        QTest::newRow("pick appends without an at") << "hi" << "pick" << "hi@alice " << "";
        QTest::newRow("avatar adds a space first") << "hi" << "avatar" << "hi @alice " << "";
        QTest::newRow("avatar after a space") << "hi " << "avatar" << "hi @alice " << "";
        QTest::newRow("avatar into nothing") << "" << "avatar" << "@alice " << "";
    }
    void mentionTrackingAndInsertion()
    {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(QString, text);
        QFETCH(QString, search);
        ChatComposer composer;
        composer.handleTextChange(typed);
        if (how == QLatin1String("pick"))
            composer.insertMention(QStringLiteral("alice"));
        else if (how == QLatin1String("avatar"))
            composer.mentionSender(QStringLiteral("alice"));
        QCOMPARE(composer.messageText(), text);
        QCOMPARE(composer.showMentionPanel(), !search.isEmpty());
        if (how.isEmpty())
            QCOMPARE(composer.mentionSearchText(), search);
    }

    void candidatesAndSubtitlePerRoom_data()
    {
        QTest::addColumn<RoomType>("room");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("candidates");
        QTest::addColumn<QString>("subtitle");
        QTest::newRow("hall: the friends") << RoomType::global() << "" << QStringList{"Ann", "bob"} << "";
        QTest::newRow("hall, filtered ignoring case") << RoomType::global() << "AN" << QStringList{"Ann"} << "";
        QTest::newRow("online friend") << RoomType::dm("ann", "Ann") << "" << QStringList{"Ann"} << "在线";
        QTest::newRow("offline friend") << RoomType::dm("bob", "bob") << "" << QStringList{"bob"} << "离线";
        QTest::newRow("peer not a friend") << RoomType::dm("zed", "zed") << "" << QStringList{} << "离线";
        // The user is never a candidate; members without a record are dropped.
        QTest::newRow("group") << RoomType::group("g1", "G") << "" << QStringList{"Ann"} << "3 人";
        QTest::newRow("unknown group") << RoomType::group("g9", "X") << "" << QStringList{} << "";
    }
    void candidatesAndSubtitlePerRoom()
    {
        QFETCH(RoomType, room);
        QFETCH(QString, search);
        ChatFixture f;
        ChatComposer composer;
        open(f, composer, room, false);
        composer.handleTextChange(QLatin1Char('@') + search);
        QFETCH(QStringList, candidates);
        QFETCH(QString, subtitle);
        QCOMPARE(names(composer.filteredMentionUsers()), candidates);
        QCOMPARE(composer.roomSubtitle(), subtitle);
    }

    void sendGateAndBlanks()
    {
        ChatFixture f;
        ChatComposer composer;
        ChatViewModel &chat = open(f, composer, RoomType::global());
        qint64 now = 10'000;
        composer.setClock([&now] { return now; });

        composer.handleTextChange(QStringLiteral(" \n "));
        QVERIFY(composer.canSend()); // the button goes by the raw text
        composer.send();
        QCOMPARE(composer.messageText(), QStringLiteral(" \n ")); // not sent, not cleared

        QSignalSpy toasts(&chat, &ChatViewModel::toastChanged);
        composer.handleTextChange(QStringLiteral("  hi  "));
        composer.send();
        QCOMPARE(composer.messageText(), QString());
        now += 499;
        composer.handleTextChange(QStringLiteral("again"));
        composer.send();
        QCOMPARE(chat.toast(), QStringLiteral("发送太快了，稍等一下"));
        QCOMPARE(toasts.size(), 1);
        QCOMPARE(composer.messageText(), QStringLiteral("again")); // kept for the next try
        QCOMPARE(f.nextFrame(), json("{'type':'global','content':'hi','clientId':'00000000-0000-4000-8000-000000000001'}"));
        QCOMPARE(ChatFixture::ids(chat.globalMessages()).size(), 1);
    }

    void uploadRunSendsWhatUploadedAndKeepsWhatCameMeanwhile()
    {
        ChatFixture f;
        ChatComposer composer;
        ChatViewModel &chat = open(f, composer, RoomType::group(QStringLiteral("g1"), QStringLiteral("G")));
        composer.setToken(QStringLiteral("tok"));
        QStringList uploadedTokens;
        std::function<void(const Result<ImageUploadResponse> &)> pending;
        composer.setUpload([&](const QString &token, const QByteArray &jpeg, QObject *,
                               std::function<void(const Result<ImageUploadResponse> &)> done) {
            QVERIFY(jpeg.startsWith("\xFF\xD8")); // JPEG
            uploadedTokens.append(token);
            pending = std::move(done);
        });
        for (const QColor color : {Qt::red, Qt::green, Qt::blue})
            QVERIFY(composer.draftImages()->addImage(image(color)));
        QVERIFY(!composer.draftImages()->addFile(QUrl::fromLocalFile(QStringLiteral(SOURCE_FILE))));
        composer.handleTextChange(QStringLiteral("look"));
        QSignalSpy toasts(&chat, &ChatViewModel::toastChanged);

        composer.send();
        QVERIFY(composer.isSending());
        QVERIFY(!composer.canSend());
        composer.send(); // ignored while the run goes on
        QCOMPARE(uploadedTokens.size(), 1);
        composer.handleTextChange(QStringLiteral("look, more")); // typed during the run
        QVERIFY(composer.draftImages()->addImage(image(Qt::black)));

        auto answer = [&](const Result<ImageUploadResponse> &result) { auto done = std::move(pending); done(result); };
        answer(ImageUploadResponse{true, QStringLiteral("/u/1.jpg")});
        answer(Result<ImageUploadResponse>::failure(QStringLiteral("HTTP错误 500")));
        answer(ImageUploadResponse{true, QStringLiteral("/u/3.jpg")});

        QCOMPARE(uploadedTokens, QStringList(3, QStringLiteral("tok")));
        QCOMPARE(toasts.size(), 1);
        QCOMPARE(chat.toast(), QStringLiteral("图片上传失败: HTTP错误 500"));
        QVERIFY(!composer.isSending());
        QCOMPARE(f.nextFrame(),
                 json("{'type':'group','gid':'g1','content':'look','images':['/u/1.jpg','/u/3.jpg'],"
                      "'clientId':'00000000-0000-4000-8000-000000000001'}"));
        QCOMPARE(composer.messageText(), QStringLiteral("look, more"));
        // The picture that did not go up stays picked, beside the one added meanwhile.
        QCOMPARE(composer.draftImages()->count(), 2);
    }

    void withoutATokenImagesStayPickedAndTheTextStillGoes()
    {
        ChatFixture f;
        ChatComposer composer;
        open(f, composer, RoomType::global());
        int uploads = 0;
        composer.setUpload([&](auto &&...) { ++uploads; });
        composer.draftImages()->addImage(image(Qt::red));
        composer.handleTextChange(QStringLiteral("text"));
        composer.send();
        QCOMPARE(uploads, 0);
        QVERIFY(!composer.isSending());
        QCOMPARE(composer.draftImages()->count(), 1);
        QCOMPARE(f.nextFrame(), json("{'type':'global','content':'text','clientId':'00000000-0000-4000-8000-000000000001'}"));
    }

    void mentionRuns_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QStringList>("runs"); // mentions in brackets
        QTest::newRow("word inside text") << "hi @bob_2, ok" << QStringList{"hi ", "[@bob_2]", ", ok"};
        QTest::newRow("two in a row") << "@a@b" << QStringList{"[@a]", "[@b]"};
        QTest::newRow("a lone at") << "mail @ home" << QStringList{"mail @ home"};
        QTest::newRow("emoji is not a name") << QStringLiteral("@😀x") << QStringList{QStringLiteral("@😀x")};
    }
    void mentionRuns()
    {
        QFETCH(QString, content);
        QStringList texts;
        for (const MessageFormat::Run &run : MessageFormat::mentionRuns(content))
            texts.append(run.mention ? QLatin1Char('[') + run.text + QLatin1Char(']') : run.text);
        QFETCH(QStringList, runs);
        QCOMPARE(texts, runs);
        QVERIFY(MessageFormat::mentionMarkup(QStringLiteral("<b>@x</b>"), "#000", "#fff").contains("&lt;b&gt;"));
    }

    void relativeTime_data()
    {
        QTest::addColumn<qint64>("ago");
        QTest::addColumn<QString>("label");
        const qint64 minute = 60'000, hour = 60 * minute, day = 24 * hour;
        QTest::newRow("59,999 ms") << minute - 1 << u"刚刚"_s;
        QTest::newRow("60,000 ms") << minute << u"1分钟前"_s;
        QTest::newRow("3,599,999 ms") << hour - 1 << u"59分钟前"_s;
        QTest::newRow("one hour") << hour << u"1小时前"_s;
        QTest::newRow("a day less 1 ms") << day - 1 << u"23小时前"_s;
        QTest::newRow("one day") << day << u"1天前"_s;
        QTest::newRow("7 days less 1 ms") << 7 * day - 1 << u"6天前"_s;
        // The test runs in Asia/Shanghai: 1,700,000,000,000 ms is 2023-11-15 06:13:20 there.
        QTest::newRow("exactly 7 days") << 7 * day << u"11-15 06:13"_s;
        QTest::newRow("in the future") << -5 * minute << u"刚刚"_s;
    }
    void relativeTime()
    {
        QFETCH(qint64, ago);
        QFETCH(QString, label);
        const qint64 time = 1'700'000'000'000;
        QCOMPARE(MomentFormat::relativeTime(time, time + ago), label);
    }

    // Typed one at a time (a paste cut in one piece is the moments QML test's posting form).
    void textIsCutToTwoThousandPerceivedCharacters()
    {
        const QString unit = u"👨‍👩‍👧"_s; // one character of five code points
        MomentComposer composer;
        QSignalSpy changed(&composer, &MomentComposer::textChanged);
        composer.setText(unit.repeated(1999));
        QCOMPARE(composer.characterCount(), 1999);
        // Typed one at a time: the second beyond the limit is refused as the first was.
        composer.setText(composer.text() + unit);
        composer.setText(composer.text() + unit);
        QCOMPARE(composer.text(), unit.repeated(2000));
        QCOMPARE(changed.count(), 3); // the cut is announced so the editor drops what it holds
    }

    // Blanks are content, and so is an image without text (the empty form and the refused post are
    // checked through the posting form, the post itself end to end).
    void posting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("images");
        QTest::newRow("blanks only") << u"   "_s << 0;
        QTest::newRow("no text, one image") << QString() << 1;
    }
    void posting()
    {
        QFETCH(QString, text);
        QFETCH(int, images);
        Form form;
        QSignalSpy finished(&form.composer, &MomentComposer::finished);
        form.composer.setText(text);
        for (int i = 0; i < images; ++i)
            form.composer.images()->addImage(image(Qt::darkCyan));
        form.composer.post();
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(form.composer.message().isEmpty());
        QCOMPARE(form.calls.size(), 1);
        QCOMPARE(form.calls.first().token, u"t1"_s);
        QCOMPARE(form.calls.first().text, text);
        QCOMPARE(form.calls.first().jpegs.size(), images);
        for (const QByteArray &jpeg : std::as_const(form.calls.first().jpegs))
            QVERIFY(jpeg.startsWith("\xFF\xD8"));
    }
};

QTEST_MAIN(TestChatComposer)
#include "TestChatComposer.moc"
