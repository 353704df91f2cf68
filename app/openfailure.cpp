#include "app/openfailure.h"

#include "serial/holders.h"
#include "serial/tcpline.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>

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
    return QCoreApplication::translate(
               "Messages",
               "\n请把您的账户加入用户组 %1（sudo usermod -aG %1 $USER），然后重新登录。")
        .arg(group);
#endif
}

// What an error number says, where it says more than the failure's kind.
QString ErrorNumberWords(int errorNumber)
{
    switch (errorNumber) {
    case EIO:
        return QCoreApplication::translate("Messages", "设备输入输出出错");
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QCoreApplication::translate("Messages", "设备不存在");
    case EBUSY:
        return QCoreApplication::translate("Messages", "设备忙");
    case EACCES:
    case EPERM:
        return QCoreApplication::translate("Messages", "没有访问权限");
    case ENOTTY:
        return QCoreApplication::translate("Messages", "此设备不是串口");
    case EINVAL:
        return QCoreApplication::translate("Messages", "参数无效");
    case ETIMEDOUT:
        return QCoreApplication::translate("Messages", "设备不响应");
    default:
        return {};
    }
}

QString KindWords(serial::FailureKind kind)
{
    using K = serial::FailureKind;
    switch (kind) {
    case K::None:
        return {};
    case K::NoSuchPort:
        return QCoreApplication::translate("Messages", "没有发现此串口号");
    case K::Busy:
        return QCoreApplication::translate("Messages", "此串口存在但是被占用");
    case K::NoPermission:
        return QCoreApplication::translate("Messages", "没有权限打开此串口");
    case K::Removed:
        return QCoreApplication::translate("Messages", "设备已拔出");
    case K::BadSettings:
        return QCoreApplication::translate("Messages", "线路设置无效");
    case K::NotOpen:
        return QCoreApplication::translate("Messages", "串口未打开");
    case K::ReadFailed:
        return QCoreApplication::translate("Messages", "读取数据失败");
    case K::WriteFailed:
        return QCoreApplication::translate("Messages", "发送数据失败");
    case K::NotResponding:
        return QCoreApplication::translate("Messages", "设备不响应");
    case K::Other:
        break;
    }
    return QCoreApplication::translate("Messages", "未知错误");
}

// Why a network port could not be connected: refused, unreachable, no answer in time.
QString ConnectionReason(const serial::LineFailure &failure)
{
    QString words;
    switch (failure.errorNumber) {
    case ECONNREFUSED:
        words = QCoreApplication::translate("Messages", "连接被拒绝");
        break;
    case ENETUNREACH:
    case EHOSTUNREACH:
        words = QCoreApplication::translate("Messages", "网络不可达");
        break;
    case ETIMEDOUT:
        words = QCoreApplication::translate("Messages", "连接超时");
        break;
    default:
        words = QCoreApplication::translate("Messages", "无法连接");
        break;
    }
    if (!failure.detail.isEmpty())
        words += QCoreApplication::translate("Messages", "（%1）").arg(failure.detail);
    return words;
}

} // namespace

QString FailureReason(const serial::LineFailure &failure)
{
    if (!failure)
        return {};
    QString words;
    if (failure.kind == serial::FailureKind::Other)
        words = ErrorNumberWords(failure.errorNumber);
    if (words.isEmpty())
        words = KindWords(failure.kind);
    if (!failure.detail.isEmpty())
        words += QCoreApplication::translate("Messages", "（%1）").arg(failure.detail);
    return words;
}

QString OpenFailureText(serial::OpenResult result, const QString &portName,
                        const serial::LineFailure &failure)
{
    switch (result) {
    case serial::OpenResult::Ok:
        return {};
    case serial::OpenResult::NoSuchPort:
        // A network port says on a second line why it could not be reached.
        if (serial::IsNetworkPortName(portName) && failure)
            return QCoreApplication::translate("Messages", "没有发现此串口号\n") +
                   ConnectionReason(failure);
        return QCoreApplication::translate("Messages", "没有发现此串口号");
    case serial::OpenResult::Busy: {
        // The second line names the programs seen holding it, where they can be seen.
        const QString holders = serial::DescribeHolders(serial::FindHolders(portName));
        return QCoreApplication::translate("Messages", "此串口存在但是被占用") +
               (holders.isEmpty() ? QString() : QLatin1Char('\n') + holders);
    }
    case serial::OpenResult::NoPermission:
        return QCoreApplication::translate("Messages", "没有权限打开此串口") +
               PermissionHint(portName);
    case serial::OpenResult::Connecting: // not a failure (yet)
        return {};
    case serial::OpenResult::Other:
        break;
    }
    const QString reason = FailureReason(failure);
    return reason.isEmpty()
               ? QCoreApplication::translate("Messages", "无法打开此串口")
               : QCoreApplication::translate("Messages", "无法打开此串口：%1").arg(reason);
}

} // namespace app
