#pragma once
// The changelog's cards for the view: one row per released version, newest first.
#include "VersionLog.h"

#include <QAbstractListModel>
#include <QtQml/qqmlregistration.h>

class ChangelogModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT

public:
    enum Role {
        VersionRole = Qt::UserRole + 1, // "version": e.g. "v2.0.0"
        DateRole,                       // "date": free text
        BadgeRole,                      // "badge": "" for none
        BadgeColorRole,                 // "badgeColor": six hex digits
        ItemsRole,                      // "items": list of strings
    };

    explicit ChangelogModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<VersionLog> m_logs;
};
