#include "ChatComposer.h"

#include "APIService.h"
#include "ChatViewModel.h"
#include "DraftImageList.h"
#include "Graphemes.h"
#include "RecordVariants.h"
#include "SecureLogger.h"

#include <QDateTime>

// One sending run with images: the uploads go one at a time and the message follows. It belongs to
// the chat state, not the screen, so closing the chat screen mid-run still sends the message.
struct ChatComposer::SendRun
{
    RoomType room;
    QString text;
    QString typed;
    QString token;
    QList<QImage> images;
    QStringList urls;
    // The images whose upload succeeded; the others stay picked for another try.
    QList<QImage> uploaded;
    QPointer<ChatViewModel> chat;
    QPointer<ChatComposer> composer;
    Upload upload;
};

void ChatComposer::uploadFrom(const std::shared_ptr<SendRun> &run, qsizetype index)
{
    if (!run->chat)
        return;
    for (; index < run->images.size(); ++index) {
        const QByteArray jpeg = DraftImageList::encodeJpeg(run->images.at(index));
        if (jpeg.isEmpty() || run->token.isEmpty())
            continue;
        run->upload(run->token, jpeg, run->chat, [run, index](const Result<ImageUploadResponse> &result) {
            if (!run->chat)
                return;
            if (result) {
                run->urls.append(result->url);
                run->uploaded.append(run->images.at(index));
            } else
                run->chat->showToast(QStringLiteral("图片上传失败: ") + result.error());
            uploadFrom(run, index + 1);
        });
        return;
    }
    run->chat->sendMessageTo(run->room, run->text, run->urls);
    if (run->composer) {
        run->composer->finishSend(run->typed, run->uploaded);
        run->composer->setSending(false);
    }
}

ChatComposer::ChatComposer(QObject *parent)
    : QObject(parent), m_drafts(new DraftImageList(this)), m_currentUserId(ChatViewModel::currentUserId())
{
    m_nowMs = [] { return QDateTime::currentMSecsSinceEpoch(); };
    m_upload = [](const QString &token, const QByteArray &jpeg, QObject *context,
                  std::function<void(const Result<ImageUploadResponse> &)> done) {
        APIService::shared().uploadMessageImage(token, jpeg, context, std::move(done));
    };
    connect(m_drafts, &DraftImageList::countChanged, this, &ChatComposer::canSendChanged);
}

ChatComposer::~ChatComposer() = default;

void ChatComposer::setChat(ChatViewModel *chat)
{
    if (chat == m_chat)
        return;
    if (m_chat)
        disconnect(m_chat, nullptr, this, nullptr);
    m_chat = chat;
    if (m_chat) {
        connect(m_chat, &ChatViewModel::friendsChanged, this, &ChatComposer::mentionChanged);
        connect(m_chat, &ChatViewModel::groupsChanged, this, &ChatComposer::mentionChanged);
        connect(m_chat, &ChatViewModel::groupsChanged, this, &ChatComposer::roomSubtitleChanged);
        connect(m_chat, &ChatViewModel::onlineUsersChanged, this, &ChatComposer::roomSubtitleChanged);
    }
    Q_EMIT chatChanged();
    Q_EMIT mentionChanged();
    Q_EMIT roomSubtitleChanged();
}

QVariant ChatComposer::roomVariant() const
{
    return QVariant::fromValue(m_room);
}

void ChatComposer::setRoomVariant(const QVariant &room)
{
    if (room.metaType() == QMetaType::fromType<RoomType>())
        setRoom(room.value<RoomType>());
}

void ChatComposer::setRoom(const RoomType &room)
{
    m_room = room;
    Q_EMIT roomChanged();
    Q_EMIT mentionChanged();
    Q_EMIT roomSubtitleChanged();
}

void ChatComposer::setToken(const QString &token)
{
    if (token == m_token)
        return;
    m_token = token;
    Q_EMIT tokenChanged();
}

bool ChatComposer::canSend() const
{
    return !m_isSending && (!m_messageText.isEmpty() || m_drafts->count() > 0);
}

QString ChatComposer::roomSubtitle() const
{
    if (!m_chat)
        return {};
    if (m_room.isDm())
        return m_chat->onlineUsers().contains(m_room.peerId()) ? QStringLiteral("在线") : QStringLiteral("离线");
    if (m_room.isGroup()) {
        if (const auto group = m_chat->group(m_room.gid()))
            return QString::number(group->members.size()) + QStringLiteral(" 人");
    }
    return {};
}

QList<User> ChatComposer::mentionUsers() const
{
    if (!m_chat)
        return {};
    switch (m_room.kind()) {
    case RoomType::Kind::Dm:
        if (const auto peer = m_chat->user(m_room.peerId()))
            return {*peer};
        return {};
    case RoomType::Kind::Group: {
        QList<User> users;
        const auto group = m_chat->group(m_room.gid());
        if (!group)
            return users;
        for (const QString &id : group->members) {
            if (id == m_currentUserId)
                continue;
            if (const auto user = m_chat->user(id))
                users.append(*user);
        }
        return users;
    }
    case RoomType::Kind::Global:
        return m_chat->friends();
    }
    return {};
}

QList<User> ChatComposer::filteredMentionUsers() const
{
    QList<User> users = mentionUsers();
    if (m_mentionSearchText.isEmpty())
        return users;
    const QString search = m_mentionSearchText.toLower();
    users.removeIf([&search](const User &user) { return !user.username.toLower().contains(search); });
    return users;
}

QVariantList ChatComposer::filteredMentionUsersVariant() const
{
    return RecordVariants::toVariantList(filteredMentionUsers());
}

void ChatComposer::handleTextChange(const QString &text)
{
    setMessageText(text);
    if (text.endsWith(QLatin1Char('@'))) {
        setMention(true, QString());
        return;
    }
    const qsizetype at = text.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString after = text.mid(at + 1);
        if (!after.contains(QLatin1Char(' ')) && !after.contains(QLatin1Char('\n'))) {
            setMention(true, after);
            return;
        }
    }
    setMention(false, QString());
}

void ChatComposer::insertMention(const QString &username)
{
    const qsizetype at = m_messageText.lastIndexOf(QLatin1Char('@'));
    const QString kept = at >= 0 ? m_messageText.left(at) : m_messageText;
    setMessageText(kept + QLatin1Char('@') + username + QLatin1Char(' '));
    setMention(false, QString());
}

void ChatComposer::mentionSender(const QString &fromName)
{
    QString text = m_messageText;
    if (!text.isEmpty() && !text.endsWith(QLatin1Char(' ')))
        text += QLatin1Char(' ');
    setMessageText(text + QLatin1Char('@') + fromName + QLatin1Char(' '));
    setMention(false, QString());
}

void ChatComposer::send()
{
    if (m_isSending || !m_chat)
        return;
    const QString typed = m_messageText;
    const QString text = typed.trimmed();
    if (text.isEmpty() && m_drafts->count() == 0)
        return;
    const qint64 now = m_nowMs();
    if (now - m_lastSendAttemptMs < sendGapMs) {
        m_chat->showToast(QStringLiteral("发送太快了，稍等一下"));
        return;
    }
    m_lastSendAttemptMs = now;
    SecureLogger::shared().log(QStringLiteral("send message, textLen=%1, images=%2")
                                   .arg(Graphemes::count(text))
                                   .arg(m_drafts->count()),
                               LogLevel::Debug, QStringLiteral("Chat"));

    if (m_drafts->count() == 0) {
        m_chat->sendMessageTo(m_room, text, {});
        finishSend(typed, {});
        return;
    }

    setSending(true);
    auto run = std::make_shared<SendRun>();
    run->room = m_room;
    run->text = text;
    run->typed = typed;
    run->token = m_token;
    run->images = m_drafts->images();
    run->chat = m_chat;
    run->composer = this;
    run->upload = m_upload;
    uploadFrom(run, 0);
}

void ChatComposer::finishSend(const QString &typed, const QList<QImage> &sentImages)
{
    // What was typed or picked while the images were uploading stays for the next message.
    if (m_messageText == typed) {
        setMessageText(QString());
        setMention(false, QString());
    }
    for (const QImage &image : sentImages) {
        const QList<QImage> &drafts = m_drafts->images();
        for (qsizetype i = 0; i < drafts.size(); ++i) {
            if (drafts.at(i).cacheKey() == image.cacheKey()) {
                m_drafts->remove(int(i));
                break;
            }
        }
    }
}

void ChatComposer::setMessageText(const QString &text)
{
    if (text == m_messageText)
        return;
    const bool couldSend = canSend();
    m_messageText = text;
    Q_EMIT messageTextChanged();
    if (couldSend != canSend())
        Q_EMIT canSendChanged();
}

void ChatComposer::setMention(bool show, const QString &search)
{
    if (show == m_showMentionPanel && search == m_mentionSearchText)
        return;
    m_showMentionPanel = show;
    m_mentionSearchText = search;
    Q_EMIT mentionChanged();
}

void ChatComposer::setSending(bool sending)
{
    if (sending == m_isSending)
        return;
    m_isSending = sending;
    Q_EMIT isSendingChanged();
    Q_EMIT canSendChanged();
}
