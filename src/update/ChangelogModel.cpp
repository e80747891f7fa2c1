#include "ChangelogModel.h"

ChangelogModel::ChangelogModel(QObject *parent) : QAbstractListModel(parent), m_logs(VersionLog::releases()) {}

int ChangelogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_logs.size());
}

QVariant ChangelogModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const VersionLog &log = m_logs.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case VersionRole:
        return log.version;
    case DateRole:
        return log.date;
    case BadgeRole:
        return log.badge;
    case BadgeColorRole:
        return log.badgeColor;
    case ItemsRole:
        return log.items;
    default:
        return {};
    }
}

QHash<int, QByteArray> ChangelogModel::roleNames() const
{
    return {{VersionRole, "version"}, {DateRole, "date"}, {BadgeRole, "badge"}, {BadgeColorRole, "badgeColor"},
            {ItemsRole, "items"}};
}
