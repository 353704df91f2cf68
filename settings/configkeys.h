#pragma once

#include <QString>
#include <QStringList>

namespace settings {

// The sections and keys of Config.ini, and how their stored text is read and written. No widgets.

inline const QString NamesSection = QStringLiteral("名称设置");
inline const QString InfoSection = QStringLiteral("配置信息");
inline const QString SystemSection = QStringLiteral("系统设置");

// Section InfoSection: the window title.
inline const QString TitleKey = QStringLiteral("软件名称");
// Section SystemSection.
inline const QString BaudKey = QStringLiteral("默认波特率");           // flag pair, baud entry
inline const QString PortKey = QStringLiteral("默认端口");             // flag pair, port name
inline const QString AddressKey = QStringLiteral("默认地址");          // flag pair, 1..255
inline const QString ReadModeKey = QStringLiteral("读取地址默认模式"); // list position
inline const QString ModelKey = QStringLiteral("默认型号");            // list position
inline const QString AutoStartKey = QStringLiteral("开机运行");        // flag
inline const QString OpenPortKey = QStringLiteral("打开设定端口");     // flag
inline const QString ReadStateKey = QStringLiteral("自动读取状态");    // flag
// The window's language, "zh" or "en"; missing or empty: the system's. The Windows program
// ignores keys it does not know.
inline const QString LanguageKey = QStringLiteral("界面语言");
// The adapter's echo: "auto", "drop" or "none".
inline const QString EchoKey = QStringLiteral("适配器回显");

// The line beside its rate: the format "8N1" (missing: 8N1), "8E1", "8O1" or "8N2"; the pause
// between requests and the answer wait in ms (0 or missing: none, and from the line's rate).
inline const QString FormatKey = QStringLiteral("线路格式");
inline const QString PauseKey = QStringLiteral("请求间隔");
inline const QString AnswerWaitKey = QStringLiteral("应答等待");
// The driver's RS-485 mode, per port: "1" under the port's name in Rs485Section.
inline const QString Rs485Section = QStringLiteral("RS485方向控制");

// The bus overview: its modules ("1:QV-08,2:QV-04"), the least time between polls in ms, the
// polls missed before a module counts as offline; each module's name under its address in
// OverviewNamesSection.
inline const QString OverviewSection = QStringLiteral("总线总览");
inline const QString OverviewModulesKey = QStringLiteral("模块");
inline const QString OverviewIntervalKey = QStringLiteral("轮询间隔");
inline const QString OverviewMissesKey = QStringLiteral("离线次数");
inline const QString OverviewNamesSection = QStringLiteral("模块名称");
// The list is kept in pieces (a value holds at most 253 characters): 模块, 模块2, 模块3 …; the
// first empty one ends it.
inline QString OverviewModulesKeyAt(int piece)
{
    return piece == 0 ? OverviewModulesKey : OverviewModulesKey + QString::number(piece + 1);
}
// The size of a page's own window, "WIDTHxHEIGHT", in section WindowsSection.
inline const QString WindowsSection = QStringLiteral("窗口");
inline const QString OverviewWindowKey = QStringLiteral("总线总览");
inline const QString MonitorWindowKey = QStringLiteral("总线监听");

// What a key holds when Config.ini lacks it.
inline const QString DefaultBaud = QStringLiteral("1,9600");
inline const QString DefaultPort = QStringLiteral("0,COM1");
inline const QString DefaultAddress = QStringLiteral("1,1");
inline const QString DefaultPortName = QStringLiteral("COM1");
// The title when the key is missing, and the one "恢复默认" writes.
inline const QString MissingTitle = QStringLiteral("Quorvane(MODBUS) Ver3.11");
inline const QString RestoredTitle = QStringLiteral("Quorvane（MODBUS）Ver3.11");

// Channel index 0..7: its key in NamesSection ("第 一 路") and its default name ("第一路").
QString ChannelKey(int index);
QString DefaultChannelName(int index);

// A switch and the value beside it: "1,9600 " (on, "9600 "), "0,COM1".
struct FlagPair
{
    bool on = false;
    QString value;
};
// The flag is on only for "1"; the value is the text after the first comma (empty without one).
FlagPair ReadFlagPair(const QString &stored);
QString FlagPairText(bool on, const QString &value);
// A single flag: "1" or "0".
QString FlagText(bool on);

// The entry of entries whose number equals the number of rate ("9600" matches "9600 "); -1 when
// rate is no number or matches none.
int EntryOfRate(const QStringList &entries, const QString &rate);

// A time in ms as stored: the number when it is a whole number 0..most, else 0.
int StoredMs(const QString &stored, int most);

// A list position as stored ("0", "1"): the position when it is one of 0..count-1, else 0.
int StoredPosition(const QString &stored, int count);

// The default address as the settings box shows it at start-up: the stored address when it is a
// whole number 1..255 (without leading zeros), else "1".
QString StoredAddress(const QString &stored);

} // namespace settings
