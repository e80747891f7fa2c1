#include "storage/HallSettings.h"

#include "storage/Database.h"

QString HallSettings::value(const QString &key, const QString &fallback)
{
    const QVariant stored = m_db.scalar(QStringLiteral("SELECT value FROM settings WHERE key = ?"), {key});
    return stored.isValid() ? stored.toString() : fallback;
}

bool HallSettings::setValue(const QString &key, const QString &value)
{
    return m_db.exec(QStringLiteral("INSERT INTO settings(key, value) VALUES(?, ?) "
                                    "ON CONFLICT(key) DO UPDATE SET value = excluded.value"),
                     {key, value});
}

QString HallSettings::hallName()
{
    return value(QStringLiteral("hallName"), QStringLiteral("公共大厅"));
}

bool HallSettings::setHallName(const QString &name)
{
    return setValue(QStringLiteral("hallName"), name);
}

int HallSettings::maxOnline()
{
    return value(QStringLiteral("maxOnline"), QString::number(defaultMaxOnline())).toInt();
}

bool HallSettings::setMaxOnline(int value)
{
    return setValue(QStringLiteral("maxOnline"), QString::number(value));
}

QString HallSettings::announcement()
{
    return value(QStringLiteral("announcement"), QString());
}

bool HallSettings::setAnnouncement(const QString &text)
{
    return setValue(QStringLiteral("announcement"), text);
}
