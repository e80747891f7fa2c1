#pragma once
// The posting form's state: the text (cut to 2000 user-perceived characters however it arrives),
// up to nine picked images, and the post itself over REST. A post that reaches the server closes
// the form; the feed shows it when the server's moments update arrives. QML: MomentComposer.
#include "DraftImageList.h"
#include "Moment.h"
#include "Result.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <functional>

class MomentComposer : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The session token, read when a post is about to be sent.
    Q_PROPERTY(QString token MEMBER m_token NOTIFY tokenChanged)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(int characterCount READ characterCount NOTIFY textChanged)
    Q_PROPERTY(DraftImageList *images READ images CONSTANT)
    Q_PROPERTY(bool canAddImage READ canAddImage NOTIFY canAddImageChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)

public:
    static constexpr int maxCharacters = 2000;
    static constexpr int maxImages = 9;
    using Post = std::function<void(const QString &token, const QString &text, const QList<QByteArray> &jpegs,
                                    QObject *context, std::function<void(const Result<Moment> &)> done)>;

    explicit MomentComposer(QObject *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    int characterCount() const { return m_characterCount; }
    DraftImageList *images() const { return m_images; }
    bool canAddImage() const { return m_images->count() < maxImages; }
    bool isLoading() const { return m_isLoading; }
    QString message() const { return m_message; }

    // From "发布": refuses an empty form, else encodes the images and sends the post.
    Q_INVOKABLE void post();

    // Seam for tests.
    void setPost(Post post) { m_post = std::move(post); }

Q_SIGNALS:
    void tokenChanged();
    void textChanged();
    void canAddImageChanged();
    void isLoadingChanged();
    void messageChanged();
    // The post went through, or there is no session to post with: the form closes.
    void finished();

private:
    void send(const QList<QByteArray> &jpegs);
    void setLoading(bool loading);
    void setMessage(const QString &message);

    QString m_token;
    QString m_text;
    int m_characterCount = 0;
    DraftImageList *m_images;
    bool m_isLoading = false;
    QString m_message;
    Post m_post;
};
