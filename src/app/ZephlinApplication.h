#pragma once
// The application object: starts the process-wide services in order, owns the session state and
// the QML engine that shows the root view, and logs moves between foreground and background.
#include <QObject>
#include <QString>
#include <memory>

class AppState;
class QGuiApplication;
class QQmlApplicationEngine;
class QQuickWindow;

class ZephlinApplication : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString caFile;    // extra trusted CA certificates (PEM)
        QString serverURL; // when set, stored as the server address before anything starts
        bool silentUpdateCheck = true;
    };
    // Names, organisation and default font; call right after QGuiApplication is constructed.
    static void configure(QGuiApplication &app);

    explicit ZephlinApplication(const Options &options, QObject *parent = nullptr);
    ~ZephlinApplication() override;

    AppState &appState() { return *m_appState; }
    // Loads the root view; false when the QML could not be loaded.
    bool showRootView();
    QQuickWindow *window() const;
    QQmlApplicationEngine &engine() { return *m_engine; }

private:
    void onApplicationStateChanged(Qt::ApplicationState state);

    std::unique_ptr<AppState> m_appState;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
};
