// Accessibility as assistive technologies and keyboard users meet the app. The audit reads the
// accessibility tree in-process (the interfaces Qt's bridge serves to screen readers) at every step
// of the screenshot tour against the real server, and each of its rules is shown to fail on a
// deliberately broken screen. Then the real application is used with the keyboard alone.
#include "AccessibilityAudit.h"
#include "DemoAppDriver.h"
#include "AccessibilityFactories.h"
#include "ScreenshotTour.h"
#include "TextFieldAccessible.h"
#include "WindowAccessible.h"

#include <QAccessible>
#include <QDateTime>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Zephlin_AppPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ChatPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ImagesPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_UpdatePlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ScreensPlugin)

class AccessibilityEndToEndTest : public QObject
{
    Q_OBJECT

    DemoAppDriver m_driver;

    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { QTest::keyClick(m_window, key, modifiers); }
    void type(const QString &text)
    {
        for (const QChar c : text)
            QTest::keyClick(m_window, c.toLatin1());
    }

    // Presses Tab until the focused control satisfies `wanted`; false after a full round.
    template <typename Wanted>
    bool tabTo(Wanted wanted)
    {
        for (int step = 0; step < 60; ++step) {
            if (QQuickItem *focused = m_window->activeFocusItem(); focused && wanted(focused))
                return true;
            key(Qt::Key_Tab);
        }
        return false;
    }
    static QString accessibleName(QQuickItem *item)
    {
        QAccessibleInterface *node = QAccessible::queryAccessibleInterface(item);
        return node ? node->text(QAccessible::Name) : QString();
    }

    QQuickWindow *m_window = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_driver.startServer());
        AccessibilityAudit::enable();
        AccessibilityFactories::install();
    }

    // Each rule on a screen that breaks it, and sound screens that pass all of them. `ours` is the app's
    // own accessible interfaces in front of Qt Quick's (off: what Qt Quick alone serves).
    void rulesFailOnBrokenScreens_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<bool>("ours");
        QTest::addColumn<QString>("rule");
        const QString button = QStringLiteral(R"(Button { text: "好"; Accessible.onPressAction: clicked() })");
        const QString heading = QStringLiteral(R"(Text { text: "标题"; Accessible.role: Accessible.Heading; Accessible.name: text })");
        const QString dialog = button + QStringLiteral(R"(
            Popup { modal: true; focus: true; visible: true; contentItem: Column { %1 Button { text: "关"; Accessible.onPressAction: close() } } })")
                                            .arg(heading);
        QTest::newRow("sound") << button + heading + QStringLiteral(R"(
            TextField { echoMode: TextInput.Password; text: "secret"; placeholderText: "密码" }
            Item { anchors.fill: parent; visible: false; Button { text: "盖住的"; Accessible.onPressAction: clicked() } })")
                               << true << QString();
        QTest::newRow("sound dialog") << dialog << true << QString();
        QTest::newRow("unnamed button") << QStringLiteral(R"(Button { Accessible.onPressAction: clicked() })") + heading << true
                                        << QStringLiteral("unnamed");
        QTest::newRow("press does nothing") << QStringLiteral(R"(Button { text: "好" })") + heading << true << QStringLiteral("press");
        QTest::newRow("unnamed heading") << QStringLiteral(R"(Text { text: "标题"; Accessible.role: Accessible.Heading })")
                                         << true << QStringLiteral("heading");
        QTest::newRow("no heading") << button << true << QStringLiteral("untitled");
        QTest::newRow("covered screen showing")
            << button + QStringLiteral(R"( Rectangle { anchors.fill: parent; color: "white" })") << true << QStringLiteral("covered");
        QTest::newRow("dialog over a screen in the tree") << dialog << false << QStringLiteral("covered");
        QTest::newRow("password in clear")
            << QStringLiteral(R"(TextField { echoMode: TextInput.Password; text: "secret"; placeholderText: "密码" })") << false
            << QStringLiteral("password");
        QTest::newRow("password unnamed") << QStringLiteral(R"(TextField { echoMode: TextInput.Password; text: "secret" })")
                                          << true << QStringLiteral("password");
    }

    void rulesFailOnBrokenScreens()
    {
        QFETCH(QString, content);
        QFETCH(bool, ours);
        QFETCH(QString, rule);
        if (!ours) {
            QAccessible::removeFactory(&TextFieldAccessible::create);
            QAccessible::removeFactory(&WindowAccessible::create);
        }
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(QStringLiteral("import QtQuick\nimport QtQuick.Controls.Basic\n"
                                         "Window { width: 200; height: 200; visible: true\n Item {\n anchors.fill: parent\n%1\n}\n}")
                              .arg(content)
                              .toUtf8(),
                          QUrl(QStringLiteral("qrc:/fixture.qml")));
        std::unique_ptr<QObject> fixture(component.create());
        QVERIFY2(fixture, qPrintable(component.errorString()));
        auto *window = qobject_cast<QQuickWindow *>(fixture.get());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QStringList findings = AccessibilityAudit::check(window);
        if (!ours)
            AccessibilityFactories::install();
        if (rule.isEmpty()) {
            QVERIFY2(findings.isEmpty(), qPrintable(findings.join(QLatin1Char('\n'))));
            // The sound button's press action acts.
            auto *okButton = window->contentItem()->childItems().first()->childItems().first();
            QSignalSpy clicked(okButton, SIGNAL(clicked()));
            QAccessible::queryAccessibleInterface(okButton)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            QCOMPARE(clicked.count(), 1);
            return;
        }
        QVERIFY2(std::any_of(findings.begin(), findings.end(), [&](const QString &finding) { return finding.startsWith(rule + QLatin1Char(':')); }),
                 qPrintable(findings.join(QLatin1Char('\n'))));
    }

    // Every screen, sheet and dialog of the screenshot tour passes the audit.
    void tourPassesAudit()
    {
        ZephlinApplication *app = m_driver.launch();
        QVERIFY(app);
        ScreenshotTour::Options options;
        options.username = QStringLiteral("alice");
        options.password = QStringLiteral("alice123");
        options.audit = true;
        options.singleVariant = true;
        ScreenshotTour tour(*app, options);
        QSignalSpy finished(&tour, &ScreenshotTour::finished);
        tour.start();
        QVERIFY(finished.wait(300000));
        QVERIFY2(tour.findings().isEmpty(), qPrintable(tour.findings().join(QLatin1Char('\n'))));
        QCOMPARE(finished.first().first().toInt(), 0);
        m_driver.quit();
    }

    // From a fresh start to signing out with Tab, Shift+Tab, Enter, Space and Escape only.
    void keyboardOnly()
    {
        ZephlinApplication *app = m_driver.launch();
        QVERIFY(app);
        m_window = app->window();
        auto *chat = m_window->property("chat").value<ChatViewModel *>();
        const auto focusedName = [this] { return m_window->activeFocusItem() ? accessibleName(m_window->activeFocusItem()) : QString(); };

        // The user name field has focus at start; Enter in the password field signs in.
        QTRY_COMPARE(focusedName(), QStringLiteral("用户名"));
        type(QStringLiteral("alice"));
        key(Qt::Key_Tab);
        QCOMPARE(focusedName(), QStringLiteral("密码"));
        type(QStringLiteral("alice123"));
        key(Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(m_driver.route() == int(RootController::Route::Main), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!chat->friends().isEmpty(), 20000);
        QTRY_COMPARE(focusedName(), QStringLiteral("消息"));

        // Tab to the hall's row; Space opens it with focus in the message field.
        const auto rowOfKind = [](const char *kind) {
            return [kind](QQuickItem *item) { return item->property("kind").toString() == QLatin1String(kind); };
        };
        QVERIFY(tabTo(rowOfKind("global")));
        QVERIFY(rowOfKind("global")(m_window->activeFocusItem()));
        key(Qt::Key_Space);
        QTRY_COMPARE(focusedName(), QStringLiteral("消息"));
        const QString text = QStringLiteral("keyboard only %1").arg(QDateTime::currentMSecsSinceEpoch());
        type(text);
        key(Qt::Key_Return);
        const auto hallHas = [chat, text] {
            for (const ChatMessage &message : chat->globalMessages())
                if (message.content == text)
                    return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(hallHas(), 20000);

        // Enter on the newest message opens its action dialog; Escape closes it, then the chat.
        QVERIFY(tabTo([](QQuickItem *item) {
            for (; item; item = item->parentItem())
                if (accessibleName(item) == QStringLiteral("消息列表"))
                    return true;
            return false;
        }));
        key(Qt::Key_Return);
        QTRY_VERIFY(m_driver.item(QStringLiteral("chatView"))->property("contextMenuMessage").isValid()
                    && !m_driver.item(QStringLiteral("chatView"))->property("contextMenuMessage").isNull());
        key(Qt::Key_Escape);
        QTRY_VERIFY(m_driver.item(QStringLiteral("chatView"))->property("contextMenuMessage").isNull());
        key(Qt::Key_Escape);
        QTRY_VERIFY(!m_driver.item(QStringLiteral("chatView")));

        // Sign out from the profile tab.
        QVERIFY(tabTo([](QQuickItem *item) { return accessibleName(item) == QStringLiteral("我的"); }));
        key(Qt::Key_Space);
        // The font size sheet opens with Enter and closes with Escape, focus back on its menu entry.
        QVERIFY(tabTo([](QQuickItem *item) { return accessibleName(item) == QStringLiteral("字体大小"); }));
        QQuickItem *menuEntry = m_window->activeFocusItem();
        key(Qt::Key_Return);
        QTRY_VERIFY(m_driver.item(QStringLiteral("fontSizeSheet")));
        key(Qt::Key_Escape);
        QTRY_VERIFY(!m_driver.item(QStringLiteral("fontSizeSheet")));
        QTRY_COMPARE(m_window->activeFocusItem(), menuEntry);
        // Shift+Tab from the last control comes back to the sign-out button.
        QVERIFY(tabTo([](QQuickItem *item) { return accessibleName(item) == QStringLiteral("退出登录"); }));
        key(Qt::Key_Tab);
        key(Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(accessibleName(m_window->activeFocusItem()), QStringLiteral("退出登录"));
        key(Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(m_driver.route() == int(RootController::Route::SignIn), 10000);
        QTRY_COMPARE(focusedName(), QStringLiteral("用户名"));
        m_driver.quit();
    }
};

QTEST_MAIN(AccessibilityEndToEndTest)
#include "AccessibilityEndToEndTest.moc"
