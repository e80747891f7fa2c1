#pragma once
// Limits an operator may change when starting the server: "--limit NAME=VALUE", repeatable, with the
// names of the Limits members (for example --limit connectionsPerAddress=500 behind a proxy).
#include <QString>
#include <QStringList>

struct Limits;

class LimitOverrides
{
public:
    static QString optionName() { return QStringLiteral("--limit"); }
    // Applies every override in the arguments; false with `problem` set for an unknown name or a bad value.
    static bool apply(const QStringList &arguments, Limits &limits, QString *problem);
};
