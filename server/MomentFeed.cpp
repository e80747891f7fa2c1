#include "MomentFeed.h"

#include "Limits.h"
#include "MomentStore.h"


QList<Moment> MomentFeed::of(MomentStore &moments, const Limits &limits, const QString &viewerId)
{
    QList<Moment> feed = moments.feed(viewerId, limits.feedMoments);
    qint64 bytes = 0;
    for (qsizetype i = 0; i < feed.size(); ++i) {
        bytes += encodeJson(feed.at(i)).size();
        if (bytes > limits.maxFeedBytes) {
            feed.resize(i);
            break;
        }
    }
    return feed;
}
