#pragma once
// How a chat message is laid out on screen, as pure rules the chat screen calls: the @-mention runs
// of its text, the grid its images take and where each image is loaded from. QML: MessageFormat.
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class MessageFormat : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    struct Run
    {
        QString text;
        bool mention = false;
        bool operator==(const Run &) const = default;
    };
    struct Grid
    {
        int columns = 1;
        int cell = 160;
        int maxWidth = 160;
    };

    explicit MessageFormat(QObject *parent = nullptr);

    // The text cut into plain runs and mentions ("@" and then word characters or CJK ideographs),
    // in order, over UTF-16 positions.
    static QList<Run> mentionRuns(const QString &content);
    // One image: a 160-point square; two: 2 columns of 70; more: 3 columns of 70.
    static Grid imageGrid(int count);

    // The content as styled text: mentions semibold in their own colour, everything escaped.
    Q_INVOKABLE static QString mentionMarkup(const QString &content, const QString &plainColor,
                                             const QString &mentionColor);
    // {columns, cell, maxWidth} for QML.
    Q_INVOKABLE static QVariantMap gridFor(int count);
    // "http…" unchanged, anything else appended to the server base URL.
    Q_INVOKABLE static QString imageURL(const QString &path);
};
