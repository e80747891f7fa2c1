#pragma once
// Loads one image for a view through the shared cache. A cached image (memory or disk) is found
// synchronously when the source is set, so it shows in the first frame and the state goes straight
// from idle to loaded; only a download passes through loading. The image is decoded no larger than
// the view size given before the source (in pixels; empty: the image's own size).
#include <QFutureWatcher>
#include <QImage>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class ImageLoader : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(LoadState loadState READ loadState NOTIFY loadStateChanged)

public:
    enum LoadState { Idle, Loading, Loaded, Failed };
    Q_ENUM(LoadState)

    explicit ImageLoader(QObject *parent = nullptr);

    QString source() const { return m_source; }
    // Starts loading at once; an empty source leaves the loader idle.
    void setSource(const QString &source);
    void setViewSize(const QSize &viewSize) { m_viewSize = viewSize; }

    LoadState loadState() const { return m_loadState; }
    QImage image() const { return m_image; }

Q_SIGNALS:
    void sourceChanged();
    void loadStateChanged();
    void imageChanged();

private:
    void finish(const QImage &image);
    void setLoadState(LoadState state);

    QString m_source;
    QSize m_viewSize;
    QImage m_image;
    LoadState m_loadState = Idle;
    // The download under way. A watcher, not a continuation with this loader as its context: in
    // Qt 6.4 such a continuation looks at its context on the thread that finishes the load, which
    // races with the loader being deleted on the main thread. The watcher lets go of the load
    // safely when it is deleted or handed the next one.
    QFutureWatcher<QImage> m_load;
};
