// The console log keeps the newest 100 lines, newest first, each with a time stamp.
#include "AppLogger.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

class TestAppLogger : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linesAreTimeStampedNewestFirstAndCapped()
    {
        AppLogger &logger = AppLogger::shared();
        for (int i = 0; i < 101; ++i)
            logger.log(QStringLiteral("line %1").arg(i));
        const QStringList logs = logger.logs();
        QCOMPARE(logs.size(), AppLogger::maxLogs);
        QVERIFY(logs.first().endsWith(QStringLiteral("] line 100")));
        QVERIFY(logs.last().endsWith(QStringLiteral("] line 1"))); // line 0 was dropped
        QVERIFY(QRegularExpression(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] line 100$")).match(logs.first()).hasMatch());
    }

    void linesFromOtherThreadsArriveOnTheMainThread()
    {
        AppLogger &logger = AppLogger::shared();
        QSignalSpy changed(&logger, &AppLogger::logsChanged);
        QThread *worker = QThread::create([&logger] { logger.log(QStringLiteral("from a worker")); });
        worker->start();
        worker->wait();
        delete worker;
        QVERIFY(changed.wait(2000));
        QVERIFY(logger.logs().first().endsWith(QStringLiteral("] from a worker")));
    }
};

QTEST_GUILESS_MAIN(TestAppLogger)
#include "TestAppLogger.moc"
