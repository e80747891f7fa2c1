#include "ProfileViewModel.h"

#include "APIService.h"
#include "DraftImageList.h"
#include "SecureLogger.h"
#include "SystemClipboard.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QImageReader>

namespace {

// Shows the file's folder in the file manager, where there is one.
void revealFile(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

} // namespace

ProfileViewModel::ProfileViewModel(QObject *parent)
    : QObject(parent),
      m_log([](const QString &message, LogLevel level, const QString &module) {
          SecureLogger::shared().log(message, level, module);
      }),
      m_upload([](const QString &token, const QByteArray &jpeg, QObject *context,
                  std::function<void(Result<AvatarResponse>)> done) {
          APIService::shared().uploadAvatar(token, jpeg, context, std::move(done));
      }),
      m_export([] { return SecureLogger::shared().exportLog(); }),
      m_handOff(revealFile)
{
}

QString ProfileViewModel::logShareMessage() const
{
    if (m_logSharePath.isEmpty())
        return QString();
    return QStringLiteral("调试日志已导出到：\n%1\n路径已复制到剪贴板").arg(m_logSharePath);
}

void ProfileViewModel::noteOpen(const QString &what)
{
    m_log(QStringLiteral("open ") + what, LogLevel::Debug, QStringLiteral("UI"));
}

void ProfileViewModel::toggleTheme()
{
    if (!m_appState)
        return;
    const AppState::Theme next = m_appState->theme() == AppState::Theme::Dark ? AppState::Theme::Light : AppState::Theme::Dark;
    m_appState->setTheme(next);
    m_log(QStringLiteral("theme switched to ") + AppState::themeName(next), LogLevel::Info, QStringLiteral("Settings"));
}

void ProfileViewModel::changeAvatar(const QUrl &file)
{
    m_log(QStringLiteral("change avatar"), LogLevel::Info, QStringLiteral("Settings"));
    QImageReader reader(file.toLocalFile());
    reader.setAutoTransform(true);
    const QByteArray jpeg = DraftImageList::encodeJpeg(reader.read());
    if (jpeg.isEmpty() || !m_appState || !m_appState->token())
        return;
    m_upload(*m_appState->token(), jpeg, this, [this](Result<AvatarResponse> answer) {
        if (!answer) {
            Q_EMIT avatarFailed(answer.error());
            return;
        }
        if (!m_appState || !m_appState->currentUser())
            return;
        User user = *m_appState->currentUser();
        user.avatar = answer.value().avatar;
        m_appState->setCurrentUser(user);
    });
}

bool ProfileViewModel::exportLog()
{
    m_log(QStringLiteral("export debug log"), LogLevel::Info, QStringLiteral("Settings"));
    const std::optional<QUrl> file = m_export();
    if (!file)
        return false;
    // The desktop's share sheet: the folder revealed, the path on the clipboard, a message.
    m_logSharePath = file->toLocalFile();
    m_handOff(m_logSharePath);
    SystemClipboard::setText(m_logSharePath);
    Q_EMIT logShareChanged();
    return true;
}

void ProfileViewModel::logout()
{
    m_log(QStringLiteral("user logout"), LogLevel::Info, QStringLiteral("Auth"));
    if (m_appState)
        m_appState->logout();
}
