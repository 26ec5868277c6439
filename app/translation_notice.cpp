#include "app/translation_notice.h"

#include "settings/app_paths.h"

QString translationUnavailableMessage(
    LibreTranslateEngine::Failure failure, bool localMode, const QString& address, const QString& reason)
{
    const QString settingsPlace = QStringLiteral("「设置 → 通用 → 翻译服务」");
    switch (failure) {
    case LibreTranslateEngine::Failure::NoAddress:
        return QStringLiteral("未设置翻译服务，已输出原文。远程模式下请在") + settingsPlace
            + QStringLiteral("中填写 LibreTranslate 地址（需要时填写 API 密钥）");
    case LibreTranslateEngine::Failure::NoAnswer:
        if (localMode && address == LOCAL_TRANSLATION_URL())
            return QStringLiteral("本地服务未响应，已输出原文。请等待菜单中「本地服务」显示运行中后再试");
        return QStringLiteral("无法连接翻译服务 ") + address + QStringLiteral("，已输出原文。请在")
            + settingsPlace + QStringLiteral("中检查地址");
    case LibreTranslateEngine::Failure::EngineError:
        break;
    }
    return QStringLiteral("翻译服务出错（") + reason + QStringLiteral("），已输出原文。")
        + (address == LOCAL_TRANSLATION_URL()
                ? QStringLiteral("本地翻译模型可能仍在准备中，请稍后再试")
                : QStringLiteral("请在") + settingsPlace + QStringLiteral("中检查地址和 API 密钥"));
}
