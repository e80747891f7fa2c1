#include "cli/LimitOverrides.h"

#include "core/Limits.h"

#include <QHash>
#include <type_traits>
#include <variant>

namespace {
using Field = std::variant<int Limits::*, qint64 Limits::*, double Limits::*>;

const QHash<QString, Field> &fields()
{
    static const QHash<QString, Field> table = {
        {QStringLiteral("authTimeoutMs"), &Limits::authTimeoutMs},
        {QStringLiteral("commandBurst"), &Limits::commandBurst},
        {QStringLiteral("commandsPerSecond"), &Limits::commandsPerSecond},
        {QStringLiteral("connectionsPerAddress"), &Limits::connectionsPerAddress},
        {QStringLiteral("connectionsPerUser"), &Limits::connectionsPerUser},
        {QStringLiteral("failedLoginsPerAddress"), &Limits::failedLoginsPerAddress},
        {QStringLiteral("failedLoginsPerName"), &Limits::failedLoginsPerName},
        {QStringLiteral("handshakeTimeoutMs"), &Limits::handshakeTimeoutMs},
        {QStringLiteral("httpIdleTimeoutMs"), &Limits::httpIdleTimeoutMs},
        {QStringLiteral("imageCheckQueue"), &Limits::imageCheckQueue},
        {QStringLiteral("imageCheckThreads"), &Limits::imageCheckThreads},
        {QStringLiteral("maxCommentsPerMoment"), &Limits::maxCommentsPerMoment},
        {QStringLiteral("maxConnections"), &Limits::maxConnections},
        {QStringLiteral("maxFeedBytes"), &Limits::maxFeedBytes},
        {QStringLiteral("momentActionBurst"), &Limits::momentActionBurst},
        {QStringLiteral("momentActionsPerSecond"), &Limits::momentActionsPerSecond},
        {QStringLiteral("nodeTimeoutMs"), &Limits::nodeTimeoutMs},
        {QStringLiteral("passwordQueue"), &Limits::passwordQueue},
        {QStringLiteral("presenceBytesPerSecond"), &Limits::presenceBytesPerSecond},
        {QStringLiteral("passwordThreads"), &Limits::passwordThreads},
        {QStringLiteral("registrationsPerAddress"), &Limits::registrationsPerAddress},
        {QStringLiteral("requestDeadlineMs"), &Limits::requestDeadlineMs},
        {QStringLiteral("sessionsPerUser"), &Limits::sessionsPerUser},
        {QStringLiteral("signInBurst"), &Limits::signInBurst},
        {QStringLiteral("signInsPerSecond"), &Limits::signInsPerSecond},
        {QStringLiteral("uploadBurst"), &Limits::uploadBurst},
        {QStringLiteral("uploadsPerSecond"), &Limits::uploadsPerSecond},
    };
    return table;
}
} // namespace

bool LimitOverrides::apply(const QStringList &arguments, Limits &limits, QString *problem)
{
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) != optionName())
            continue;
        const QString assignment = arguments.at(i + 1);
        const QString name = assignment.section(u'=', 0, 0);
        const auto field = fields().constFind(name);
        bool ok = false;
        const double value = assignment.section(u'=', 1).toDouble(&ok);
        if (field == fields().constEnd() || !ok || value < 0) {
            *problem = QStringLiteral("--limit needs NAME=VALUE with a known name and a number ≥ 0: ") + assignment;
            return false;
        }
        std::visit([&limits, value](auto member) { limits.*member = std::remove_reference_t<decltype(limits.*member)>(value); }, *field);
    }
    return true;
}
