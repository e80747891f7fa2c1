// The moments feed's rules and the posting form's state, with the REST post replaced by a recorder.
#include "MomentComposer.h"
#include "MomentFormat.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
struct PostCall
{
    QString token;
    QString text;
    QList<QByteArray> jpegs;
};

QImage picture()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
}

// A form whose posts are recorded and answered with `failure` (empty: success).
struct Form
{
    MomentComposer composer;
    QList<PostCall> calls;
    QString failure;

    Form()
    {
        composer.setProperty("token", QStringLiteral("t1"));
        composer.setPost([this](const QString &token, const QString &text, const QList<QByteArray> &jpegs, QObject *,
                                std::function<void(const Result<Moment> &)> done) {
            calls.append({token, text, jpegs});
            done(failure.isEmpty() ? Result<Moment>(Moment{}) : Result<Moment>::failure(failure));
        });
    }
};
} // namespace

class TestMoments : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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

    void commentsAreDeletableByTheirWriterAndTheMomentsAuthor_data()
    {
        QTest::addColumn<QString>("commenter");
        QTest::addColumn<QString>("author");
        QTest::addColumn<bool>("deletable");
        QTest::newRow("another's comment on my moment") << "b" << "me" << true;
        QTest::newRow("my comment on another's moment") << "me" << "b" << true;
        QTest::newRow("another's comment on another's moment") << "b" << "c" << false;
    }
    void commentsAreDeletableByTheirWriterAndTheMomentsAuthor()
    {
        QFETCH(QString, commenter);
        QFETCH(QString, author);
        QFETCH(bool, deletable);
        QCOMPARE(MomentFormat::canDeleteComment(commenter, author, u"me"_s), deletable);
    }

    void textIsCutToTwoThousandPerceivedCharacters_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::newRow("CJK") << u"字"_s;
        QTest::newRow("emoji with skin tone") << u"👍🏽"_s;
        QTest::newRow("family sequence") << u"👨‍👩‍👧"_s;
    }
    void textIsCutToTwoThousandPerceivedCharacters()
    {
        QFETCH(QString, unit);
        MomentComposer composer;
        QSignalSpy changed(&composer, &MomentComposer::textChanged);
        composer.setText(unit.repeated(1999));
        QCOMPARE(composer.characterCount(), 1999);
        // Typed one at a time: the second beyond the limit is refused as the first was.
        composer.setText(composer.text() + unit);
        composer.setText(composer.text() + unit);
        QCOMPARE(composer.text(), unit.repeated(2000));
        QCOMPARE(changed.count(), 3); // the cut is announced so the editor drops what it holds
        // Pasted in one piece.
        composer.setText(u"x"_s + unit.repeated(2500));
        QCOMPARE(composer.text(), u"x"_s + unit.repeated(1999));
        QCOMPARE(composer.characterCount(), 2000);
    }

    // Text or an image is content (blanks count); a failed post keeps the form under its error.
    void posting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("images");
        QTest::addColumn<QString>("failure"); // the server's answer; empty: the post succeeds
        QTest::addColumn<QString>("message");
        QTest::newRow("blanks only") << u"   "_s << 0 << QString() << QString();
        QTest::newRow("no text, one image") << QString() << 1 << QString() << QString();
        QTest::newRow("nothing") << QString() << 0 << QString() << u"内容不能为空"_s;
        QTest::newRow("server refuses") << u"hello"_s << 1 << u"服务器错误"_s << u"服务器错误"_s;
    }
    void posting()
    {
        QFETCH(QString, text);
        QFETCH(int, images);
        QFETCH(QString, message);
        Form form;
        QFETCH(QString, failure);
        form.failure = failure;
        QSignalSpy finished(&form.composer, &MomentComposer::finished);
        form.composer.setText(text);
        for (int i = 0; i < images; ++i)
            form.composer.images()->addImage(picture());
        form.composer.post();
        QTRY_COMPARE(form.composer.isLoading(), false);
        QTest::qWait(20);
        QCOMPARE(form.composer.message(), message);
        QCOMPARE(finished.count(), message.isEmpty() ? 1 : 0);
        QCOMPARE(form.calls.size(), text.isEmpty() && images == 0 ? 0 : 1);
        for (const PostCall &call : std::as_const(form.calls)) {
            QCOMPARE(call.token, u"t1"_s);
            QCOMPARE(call.text, text);
            QCOMPARE(call.jpegs.size(), images);
            for (const QByteArray &jpeg : call.jpegs)
                QVERIFY(jpeg.startsWith("\xFF\xD8"));
        }
        if (!failure.isEmpty()) {
            QCOMPARE(form.composer.text(), text);
            QCOMPARE(form.composer.images()->count(), images);
        }
    }
};

QTEST_MAIN(TestMoments)
#include "TestMoments.moc"
