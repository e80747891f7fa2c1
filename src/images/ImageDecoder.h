#pragma once
// Turns downloaded or cached bytes into an image for the screen. What an image costs in memory is
// its decoded size, not its file size: a 126 KB PNG can decode to more than 100 MiB. So an image is
// decoded no larger than the view that shows it, and one with more pixels than any screen needs is
// refused outright (the view shows its placeholder).
#include <QByteArray>
#include <QImage>
#include <QSize>

namespace ImageDecoder {

// 24 megapixels (a 6000 × 4000 photo, about 92 MiB decoded) is the largest image decoded at all.
inline constexpr qint64 maxPixels = 24'000'000;

// Decodes `bytes`, scaled down (aspect ratio kept) to just cover `viewSize` when the image is larger
// in both directions; an empty `viewSize` keeps the image's own size. Null when the bytes are not an
// image or the image has more than maxPixels.
QImage decode(const QByteArray &bytes, const QSize &viewSize = {});

// The bytes the decoded image occupies as drawn: width × height × 4.
inline qint64 decodedBytes(const QImage &image)
{
    return qint64(image.width()) * image.height() * 4;
}

} // namespace ImageDecoder
