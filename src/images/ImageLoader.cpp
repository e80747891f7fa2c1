#include "ImageLoader.h"

#include "ImageCacheManager.h"

ImageLoader::ImageLoader(QObject *parent) : QObject(parent) {}

void ImageLoader::setSource(const QString &source)
{
    if (source == m_source)
        return;
    m_source = source;
    const quint64 generation = ++m_generation;
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
    // The context object drops the continuation when the loader is gone.
    cache.loadImage(source, m_viewSize).then(this, [this, generation](const QImage &image) {
        if (generation == m_generation)
            finish(image);
    });
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
