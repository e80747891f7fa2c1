#pragma once
// One released version in the changelog: its items, and an optional coloured badge.
#include <QList>
#include <QString>
#include <QStringList>

struct VersionLog
{
    QString version;
    QString date;       // free text
    QString badge;      // empty: no badge
    QString badgeColor; // six hex digits, no "#"
    QStringList items;

    // What changed in each release, newest first; fixed in the program.
    static QList<VersionLog> releases();
};
