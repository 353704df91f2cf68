#include "app/openfailure.h"

#include "serial/holders.h"

#include <QFileInfo>

namespace app {

namespace {

QString PermissionHint(const QString &portName)
{
#if defined(Q_OS_WIN)
    Q_UNUSED(portName);
    return {};
#else
    // Serial devices belong to a group (dialout, uucp, ...) whose members may open them. A
    // device owned by root's group has no such group to join; dialout is the usual one then.
    QString group = QFileInfo(portName).group();
    if (group.isEmpty() || group == QStringLiteral("root"))
        group = QStringLiteral("dialout");
    return QStringLiteral(
               "\n请把您的账户加入用户组 %1（sudo usermod -aG %1 $USER），然后重新登录。")
        .arg(group);
#endif
}

} // namespace

QString OpenFailureText(serial::OpenResult result, const QString &portName,
                        const QString &errorText)
{
    switch (result) {
    case serial::OpenResult::Ok:
        return {};
    case serial::OpenResult::NoSuchPort:
        return QStringLiteral("没有发现此串口号");
    case serial::OpenResult::Busy: {
        // The second line names the programs seen holding it, where they can be seen.
        const QString holders = serial::DescribeHolders(serial::FindHolders(portName));
        return QStringLiteral("此串口存在但是被占用") +
               (holders.isEmpty() ? QString() : QLatin1Char('\n') + holders);
    }
    case serial::OpenResult::NoPermission:
        return QStringLiteral("没有权限打开此串口") + PermissionHint(portName);
    case serial::OpenResult::Other:
        break;
    }
    return errorText.isEmpty() ? QStringLiteral("无法打开此串口")
                               : QStringLiteral("无法打开此串口：%1").arg(errorText);
}

} // namespace app
