#include "MomentComment.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"
#include "RecordHashing.h"

using namespace Qt::StringLiterals;

QString MomentComment::id() const
{
    return user + text + QString::number(time);
}

size_t qHash(const MomentComment &comment, size_t seed)
{
    return qHashMulti(seed, comment.user, RecordHashing::optional(comment.userName), comment.text, comment.time);
}

Result<MomentComment> JsonCodec<MomentComment>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "MomentComment");
    MomentComment comment;
    fields.required("author"_L1, comment.user);
    fields.optional("authorName"_L1, comment.userName);
    fields.required("text"_L1, comment.text);
    fields.required("time"_L1, comment.time);
    return fields.finish(std::move(comment));
}

QJsonValue JsonCodec<MomentComment>::encode(const MomentComment &comment)
{
    return JsonObjectBuilder()
        .put("author"_L1, comment.user)
        .put("authorName"_L1, comment.userName)
        .put("text"_L1, comment.text)
        .put("time"_L1, comment.time)
        .object();
}
