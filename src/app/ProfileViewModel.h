#pragma once
// The profile tab's actions: the theme switch, the new avatar (re-encoded as JPEG and uploaded),
// the debug-log export handed to the user, sign-out, and the diagnostic line each menu action
// leaves in the encrypted log.
#include "AppState.h"
#include "AvatarResponse.h"
#include "LogLevel.h"
#include "Result.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <optional>

class ProfileViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(AppState *appState MEMBER m_appState NOTIFY appStateChanged)
    // The last exported log file, and the message that says where it is.
    Q_PROPERTY(QString logSharePath READ logSharePath NOTIFY logShareChanged)
    Q_PROPERTY(QString logShareMessage READ logShareMessage NOTIFY logShareChanged)

public:
    using LogSink = std::function<void(const QString &message, LogLevel level, const QString &module)>;
    using Upload = std::function<void(const QString &token, const QByteArray &jpeg, QObject *context,
                                      std::function<void(Result<AvatarResponse>)> done)>;
    using Exporter = std::function<std::optional<QUrl>()>;
    // Shows an exported file to the user (its path goes to the clipboard in any case).
    using HandOff = std::function<void(const QString &path)>;

    explicit ProfileViewModel(QObject *parent = nullptr);

    QString logSharePath() const { return m_logSharePath; }
    QString logShareMessage() const;

    // DEBUG "UI" "open " + what, for the menu rows that open a sheet.
    Q_INVOKABLE void noteOpen(const QString &what);
    Q_INVOKABLE void toggleTheme();
    // A picked file: anything that does not decode as an image changes nothing.
    Q_INVOKABLE void changeAvatar(const QUrl &file);
    // True when a file was exported (and handed over); nothing is shown otherwise.
    Q_INVOKABLE bool exportLog();
    Q_INVOKABLE void logout();

    void setLogSink(LogSink sink) { m_log = std::move(sink); }
    void setUpload(Upload upload) { m_upload = std::move(upload); }
    void setExporter(Exporter exporter) { m_export = std::move(exporter); }
    void setHandOff(HandOff handOff) { m_handOff = std::move(handOff); }

Q_SIGNALS:
    void appStateChanged();
    void logShareChanged();
    // An avatar upload failed: the text for the chat state's toast.
    void avatarFailed(const QString &error);

private:
    QPointer<AppState> m_appState;
    QString m_logSharePath;
    LogSink m_log;
    Upload m_upload;
    Exporter m_export;
    HandOff m_handOff;
};
