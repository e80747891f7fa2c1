// Zephlin: a chat client for one self-hosted chat server.
#include "ScreenshotTour.h"
#include "StartupReport.h"
#include "ZephlinApplication.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Zephlin_AppPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ChatPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ImagesPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_UpdatePlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ScreensPlugin)

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    ZephlinApplication::configure(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Zephlin chat client"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption caFile(QStringLiteral("ca-file"), QStringLiteral("Extra trusted CA certificates (PEM)."),
                                    QStringLiteral("file"));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Store this chat server base URL before starting."), QStringLiteral("url"));
    const QCommandLineOption shots(QStringLiteral("shots"),
                                   QStringLiteral("Walk every screen and save PNG pictures to the folder, then quit."),
                                   QStringLiteral("folder"));
    const QCommandLineOption shotsUser(QStringLiteral("shots-user"), QStringLiteral("Account for the tour."), QStringLiteral("name"));
    const QCommandLineOption shotsPassword(QStringLiteral("shots-password"), QStringLiteral("Its password."),
                                           QStringLiteral("password"));
    const QCommandLineOption startupReport(QStringLiteral("startup-report"),
                                           QStringLiteral("Print start-up milestones and peak memory, then quit."));
    parser.addOptions({caFile, server, shots, shotsUser, shotsPassword, startupReport});
    parser.process(app);

    ZephlinApplication::Options options;
    options.caFile = parser.isSet(caFile) ? parser.value(caFile) : qEnvironmentVariable("ZEPHLIN_CA_FILE");
    options.serverURL = parser.value(server);
    options.silentUpdateCheck = !parser.isSet(shots) && !parser.isSet(startupReport);
    ZephlinApplication zephlin(options);
    if (!zephlin.showRootView())
        return 1;

    if (parser.isSet(startupReport))
        new StartupReport(zephlin, &zephlin);
    if (parser.isSet(shots)) {
        auto *tour = new ScreenshotTour(zephlin, {parser.value(shots), parser.value(shotsUser), parser.value(shotsPassword)},
                                        &zephlin);
        QObject::connect(tour, &ScreenshotTour::finished, &app, &QCoreApplication::exit);
        tour->start();
    }
    return app.exec();
}
