#include "User.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"
#include "RecordHashing.h"

using namespace Qt::StringLiterals;

size_t qHash(const User &user, size_t seed)
{
    using RecordHashing::optional;
    return qHashMulti(seed, user.id, user.username, optional(user.avatar), optional(user.role),
                      optional(user.banned), optional(user.createdAt));
}

Result<User> JsonCodec<User>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "User");
    User user;
    fields.required("id"_L1, user.id);
    fields.required("username"_L1, user.username);
    fields.optional("avatar"_L1, user.avatar);
    fields.optional("role"_L1, user.role);
    fields.optional("banned"_L1, user.banned);
    fields.optional("createdAt"_L1, user.createdAt);
    return fields.finish(std::move(user));
}

QJsonValue JsonCodec<User>::encode(const User &user)
{
    return JsonObjectBuilder()
        .put("id"_L1, user.id)
        .put("username"_L1, user.username)
        .put("avatar"_L1, user.avatar)
        .put("role"_L1, user.role)
        .put("banned"_L1, user.banned)
        .put("createdAt"_L1, user.createdAt)
        .object();
}
