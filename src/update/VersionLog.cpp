#include "VersionLog.h"

QList<VersionLog> VersionLog::releases()
{
    return {
        VersionLog{QStringLiteral("v2.0.0"), QStringLiteral("2026-09-13"), QStringLiteral("最新"), QStringLiteral("07c160"),
                   {QStringLiteral("安全加固：Token 改用 Keychain 安全存储（仅本设备、不上 iCloud）"),
                    QStringLiteral("好友、群聊、聊天记录本地使用 AES-256-GCM 加密"),
                    QStringLiteral("默认使用 HTTPS / WSS 加密连接"),
                    QStringLiteral("新增图片双层缓存（内存+磁盘），图片不再重复加载"),
                    QStringLiteral("新增网络状态实时监控"),
                    QStringLiteral("新增更新日志页面"),
                    QStringLiteral("适配相机权限说明")}},
        VersionLog{QStringLiteral("v1.0"), QStringLiteral("首次发布"), QStringLiteral("初始"), QStringLiteral("6b7280"),
                   {QStringLiteral("Zephlin iOS 客户端首个版本"),
                    QStringLiteral("支持大厅聊天、私聊、群聊"),
                    QStringLiteral("支持好友系统和朋友圈"),
                    QStringLiteral("支持图片消息、消息撤回、两步验证"),
                    QStringLiteral("支持群主管理和站长管理"),
                    QStringLiteral("支持头像更换、主题切换、字体调节")}},
    };
}
