#include "GroupSettingsState.h"

#include "APIService.h"
#include "ChatViewModel.h"
#include "DraftImageList.h"
#include "KeychainHelper.h"
#include "RecordVariants.h"

#include <QImage>

namespace {

// The i-th entry of a list parallel to the members, when the list is long enough.
std::optional<QString> parallel(const std::optional<QStringList> &list, qsizetype i)
{
    if (list && i < list->size())
        return list->at(i);
    return std::nullopt;
}

} // namespace

GroupSettingsState::GroupSettingsState(QObject *parent) : QObject(parent) {}

void GroupSettingsState::setChat(ChatViewModel *chat)
{
    if (chat == m_chat)
        return;
    if (m_chat)
        disconnect(m_chat, nullptr, this, nullptr);
    m_chat = chat;
    if (m_chat)
        connect(m_chat, &ChatViewModel::friendsChanged, this, &GroupSettingsState::availableFriendsChanged);
    takeGroup();
}

void GroupSettingsState::setGid(const QString &gid)
{
    if (gid == m_gid)
        return;
    m_gid = gid;
    takeGroup();
}

void GroupSettingsState::takeGroup()
{
    m_group = m_chat && !m_gid.isEmpty() ? m_chat->group(m_gid) : std::nullopt;
    Q_EMIT groupChanged();
    Q_EMIT availableFriendsChanged();
}

QVariantMap GroupSettingsState::groupVariant() const
{
    return m_group ? RecordVariants::toVariant(*m_group) : QVariantMap();
}

bool GroupSettingsState::isOwner() const
{
    return m_group && m_group->owner == ChatViewModel::currentUserId();
}

QVariantList GroupSettingsState::members() const
{
    QVariantList list;
    if (!m_group)
        return list;
    for (qsizetype i = 0; i < m_group->members.size(); ++i) {
        const QString &id = m_group->members.at(i);
        const std::optional<User> user = m_chat ? m_chat->user(id) : std::nullopt;
        const QString name = parallel(m_group->memberNames, i).value_or(user ? user->username : id);
        const QString avatar = parallel(m_group->memberAvatars, i)
                                   .value_or(user ? user->avatar.value_or(QString()) : QString());
        list.append(QVariantMap{ { QStringLiteral("id"), id },
                                 { QStringLiteral("name"), name },
                                 { QStringLiteral("avatar"), avatar },
                                 { QStringLiteral("isOwner"), id == m_group->owner } });
    }
    return list;
}

QVariantList GroupSettingsState::availableFriends() const
{
    QVariantList list;
    if (!m_chat)
        return list;
    for (const User &friendUser : m_chat->friends()) {
        if (!m_group || !m_group->members.contains(friendUser.id))
            list.append(RecordVariants::toVariant(friendUser));
    }
    return list;
}

void GroupSettingsState::uploadPicture(const QUrl &file)
{
    if (!m_group)
        return;
    const QImage image(file.toLocalFile());
    if (image.isNull())
        return;
    const QByteArray jpeg = DraftImageList::encodeJpeg(image);
    if (jpeg.isEmpty())
        return;
    const std::optional<QByteArray> token = KeychainHelper::shared().readData(QStringLiteral("zp_token"));
    if (!token || token->isEmpty())
        return;
    APIService::shared().uploadGroupAvatar(QString::fromUtf8(*token), m_group->id, jpeg, this,
                                           [this](Result<AvatarResponse> result) {
        if (!result) {
            setMessage(result.error());
            return;
        }
        if (m_chat)
            m_chat->showToast(QStringLiteral("群头像已更新"));
    });
}

void GroupSettingsState::setMessage(const QString &message)
{
    if (message == m_message)
        return;
    m_message = message;
    Q_EMIT messageChanged();
}
