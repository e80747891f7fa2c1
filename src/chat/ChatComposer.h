#pragma once
// The chat screen's input for one room: the typed text with its @-mention tracking, the images
// picked and not yet sent, and the sending run (a 0.5 s gate, the images uploaded one at a time,
// then one message through the chat state). QML: ChatComposer, created by the chat screen.
#include "ChatViewModel.h"
#include "DraftImageList.h"
#include "ImageUploadResponse.h"
#include "Result.h"
#include "RoomType.h"
#include "User.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <memory>

class ChatComposer : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(ChatViewModel *chat READ chat WRITE setChat NOTIFY chatChanged)
    Q_PROPERTY(QVariant room READ roomVariant WRITE setRoomVariant NOTIFY roomChanged)
    // The session token the image uploads carry.
    Q_PROPERTY(QString token READ token WRITE setToken NOTIFY tokenChanged)
    Q_PROPERTY(QString messageText READ messageText NOTIFY messageTextChanged)
    Q_PROPERTY(bool showMentionPanel READ showMentionPanel NOTIFY mentionChanged)
    Q_PROPERTY(QString mentionSearchText READ mentionSearchText NOTIFY mentionChanged)
    Q_PROPERTY(QVariantList filteredMentionUsers READ filteredMentionUsersVariant NOTIFY mentionChanged)
    Q_PROPERTY(bool isSending READ isSending NOTIFY isSendingChanged)
    Q_PROPERTY(bool canSend READ canSend NOTIFY canSendChanged)
    Q_PROPERTY(DraftImageList *draftImages READ draftImages CONSTANT)
    // "在线"/"离线" for a direct room, "N 人" for a known group, "" otherwise.
    Q_PROPERTY(QString roomSubtitle READ roomSubtitle NOTIFY roomSubtitleChanged)
    Q_PROPERTY(QString currentUserId READ currentUserId CONSTANT)

public:
    using Upload = std::function<void(const QString &token, const QByteArray &jpeg, QObject *context,
                                      std::function<void(const Result<ImageUploadResponse> &)> done)>;
    static constexpr qint64 sendGapMs = 500;

    explicit ChatComposer(QObject *parent = nullptr);
    ~ChatComposer() override;

    ChatViewModel *chat() const { return m_chat; }
    void setChat(ChatViewModel *chat);
    QVariant roomVariant() const;
    void setRoomVariant(const QVariant &room);
    void setRoom(const RoomType &room);
    QString token() const { return m_token; }
    void setToken(const QString &token);

    QString messageText() const { return m_messageText; }
    bool showMentionPanel() const { return m_showMentionPanel; }
    QString mentionSearchText() const { return m_mentionSearchText; }
    bool isSending() const { return m_isSending; }
    bool canSend() const;
    DraftImageList *draftImages() const { return m_drafts; }
    QString roomSubtitle() const;
    QString currentUserId() const { return m_currentUserId; }

    // Who may be mentioned: the peer, the group's members other than the user, or the friends.
    QList<User> mentionUsers() const;
    QList<User> filteredMentionUsers() const;

    // Every edit of the input field comes through here.
    Q_INVOKABLE void handleTextChange(const QString &text);
    Q_INVOKABLE void insertMention(const QString &username);
    // A long press on a sender's avatar in a group: "@name " at the end of the text.
    Q_INVOKABLE void mentionSender(const QString &fromName);
    // Escape in the field: the list closes until the next edit.
    Q_INVOKABLE void dismissMention() { setMention(false, QString()); }
    // From the Return key or the send button.
    Q_INVOKABLE void send();

    // Seams for tests.
    void setClock(std::function<qint64()> nowMs) { m_nowMs = std::move(nowMs); }
    void setUpload(Upload upload) { m_upload = std::move(upload); }

Q_SIGNALS:
    void chatChanged();
    void roomChanged();
    void tokenChanged();
    void messageTextChanged();
    void mentionChanged();
    void isSendingChanged();
    void canSendChanged();
    void roomSubtitleChanged();

private:
    struct SendRun;
    static void uploadFrom(const std::shared_ptr<SendRun> &run, qsizetype index);
    void setMessageText(const QString &text);
    void setMention(bool show, const QString &search);
    void setSending(bool sending);
    // Clears what was sent: the text unless it changed meanwhile, and the sent images.
    void finishSend(const QString &typed, const QList<QImage> &sentImages);
    QVariantList filteredMentionUsersVariant() const;

    QPointer<ChatViewModel> m_chat;
    RoomType m_room;
    QString m_token;
    QString m_messageText;
    bool m_showMentionPanel = false;
    QString m_mentionSearchText;
    bool m_isSending = false;
    qint64 m_lastSendAttemptMs = std::numeric_limits<qint64>::min() / 2;
    DraftImageList *m_drafts;
    QString m_currentUserId;
    std::function<qint64()> m_nowMs;
    Upload m_upload;
};
