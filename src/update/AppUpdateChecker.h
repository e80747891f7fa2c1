#pragma once
// Looks for a newer build in the update server's version file. At start the application runs a
// silent check (at most one fetch a day per process); from the profile screen the user runs the
// interactive check, a strict sequence of alerts that the update dialog presents from this object's
// state: checking → up to date | failed | new version → downloading → failed | downloaded.
#include "AppUpdateInfo.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>
#include <chrono>
#include <functional>
#include <optional>

class PackageDownload;
class QJSEngine;
class QNetworkAccessManager;
class QQmlEngine;

class AppUpdateChecker : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(Stage stage READ stage NOTIFY alertChanged)
    Q_PROPERTY(bool alertVisible READ alertVisible NOTIFY alertChanged)
    Q_PROPERTY(QString alertTitle READ alertTitle NOTIFY alertChanged)
    Q_PROPERTY(QString alertMessage READ alertMessage NOTIFY alertChanged)
    Q_PROPERTY(QStringList alertButtons READ alertButtons NOTIFY alertChanged)

public:
    enum Stage { Idle, Checking, UpToDate, CheckFailed, UpdateAvailable, Downloading, DownloadFailed, Downloaded };
    Q_ENUM(Stage)

    static constexpr qint64 silentCheckIntervalSeconds = 86400;

    using Clock = std::function<QDateTime()>;
    using Completion = std::function<void(const std::optional<AppUpdateInfo> &)>;
    // Hands a downloaded package to the user; the default reveals its folder and copies its path.
    using FileHandOff = std::function<void(const QString &path)>;

    static AppUpdateChecker &shared();
    static AppUpdateChecker *create(QQmlEngine *, QJSEngine *);

    // `updateBaseURL` is the update server (scheme and host); nothing as the current version means
    // the build carries none. Without a network manager the process's shared session is used.
    AppUpdateChecker(const QString &updateBaseURL, std::optional<QString> currentVersion,
                     QNetworkAccessManager *network = nullptr, QObject *parent = nullptr);
    ~AppUpdateChecker() override;

    static QString versionPath() { return QStringLiteral("/downloads/zephlin/version.json"); }
    // Points the checker at another update server (self-hosting builds, tests).
    void setUpdateBaseURL(const QString &updateBaseURL) { m_versionURL = updateBaseURL + versionPath(); }
    std::optional<QString> currentVersion() const { return m_currentVersion; }
    bool isNewerThanCurrent(const AppUpdateInfo &info) const { return info.isNewerThan(m_currentVersion); }

    void setClock(Clock clock) { m_clock = std::move(clock); }
    // How long the version file and the package may go without any data moving before they fail:
    // the REST client's timeout unless a test shortens it.
    void setRequestTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    void setFileHandOff(FileHandOff handOff) { m_handOff = std::move(handOff); }

    // Calls back (on `context`'s thread, while it lives) with the info when a newer version is
    // available, else with nothing; does not call back at all when a check ran within the last day.
    void checkSilently(QObject *context, Completion completion);

    // The interactive check: presents "checking", then the outcome. Not throttled.
    Q_INVOKABLE void checkAndPrompt();
    // The user pressed the alert's button at `index` (in alertButtons order).
    Q_INVOKABLE void chooseButton(int index);

    Stage stage() const { return m_stage; }
    bool alertVisible() const { return m_stage != Idle; }
    QString alertTitle() const { return m_title; }
    QString alertMessage() const { return m_message; }
    QStringList alertButtons() const { return m_buttons; }

Q_SIGNALS:
    void alertChanged();

private:
    // Fetches and decodes the version file; `transportError` is set when no answer arrived at all.
    void fetchVersionFile(std::function<void(const std::optional<AppUpdateInfo> &, const QString &transportError)> done);
    void present(Stage stage, const QString &title, const QString &message, const QStringList &buttons = {});
    void showUpdateAlert(const AppUpdateInfo &info);
    void startDownload(const AppUpdateInfo &info);
    void showError(const QString &message);
    QNetworkAccessManager &network() const;

    QString m_versionURL;
    std::optional<QString> m_currentVersion;
    QNetworkAccessManager *m_network;
    std::chrono::milliseconds m_timeout;
    Clock m_clock;
    FileHandOff m_handOff;
    std::optional<QDateTime> m_lastCheckDate; // in memory only: every launch checks once

    Stage m_stage = Idle;
    QString m_title;
    QString m_message;
    QStringList m_buttons;
    std::optional<AppUpdateInfo> m_offered;
    QPointer<PackageDownload> m_download;
};
