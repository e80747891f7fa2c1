// A bounded, repeatable stand-in for the fuzzer that runs with every build: mutated real frames
// (bytes flipped, cut, spliced) and random JSON objects with real wire types go through the dispatcher. None may
// crash or call more than one slot; every unmutated frame calls exactly one.
#include "CountingCallbacks.h"
#include "WebSocketService.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <functional>

namespace {

QList<QByteArray> seedFrames()
{
    QList<QByteArray> frames;
    const QDir corpus(QStringLiteral(ZEPHLIN_FUZZ_CORPUS));
    for (const QString &name : corpus.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile file(corpus.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            frames.append(file.readAll());
    }
    return frames;
}

QByteArray mutate(QByteArray frame, const QList<QByteArray> &seeds, QRandomGenerator &random)
{
    const int edits = 1 + int(random.bounded(4));
    for (int e = 0; e < edits; ++e) {
        const qsizetype at = frame.isEmpty() ? 0 : qsizetype(random.bounded(quint32(frame.size())));
        switch (random.bounded(5)) {
        case 0: // flip a byte
            if (!frame.isEmpty())
                frame[at] = char(random.bounded(256));
            break;
        case 1: // insert a structural character
            frame.insert(at, "{}[]\",:0-e"[random.bounded(10)]);
            break;
        case 2: // delete a range
            frame.remove(at, qsizetype(random.bounded(8)));
            break;
        case 3: // duplicate a range
            frame.insert(at, frame.mid(at, qsizetype(random.bounded(16))));
            break;
        default: // splice in the tail of another frame
            frame = frame.left(at) + seeds.at(random.bounded(quint32(seeds.size()))).mid(at);
            break;
        }
    }
    return frame;
}

QJsonValue randomValue(QRandomGenerator &random, const QStringList &keys, int depth)
{
    switch (random.bounded(depth > 2 ? 5 : 7)) {
    case 0: return QJsonValue::Null;
    case 1: return random.bounded(2) == 1;
    case 2: return double(qint64(random.generate64())) / double(1 + random.bounded(1000));
    case 3: return keys.at(random.bounded(quint32(keys.size())));
    case 4: return QString();
    case 5: {
        QJsonArray array;
        for (int i = int(random.bounded(4)); i > 0; --i)
            array.append(randomValue(random, keys, depth + 1));
        return array;
    }
    default: {
        QJsonObject object;
        for (int i = int(random.bounded(6)); i > 0; --i)
            object.insert(keys.at(random.bounded(quint32(keys.size()))), randomValue(random, keys, depth + 1));
        return object;
    }
    }
}

} // namespace

class TestRandomFrames : public QObject
{
    Q_OBJECT

private:
    WebSocketService m_service;
    int m_calls = 0;
    std::size_t m_touched = 0;
    QList<QByteArray> m_seeds;
    QStringList m_keys; // every quoted string of the seed frames: member names and values

    // Dispatches one frame and returns how many slots it called.
    int dispatch(const QByteArray &frame)
    {
        const int before = m_calls;
        m_service.handleMessage(QString::fromUtf8(frame));
        return m_calls - before;
    }

    // Dispatches `count` generated frames: none may call more than one slot, and some call one.
    void dispatchAll(int count, const std::function<QByteArray()> &next)
    {
        int called = 0;
        for (int i = 0; i < count; ++i) {
            const int calls = dispatch(next());
            QVERIFY(calls <= 1);
            called += calls;
        }
        QVERIFY(called > 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        installCountingCallbacks(m_service, m_calls, m_touched);
        m_seeds = seedFrames();
        QVERIFY(m_seeds.size() >= 28);
        static const QRegularExpression quoted(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
        for (const QByteArray &seed : m_seeds)
            for (const QRegularExpressionMatch &match : quoted.globalMatch(QString::fromUtf8(seed)))
                m_keys.append(match.captured(1));
        m_keys.removeDuplicates();
    }

    void everySeedFrameCallsOneSlot()
    {
        for (const QByteArray &seed : m_seeds)
            QVERIFY2(dispatch(seed) == 1, seed.constData());
    }

    void mutatedFrames()
    {
        QRandomGenerator random(2);
        dispatchAll(30000, [&] { return mutate(m_seeds.at(random.bounded(quint32(m_seeds.size()))), m_seeds, random); });
    }

    void randomObjectsWithRealTypes()
    {
        QRandomGenerator random(3);
        QStringList types;
        for (const QByteArray &seed : m_seeds)
            types.append(QJsonDocument::fromJson(seed).object().value(QLatin1String("type")).toString());
        dispatchAll(20000, [&] {
            QJsonObject object = randomValue(random, m_keys, 2).toObject();
            object.insert(QStringLiteral("type"), types.at(random.bounded(quint32(types.size()))));
            return QJsonDocument(object).toJson(QJsonDocument::Compact);
        });
    }
};

QTEST_GUILESS_MAIN(TestRandomFrames)
#include "TestRandomFrames.moc"
