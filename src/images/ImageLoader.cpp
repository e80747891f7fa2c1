#include "ImageLoader.h"

#include "ImageCacheManager.h"

ImageLoader::ImageLoader(QObject *parent) : QObject(parent)
{
    // A load given up (the cache went away with the process) leaves the loader as it is.
    connect(&m_load, &QFutureWatcher<QImage>::finished, this, [this] {
        if (m_load.future().resultCount() > 0)
            finish(m_load.result());
    });
}

void ImageLoader::setSource(const QString &source)
{
    if (source == m_source)
        return;
    m_source = source;
    // A result for the earlier source is dropped.
    m_load.setFuture(QFuture<QImage>());
    Q_EMIT sourceChanged();

    if (!m_image.isNull()) {
        m_image = QImage();
        Q_EMIT imageChanged();
    }
    if (source.isEmpty()) {
        setLoadState(Idle);
        return;
    }
    ImageCacheManager &cache = ImageCacheManager::shared();
    if (const QImage cached = cache.cachedImage(source, m_viewSize); !cached.isNull()) {
        finish(cached);
        return;
    }
    setLoadState(Loading);
    m_load.setFuture(cache.loadImage(source, m_viewSize));
}

void ImageLoader::finish(const QImage &image)
{
    m_image = image;
    if (!image.isNull())
        Q_EMIT imageChanged();
    setLoadState(image.isNull() ? Failed : Loaded);
}

void ImageLoader::setLoadState(LoadState state)
{
    if (state == m_loadState)
        return;
    m_loadState = state;
    Q_EMIT loadStateChanged();
}
