// The log lines of connectivity changes, apart from any platform backend.
#include "LogRecorder.h"
#include "NetworkMonitor.h"

#include <QTest>

class TestNetworkMonitor : public QObject
{
    Q_OBJECT

private:
    // Runs a sequence of labels through the state machine and returns the lines it would log.
    static QStringList linesFor(const QStringList &labels)
    {
        QStringList lines;
        QString last;
        for (const QString &label : labels) {
            if (const auto line = NetworkMonitor::logLineFor(last, label))
                lines.append(*line);
            last = label;
        }
        return lines;
    }

private Q_SLOTS:
    void stateMachine_data()
    {
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("initial, changed, repeat") << QStringList{"WiFi", "蜂窝", "蜂窝"}
                                                  << QStringList{"[Network] initial status: WiFi", "[Network] connected via 蜂窝"};
        QTest::newRow("starting disconnected") << QStringList{"断开", "断开", "有线"}
                                               << QStringList{"[Network] disconnected", "[Network] connected via 有线"};
        QTest::newRow("disconnect after connected")
            << QStringList{"已连接", "断开", "WiFi"}
            << QStringList{"[Network] initial status: 已连接", "[Network] disconnected", "[Network] connected via WiFi"};
    }
    void stateMachine()
    {
        QFETCH(QStringList, labels);
        QFETCH(QStringList, lines);
        QCOMPARE(linesFor(labels), lines);
    }

    void secondStartDoesNothing()
    {
        LogRecorder log;
        NetworkMonitor &monitor = NetworkMonitor::shared();
        QVERIFY(!monitor.isStarted());
        monitor.start();
        QVERIFY(monitor.isStarted());
        QCoreApplication::processEvents();
        const int afterFirst = log.countStartingWith(QStringLiteral("[Network]"));
        QVERIFY(afterFirst <= 1);
        monitor.start();
        QCoreApplication::processEvents();
        QCOMPARE(log.countStartingWith(QStringLiteral("[Network]")), afterFirst);
    }
};

QTEST_GUILESS_MAIN(TestNetworkMonitor)
#include "TestNetworkMonitor.moc"
