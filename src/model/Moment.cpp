#include "Moment.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"
#include "RecordHashing.h"

using namespace Qt::StringLiterals;

size_t qHash(const Moment &moment, size_t seed)
{
    using RecordHashing::optional;
    return qHashMulti(seed, moment.id, moment.author, optional(moment.authorName), optional(moment.authorAvatar),
                      moment.text, moment.images, moment.time, moment.likes, moment.comments, moment.isLiked);
}

Result<Moment> JsonCodec<Moment>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "Moment");
    Moment moment;
    fields.required("id"_L1, moment.id);
    fields.required("author"_L1, moment.author);
    fields.lenient("authorName"_L1, moment.authorName);
    fields.lenient("authorAvatar"_L1, moment.authorAvatar);
    fields.required("text"_L1, moment.text);
    fields.lenientList("images"_L1, moment.images);
    fields.required("time"_L1, moment.time);
    fields.lenientList("likes"_L1, moment.likes);
    fields.lenientList("comments"_L1, moment.comments);
    return fields.finish(std::move(moment));
}

QJsonValue JsonCodec<Moment>::encode(const Moment &moment)
{
    return JsonObjectBuilder()
        .put("id"_L1, moment.id)
        .put("author"_L1, moment.author)
        .put("authorName"_L1, moment.authorName)
        .put("authorAvatar"_L1, moment.authorAvatar)
        .put("text"_L1, moment.text)
        .put("images"_L1, moment.images)
        .put("time"_L1, moment.time)
        .put("likes"_L1, moment.likes)
        .put("comments"_L1, moment.comments)
        .object();
}
