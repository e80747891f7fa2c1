#include "ScreenshotTour.h"

#include "AppState.h"
#include "DraftImageList.h"
#include "WebSocketService.h"
#include "ZephlinApplication.h"

#include <QImage>

// The moments feed: empty, full, scrolled to its end, the comment dialog, and the posting form
// empty, filled with text and nine pictures, and refused by the server.
void ScreenshotTour::planMoments(const QString &suffix)
{
    AppState *state = &m_app.appState();
    const auto composer = [this]() -> QObject * {
        QObject *sheet = find(QStringLiteral("postMomentView"));
        return sheet ? sheet->property("composer").value<QObject *>() : nullptr;
    };
    m_steps.append({[] { return true; }, [this] {
                        // Emptied as a server update would empty it; the next connection refills it.
                        WebSocketService::shared().handleMessage(QStringLiteral(R"({"type":"moments","moments":[]})"));
                        setProperty(QStringLiteral("mainTabs"), "showMoments", true);
                    }, 600, QStringLiteral("moments-empty") + suffix});
    m_steps.append({[] { return true; }, [state] { WebSocketService::shared().connectToServer(state->token().value_or(QString())); }, 0,
                    QString()});
    m_steps.append({[this] {
                        QObject *list = find(QStringLiteral("momentList"));
                        return list && list->property("count").toInt() > 0;
                    }, [] {}, 1500, QStringLiteral("moments-feed") + suffix});
    // Twice: the first pass builds the last cards, whose heights the second one then knows.
    for (const QString &shot : {QString(), QStringLiteral("moments-feed-end") + suffix})
        m_steps.append({[] { return true; }, [this] { call(QStringLiteral("momentList"), "positionViewAtEnd"); }, 800, shot});
    m_steps.append({[] { return true; }, [this] {
                        QObject *view = find(QStringLiteral("momentsView"));
                        QObject *chat = view ? view->property("chat").value<QObject *>() : nullptr;
                        if (!chat) {
                            fail(QStringLiteral("no moments feed"));
                            return;
                        }
                        view->setProperty("commentText", QStringLiteral("一起去！"));
                        view->setProperty("commentMoment", chat->property("moments").toList().value(0));
                    }, 500, QStringLiteral("moments-comment") + suffix});
    m_steps.append({[] { return true; }, [this] {
                        setProperty(QStringLiteral("momentsView"), "commentMoment", QVariant::fromValue(nullptr));
                        setProperty(QStringLiteral("momentsView"), "showPostMoment", true);
                    }, 600, QStringLiteral("post-moment-empty") + suffix});
    m_steps.append({[composer] { return composer() != nullptr; }, [this, composer] {
                        QObject *form = composer();
                        form->setProperty("text", QStringLiteral("周末去了趟植物园，春天真的来了 🌸"));
                        auto *images = form->property("images").value<DraftImageList *>();
                        for (int i = 0; images && i < 9; ++i) {
                            QImage picture(320, 320, QImage::Format_RGB32);
                            picture.fill(QColor::fromHsv(i * 40, 140, 230));
                            images->addImage(picture);
                        }
                    }, 600, QStringLiteral("post-moment-full") + suffix});
    // A session the server no longer knows: the post is refused and the form keeps everything.
    m_steps.append({[] { return true; }, [composer] {
                        composer()->setProperty("token", QStringLiteral("expired"));
                        QMetaObject::invokeMethod(composer(), "post");
                    }, 0, QString()});
    m_steps.append({[composer] { return !composer()->property("message").toString().isEmpty(); }, [] {}, 300,
                    QStringLiteral("post-moment-error") + suffix});
    m_steps.append({[] { return true; }, [this] {
                        call(QStringLiteral("postMomentView"), "close");
                        setProperty(QStringLiteral("mainTabs"), "showMoments", false);
                    }, 400, QString()});
}
