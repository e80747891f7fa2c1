#pragma once
// Walks every screen the app has, in both themes and at two font sizes, saving one PNG per screen.
// Used by `scripts/dev shots` with the offscreen platform and a local demo server. The sign-in and
// tab steps and the step runner live in ScreenshotTour.cpp, each feature's steps in its own
// ScreenshotTour<Feature>.cpp.
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

class QQuickWindow;
class ZephlinApplication;

class ScreenshotTour : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString directory;
        QString username; // a demo account that signs in for the main screens
        QString password;
        bool audit = false;         // the accessibility audit after every step
        bool singleVariant = false; // dark theme at the default font size only
    };

    ScreenshotTour(ZephlinApplication &app, Options options, QObject *parent = nullptr);

    // Runs asynchronously; emits finished(exit code) when done. An empty directory saves no pictures.
    void start();
    // The audit's findings, each prefixed by the step it was made at.
    QStringList findings() const { return m_findings; }

Q_SIGNALS:
    void finished(int exitCode);

private:
    struct Step
    {
        std::function<bool()> ready;  // waited for, up to a timeout, before acting
        std::function<void()> act;
        int settleMs = 400;           // time for animations and images after acting
        QString shot;                 // empty: no picture
    };

    void planVariant(const QString &theme, const QString &fontSize);
    void planMoments(const QString &suffix);
    void planProfile(const QString &suffix);
    void planChatScreens(const QString &suffix);
    void planContactScreens(const QString &suffix);
    void planFailedMessage(const QString &suffix);
    void planContactsWithoutRequests(const QString &suffix);
    void openRoom(const QVariant &room);
    QObject *composer() const;
    void compose(const QString &text);
    QVariantMap firstChatRecord(const char *list) const;
    void runNext();
    void shoot(const QString &name);
    void audit(const QString &step);
    void fail(const QString &why);
    QObject *find(const QString &objectName) const;
    void setProperty(const QString &objectName, const char *property, const QVariant &value);
    void call(const QString &objectName, const char *method);
    bool onRoute(int route) const;

    ZephlinApplication &m_app;
    Options m_options;
    QList<Step> m_steps;
    QStringList m_findings;
    QString m_lastShot; // names the steps without a picture in the audit's findings
    int m_saved = 0;
    int m_done = 0;
    bool m_failed = false;
};
