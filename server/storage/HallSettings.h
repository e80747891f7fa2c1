#pragma once
// Site-wide settings the administrators change at run time: hall name, online limit, announcement.
#include <QString>

class Database;

class HallSettings
{
public:
    explicit HallSettings(Database &db) : m_db(db) {}

    QString hallName();
    bool setHallName(const QString &name);
    int maxOnline();
    bool setMaxOnline(int value);
    QString announcement();
    bool setAnnouncement(const QString &text);

    static int defaultMaxOnline() { return 1000; }

private:
    QString value(const QString &key, const QString &fallback);
    bool setValue(const QString &key, const QString &value);
    Database &m_db;
};
