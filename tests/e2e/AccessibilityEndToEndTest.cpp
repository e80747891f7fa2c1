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

using namespace Qt::StringLiterals;

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
        const QString button = uR"(Button { text: "好"; Accessible.onPressAction: clicked() })"_s;
        const QString heading = uR"(Text { text: "标题"; Accessible.role: Accessible.Heading; Accessible.name: text })"_s;
        const QString dialog = button + uR"(
            Popup { modal: true; focus: true; visible: true; contentItem: Column { %1 Button { text: "关"; Accessible.onPressAction: close() } } })"_s
                                            .arg(heading);
        QTest::newRow("sound") << button + heading + uR"(
            TextField { echoMode: TextInput.Password; text: "secret"; placeholderText: "密码" }
            Item { anchors.fill: parent; visible: false; Button { text: "盖住的"; Accessible.onPressAction: clicked() } })"_s
                               << true << QString();
        QTest::newRow("sound dialog") << dialog << true << QString();
        QTest::newRow("unnamed button") << uR"(Button { Accessible.onPressAction: clicked() })"_s + heading << true << u"unnamed"_s;
        QTest::newRow("press does nothing") << uR"(Button { text: "好" })"_s + heading << true << u"press"_s;
        QTest::newRow("unnamed heading") << uR"(Text { text: "标题"; Accessible.role: Accessible.Heading })"_s << true << u"heading"_s;
        QTest::newRow("no heading") << button << true << u"untitled"_s;
        QTest::newRow("covered screen showing") << button + uR"( Rectangle { anchors.fill: parent; color: "white" })"_s << true << u"covered"_s;
        QTest::newRow("dialog over a screen in the tree") << dialog << false << u"covered"_s;
        QTest::newRow("password in clear") << uR"(TextField { echoMode: TextInput.Password; text: "secret"; placeholderText: "密码" })"_s << false
                                           << u"password"_s;
        QTest::newRow("password unnamed") << uR"(TextField { echoMode: TextInput.Password; text: "secret" })"_s << true << u"password"_s;
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
        const QString qml = u"import QtQuick\nimport QtQuick.Controls.Basic\nWindow { width: 200; height: 200; visible: true\n Item {\n anchors.fill: parent\n%1\n}\n}"_s;
        component.setData(qml.arg(content).toUtf8(), QUrl(u"qrc:/fixture.qml"_s));
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
        options.username = u"alice"_s;
        options.password = u"alice123"_s;
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
        QTRY_COMPARE(focusedName(), u"用户名"_s);
        type(u"alice"_s);
        key(Qt::Key_Tab);
        QCOMPARE(focusedName(), u"密码"_s);
        type(u"alice123"_s);
        key(Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(m_driver.route() == int(RootController::Route::Main), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!chat->friends().isEmpty(), 20000);
        QTRY_COMPARE(focusedName(), u"消息"_s);

        // Tab to the hall's row; Space opens it with focus in the message field.
        const auto rowOfKind = [](const char *kind) {
            return [kind](QQuickItem *item) { return item->property("kind").toString() == QLatin1String(kind); };
        };
        QVERIFY(tabTo(rowOfKind("global")));
        QVERIFY(rowOfKind("global")(m_window->activeFocusItem()));
        key(Qt::Key_Space);
        QTRY_COMPARE(focusedName(), u"消息"_s);
        const QString text = u"keyboard only %1"_s.arg(QDateTime::currentMSecsSinceEpoch());
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
                if (accessibleName(item) == u"消息列表"_s)
                    return true;
            return false;
        }));
        key(Qt::Key_Return);
        QTRY_VERIFY(m_driver.item(u"chatView"_s)->property("contextMenuMessage").isValid()
                    && !m_driver.item(u"chatView"_s)->property("contextMenuMessage").isNull());
        key(Qt::Key_Escape);
        QTRY_VERIFY(m_driver.item(u"chatView"_s)->property("contextMenuMessage").isNull());
        key(Qt::Key_Escape);
        QTRY_VERIFY(!m_driver.item(u"chatView"_s));

        // Sign out from the profile tab.
        QVERIFY(tabTo([](QQuickItem *item) { return accessibleName(item) == u"我的"_s; }));
        key(Qt::Key_Space);
        // The font size sheet opens with Enter and closes with Escape, focus back on its menu entry.
        QVERIFY(tabTo([](QQuickItem *item) { return accessibleName(item) == u"字体大小"_s; }));
        QQuickItem *menuEntry = m_window->activeFocusItem();
        key(Qt::Key_Return);
        QTRY_VERIFY(m_driver.item(u"fontSizeSheet"_s));
        key(Qt::Key_Escape);
        QTRY_VERIFY(!m_driver.item(u"fontSizeSheet"_s));
        QTRY_COMPARE(m_window->activeFocusItem(), menuEntry);
        // Shift+Tab from the last control comes back to the sign-out button.
        QVERIFY(tabTo([](QQuickItem *item) { return accessibleName(item) == u"退出登录"_s; }));
        key(Qt::Key_Tab);
        key(Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(accessibleName(m_window->activeFocusItem()), u"退出登录"_s);
        key(Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(m_driver.route() == int(RootController::Route::SignIn), 10000);
        QTRY_COMPARE(focusedName(), u"用户名"_s);
        m_driver.quit();
    }
};

QTEST_MAIN(AccessibilityEndToEndTest)
#include "AccessibilityEndToEndTest.moc"
