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

// A form whose posts are recorded and succeed.
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
        // Pasted in one piece.
        composer.setText(u"x"_s + unit.repeated(2500));
        QCOMPARE(composer.text(), u"x"_s + unit.repeated(1999));
        QCOMPARE(composer.characterCount(), 2000);
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
            form.composer.images()->addImage(picture());
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

QTEST_MAIN(TestMoments)
#include "TestMoments.moc"
