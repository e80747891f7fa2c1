#pragma once
// Images the user picked, pasted or dropped and has not sent yet, in that order. Each is decoded
// once when it is added; a file that does not decode as an image adds nothing. Sending encodes
// each as JPEG at quality 0.8. QML: DraftImageList, with a DraftThumbnail to show a row.
#include <QAbstractListModel>
#include <QImage>
#include <QList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class DraftImageList : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // 0: no limit; otherwise additions beyond it are refused.
    Q_PROPERTY(int limit READ limit WRITE setLimit NOTIFY limitChanged)

public:
    enum Roles { ImageRole = Qt::UserRole + 1 };

    explicit DraftImageList(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return int(m_images.size()); }
    int limit() const { return m_limit; }
    void setLimit(int limit);
    const QList<QImage> &images() const { return m_images; }

    // Each returns whether an image was added.
    Q_INVOKABLE bool addFile(const QUrl &file);
    Q_INVOKABLE bool addFromClipboard();
    bool addImage(const QImage &image);
    // Dropped files: every one that decodes is added; returns how many were.
    Q_INVOKABLE int addFiles(const QList<QUrl> &files);
    Q_INVOKABLE void remove(int index);
    Q_INVOKABLE void clear();

    // The image as JPEG at quality 0.8; empty when it cannot be encoded.
    static QByteArray encodeJpeg(const QImage &image);

Q_SIGNALS:
    void countChanged();
    void limitChanged();

private:
    QList<QImage> m_images;
    int m_limit = 0;
};
