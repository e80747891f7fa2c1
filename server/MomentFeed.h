#pragma once
// The feed one user receives, in the hello and after every change: their own and their friends'
// newest posts, as many as fit the post count and the byte budget, so that no feed grows without bound.
#include "Moment.h"

#include <QList>
#include <QString>

class MomentStore;
struct Limits;

class MomentFeed
{
public:
    static QList<Moment> of(MomentStore &moments, const Limits &limits, const QString &viewerId);
};
