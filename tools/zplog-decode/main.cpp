// zplog-decode: prints the entries of encrypted Zephlin log files (shards or an exported log),
// oldest first, for whoever holds the log's private key.
#include "LogDecoder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <cstdio>

namespace {
void write(FILE *stream, const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stream);
    std::fputc('\n', stream);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zplog-decode"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Decrypts Zephlin log files (.zplog, or an exported log) and prints their entries sorted by time.\n"
        "Problems with files or entries go to standard error with their position; the rest still prints.\n"
        "Exit status: 0 all decoded, 1 some files or entries could not be read, 2 usage or key error."));
    parser.addHelpOption();
    const QCommandLineOption keyOption(QStringLiteral("key"), QStringLiteral("RSA private key (PEM or DER) of the log key pair."),
                                       QStringLiteral("PRIVATE.pem"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Print one JSON object per line."));
    parser.addOption(keyOption);
    parser.addOption(jsonOption);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Log files to decode."), QStringLiteral("FILES..."));
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    if (!parser.isSet(keyOption) || files.isEmpty()) {
        write(stderr, parser.helpText().toUtf8());
        return 2;
    }
    QFile keyFile(parser.value(keyOption));
    if (!keyFile.open(QIODevice::ReadOnly)) {
        write(stderr, (keyFile.fileName() + QStringLiteral(": ") + keyFile.errorString()).toUtf8());
        return 2;
    }
    const std::unique_ptr<LogDecoder> decoder = LogDecoder::fromPrivateKey(keyFile.readAll());
    if (!decoder) {
        write(stderr, (keyFile.fileName() + QStringLiteral(": not an RSA private key")).toUtf8());
        return 2;
    }

    QList<LogDecoder::Entry> entries;
    QStringList problems;
    for (const QString &file : files)
        decoder->decodeFile(file, entries, problems);
    LogDecoder::sortByTime(entries);
    const bool json = parser.isSet(jsonOption);
    for (const LogDecoder::Entry &entry : std::as_const(entries))
        write(stdout, json ? LogDecoder::jsonLine(entry) : LogDecoder::textLine(entry).toUtf8());
    for (const QString &problem : std::as_const(problems))
        write(stderr, problem.toUtf8());
    return problems.isEmpty() ? 0 : 1;
}
