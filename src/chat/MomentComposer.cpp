#include "MomentComposer.h"

#include "APIService.h"
#include "Graphemes.h"
#include "SecureLogger.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

MomentComposer::MomentComposer(QObject *parent) : QObject(parent), m_images(new DraftImageList(this))
{
    m_images->setLimit(maxImages);
    connect(m_images, &DraftImageList::countChanged, this, &MomentComposer::canAddImageChanged);
    m_post = [](const QString &token, const QString &text, const QList<QByteArray> &jpegs, QObject *context,
                std::function<void(const Result<Moment> &)> done) {
        APIService::shared().postMoment(token, text, jpegs, context, std::move(done));
    };
}

void MomentComposer::setText(const QString &text)
{
    const int count = Graphemes::count(text);
    const bool cut = count > maxCharacters;
    const QString kept = cut ? Graphemes::prefix(text, maxCharacters) : text;
    // A cut text is announced even when it equals the old one: the editor still holds the longer
    // text and must be set back.
    if (kept == m_text && !cut)
        return;
    m_text = kept;
    m_characterCount = cut ? maxCharacters : count;
    Q_EMIT textChanged();
}

void MomentComposer::post()
{
    if (m_isLoading)
        return;
    // Blanks count as content.
    if (m_text.isEmpty() && m_images->count() == 0) {
        setMessage(QStringLiteral("内容不能为空"));
        return;
    }
    setLoading(true);
    const QList<QImage> images = m_images->images();
    auto *watcher = new QFutureWatcher<QList<QByteArray>>(this);
    connect(watcher, &QFutureWatcher<QList<QByteArray>>::finished, this, [this, watcher] {
        watcher->deleteLater();
        send(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([images] {
        QList<QByteArray> jpegs;
        for (const QImage &image : images) {
            // An image that fails to encode is left out.
            if (QByteArray jpeg = DraftImageList::encodeJpeg(image); !jpeg.isEmpty())
                jpegs.append(std::move(jpeg));
        }
        return jpegs;
    }));
}

void MomentComposer::send(const QList<QByteArray> &jpegs)
{
    if (m_token.isEmpty()) {
        setLoading(false);
        Q_EMIT finished();
        return;
    }
    SecureLogger::shared().log(QStringLiteral("post moment, textLen=%1, images=%2").arg(m_characterCount).arg(jpegs.size()),
                               LogLevel::Debug, QStringLiteral("UI"));
    m_post(m_token, m_text, jpegs, this, [self = QPointer(this)](const Result<Moment> &result) {
        if (!self)
            return;
        self->setLoading(false);
        if (result)
            Q_EMIT self->finished();
        else
            self->setMessage(result.error());
    });
}

void MomentComposer::setLoading(bool loading)
{
    if (loading == m_isLoading)
        return;
    m_isLoading = loading;
    Q_EMIT isLoadingChanged();
}

void MomentComposer::setMessage(const QString &message)
{
    if (message == m_message)
        return;
    m_message = message;
    Q_EMIT messageChanged();
}
