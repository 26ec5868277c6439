#include "platform/platform_problem.h"

#include <QFileInfo>
#include <QStringList>

namespace {
const char* const kNoKeys = "按住触发键不会有反应。";
const char* const kNoPaste = "识别出的文字不能自动粘贴（文字会留在剪贴板中，可手动按 Ctrl+V 粘贴）。";
} // namespace

bool isKeyProblem(PlatformProblem problem)
{
    switch (problem) {
    case PlatformProblem::KeyEventsUnavailable:
    case PlatformProblem::NoInputDevices:
    case PlatformProblem::KeyboardsUnreadable:
    case PlatformProblem::NoKeyboards:
        return true;
    case PlatformProblem::KeystrokesUnavailable:
    case PlatformProblem::UinputMissing:
    case PlatformProblem::UinputUnwritable:
    case PlatformProblem::UinputFailed:
    case PlatformProblem::WlClipboardMissing:
        break;
    }
    return false;
}

QString problemStatusLine(PlatformProblem problem)
{
    switch (problem) {
    case PlatformProblem::KeyEventsUnavailable:
        return QStringLiteral("⚠️ 触发键不可用: X 服务器没有 XInput2");
    case PlatformProblem::NoInputDevices:
        return QStringLiteral("⚠️ 触发键不可用: 没有 /dev/input");
    case PlatformProblem::KeyboardsUnreadable:
        return QStringLiteral("⚠️ 触发键不可用: 需要加入 input 用户组");
    case PlatformProblem::NoKeyboards:
        return QStringLiteral("⚠️ 触发键不可用: 没有找到键盘");
    case PlatformProblem::KeystrokesUnavailable:
        return QStringLiteral("⚠️ 不能自动粘贴: X 服务器没有 XTest");
    case PlatformProblem::UinputMissing:
        return QStringLiteral("⚠️ 不能自动粘贴: 没有 /dev/uinput");
    case PlatformProblem::UinputUnwritable:
        return QStringLiteral("⚠️ 不能自动粘贴: 无权写入 /dev/uinput");
    case PlatformProblem::UinputFailed:
        return QStringLiteral("⚠️ 不能自动粘贴: 无法创建虚拟键盘");
    case PlatformProblem::WlClipboardMissing:
        return QStringLiteral("⚠️ 不能粘贴到 Wayland 窗口: 需要安装 wl-clipboard");
    }
    return {};
}

QString problemMessage(PlatformProblem problem, bool ruleInstalled)
{
    const QString noKeys = QString::fromUtf8(kNoKeys);
    const QString noPaste = QString::fromUtf8(kNoPaste);
    switch (problem) {
    case PlatformProblem::KeyEventsUnavailable:
        return QStringLiteral("X 服务器不提供 XInput2 按键事件，") + noKeys;
    case PlatformProblem::NoInputDevices:
        return QStringLiteral("没有 /dev/input 输入设备（在容器或远程桌面中运行？），") + noKeys
            + QStringLiteral("请在本机的桌面会话中运行 Parlix。");
    case PlatformProblem::KeyboardsUnreadable:
        return QStringLiteral("Wayland 下 Parlix 直接读取键盘设备 /dev/input/event*，但当前用户无权读取，")
            + noKeys
            + QStringLiteral(
                "请把当前用户加入 input 用户组：sudo usermod -aG input $USER，然后注销并重新登录。");
    case PlatformProblem::NoKeyboards:
        return QStringLiteral("/dev/input 下没有可读取的键盘，") + noKeys
            + QStringLiteral("请接上键盘后重新启动 Parlix。");
    case PlatformProblem::KeystrokesUnavailable:
        return QStringLiteral("X 服务器没有 XTest 扩展，") + noPaste;
    case PlatformProblem::UinputMissing:
        return QStringLiteral("没有 /dev/uinput，") + noPaste
            + QStringLiteral("请加载 uinput 模块：sudo modprobe uinput（开机自动加载：echo uinput | sudo tee "
                             "/etc/modules-load.d/uinput.conf）。");
    case PlatformProblem::UinputUnwritable:
        if (ruleInstalled)
            return QStringLiteral("Wayland 下 Parlix 通过 /dev/uinput 发送粘贴键，但当前用户无权写入，")
                + noPaste
                + QStringLiteral("Parlix 的 udev 规则已安装，它只对本机登录的用户生效：请注销并重新登录。");
        return QStringLiteral("Wayland 下 Parlix 通过 /dev/uinput 发送粘贴键，但当前用户无权写入，") + noPaste
            + QStringLiteral(
                "请安装 Parlix 的 .deb 软件包（它带有 udev 规则），或执行："
                "echo 'KERNEL==\"uinput\", SUBSYSTEM==\"misc\", TAG+=\"uaccess\", "
                "OPTIONS+=\"static_node=uinput\"' | sudo tee /etc/udev/rules.d/70-parlix-uinput.rules，"
                "然后注销并重新登录。");
    case PlatformProblem::UinputFailed:
        return QStringLiteral("内核拒绝在 /dev/uinput 上创建虚拟键盘，") + noPaste;
    case PlatformProblem::WlClipboardMissing:
        return QStringLiteral(
            "原生 Wayland 窗口收不到后台程序通过 XWayland 设置的剪贴板，识别出的文字不能粘贴到这些窗口。"
            "请安装 wl-clipboard：sudo apt install wl-clipboard，然后重新启动 Parlix。");
    }
    return {};
}

QStringList uinputRulePaths()
{
    return {QStringLiteral("/usr/lib/udev/rules.d/70-parlix-uinput.rules"),
        QStringLiteral("/lib/udev/rules.d/70-parlix-uinput.rules"),
        QStringLiteral("/etc/udev/rules.d/70-parlix-uinput.rules")};
}

bool uinputRuleInstalled()
{
    for (const QString& path : uinputRulePaths()) {
        if (QFileInfo::exists(path))
            return true;
    }
    return false;
}
