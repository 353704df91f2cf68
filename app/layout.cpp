#include "app/layout.h"

#include "protocol/baud.h"

#include <QCoreApplication>

namespace app {

namespace {

// clang-format off

using K = ControlKind;

const QColor StripBack(242, 250, 249);
const QColor PageBack(252, 254, 248);
const QColor PaleButton(246, 245, 218);
const QColor White(255, 255, 255);
const QColor Red(255, 0, 0);

// "第一路" .. "第八路"; with "：" for the jog and delay rows.
const char *const ChannelNames[8] = {
    QT_TRANSLATE_NOOP("Form1", "第一路"), QT_TRANSLATE_NOOP("Form1", "第二路"),
    QT_TRANSLATE_NOOP("Form1", "第三路"), QT_TRANSLATE_NOOP("Form1", "第四路"),
    QT_TRANSLATE_NOOP("Form1", "第五路"), QT_TRANSLATE_NOOP("Form1", "第六路"),
    QT_TRANSLATE_NOOP("Form1", "第七路"), QT_TRANSLATE_NOOP("Form1", "第八路"),
};
const char *const ChannelRowNames[8] = {
    QT_TRANSLATE_NOOP("Form1", "第一路："), QT_TRANSLATE_NOOP("Form1", "第二路："),
    QT_TRANSLATE_NOOP("Form1", "第三路："), QT_TRANSLATE_NOOP("Form1", "第四路："),
    QT_TRANSLATE_NOOP("Form1", "第五路："), QT_TRANSLATE_NOOP("Form1", "第六路："),
    QT_TRANSLATE_NOOP("Form1", "第七路："), QT_TRANSLATE_NOOP("Form1", "第八路："),
};
QString ChannelName(int index)
{
    return QString::fromUtf8(ChannelNames[index]);
}
QString ChannelRowName(int index)
{
    return QString::fromUtf8(ChannelRowNames[index]);
}

QString Indexed(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

const QString TimeUnitText = QT_TRANSLATE_NOOP("Form1", "0.1秒");
const QString TimeHelpText = QT_TRANSLATE_NOOP(
    "Form1", "*100ms(毫秒)为单位延时时间(例如,输入10:1秒;输入100:10秒)，支持的范围：1～65535,"
             "可手动输入");

LayoutTable MakeConnectionStrip()
{
    const QStringList baud = protocol::BaudList();
    return {
        {.name = "Frame5", .kind = K::Frame, .twips = {120, 120, 4320, 855}, .text = QT_TRANSLATE_NOOP("Form1", "通讯波特率"),
         .back = StripBack},
        {.name = "Label1(7)", .kind = K::Label, .container = "Frame5",
         .twips = {240, 360, 660, 180}, .text = QT_TRANSLATE_NOOP("Form1", "波特率")},
        {.name = "Combo3", .kind = K::ListCombo, .container = "Frame5",
         .twips = {960, 340, 1455, 300}, .items = baud},
        {.name = "qzbutton10", .kind = K::Button, .container = "Frame5",
         .twips = {3120, 300, 900, 375}, .text = QT_TRANSLATE_NOOP("Form1", "搜索模块"), .back = PaleButton},
        // The line check of the port chosen.
        {.name = "qzbutton15", .kind = K::Button, .container = "Frame5",
         .twips = {2490, 300, 585, 375}, .text = QT_TRANSLATE_NOOP("Form1", "诊断"), .back = PaleButton},
        {.name = "Frame6", .kind = K::Frame, .twips = {4560, 120, 4605, 855}, .text = QT_TRANSLATE_NOOP("Form1", "端口选择"),
         .back = StripBack},
        {.name = "Label1(9)", .kind = K::Label, .container = "Frame6",
         .twips = {120, 400, 720, 180}, .text = QT_TRANSLATE_NOOP("Form1", "端口选择")},
        {.name = "Combo2", .kind = K::ListCombo, .container = "Frame6",
         .twips = {1080, 340, 1250, 300}},
        {.name = "Shape1", .kind = K::Shape, .container = "Frame6", .twips = {2460, 360, 355, 255}},
        {.name = "Command2", .kind = K::Button, .container = "Frame6",
         .twips = {3240, 225, 1020, 465}, .text = QT_TRANSLATE_NOOP("Form1", "打开串口"), .back = QColor(255, 168, 58),
         .fore = White},
        {.name = "Frame2", .kind = K::Frame, .twips = {120, 1080, 4320, 1455}, .text = QT_TRANSLATE_NOOP("Form1", "模块属性"),
         .back = StripBack},
        {.name = "Label1(2)", .kind = K::Label, .container = "Frame2",
         .twips = {120, 430, 720, 180}, .text = QT_TRANSLATE_NOOP("Form1", "模块地址")},
        {.name = "Text1", .kind = K::EditableCombo, .container = "Frame2",
         .twips = {960, 360, 855, 300}, .text = "Text1", .items = {"1"}},
        {.name = "Combo7", .kind = K::EditableCombo, .container = "Frame2",
         .twips = {1920, 360, 975, 300}, .text = "Combo7", .items = LinkList()},
        {.name = "Command1", .kind = K::Button, .container = "Frame2",
         .twips = {3120, 360, 900, 375}, .text = QT_TRANSLATE_NOOP("Form1", "读取"), .back = PaleButton},
        {.name = "Label1(4)", .kind = K::Label, .container = "Frame2",
         .twips = {120, 940, 840, 195}, .text = QT_TRANSLATE_NOOP("Form1", "型号选择")},
        {.name = "Combo1", .kind = K::ListCombo, .container = "Frame2",
         .twips = {960, 840, 1920, 300}, .items = ModelList()},
        {.name = "Label18", .kind = K::Label, .container = "Frame2", .twips = {3480, 840, 975, 375},
         .text = "0", .hidden = true},
        {.name = "Label19", .kind = K::Label, .container = "Frame2",
         .twips = {2520, 1200, 1575, 375}, .text = QT_TRANSLATE_NOOP("Form1", "正在读取..."), .fore = Red, .hidden = true},
        {.name = "Frame1", .kind = K::Frame, .twips = {4560, 1080, 4605, 1455}, .text = QT_TRANSLATE_NOOP("Form1", "设置新波特率、地址"),
         .back = StripBack},
        {.name = "Label1(1)", .kind = K::Label, .container = "Frame1",
         .twips = {120, 430, 720, 195}, .text = QT_TRANSLATE_NOOP("Form1", "新波特率")},
        {.name = "Combo4", .kind = K::ListCombo, .container = "Frame1",
         .twips = {1080, 360, 1725, 300}, .items = baud},
        {.name = "qzbutton1", .kind = K::Button, .container = "Frame1",
         .twips = {3360, 285, 900, 375}, .text = QT_TRANSLATE_NOOP("Form1", "设置"), .back = PaleButton},
        {.name = "Label1(8)", .kind = K::Label, .container = "Frame1",
         .twips = {120, 940, 720, 180}, .text = QT_TRANSLATE_NOOP("Form1", "新的地址")},
        {.name = "Text2", .kind = K::TextBox, .container = "Frame1",
         .twips = {1080, 900, 1725, 300}, .text = "1"},
        {.name = "Command3", .kind = K::Button, .container = "Frame1",
         .twips = {3360, 840, 900, 375}, .text = QT_TRANSLATE_NOOP("Form1", "设置"), .back = PaleButton},
    };
}

LayoutTable MakePage0()
{
    LayoutTable t{
        {.name = "Frame4", .kind = K::Frame, .container = "safetabs1",
         .twips = {240, 600, 8620, 3015}, .text = QT_TRANSLATE_NOOP("Form1", "通道状态"), .back = PageBack, .page = 0},
    };
    for (int i = 0; i < 8; ++i) {
        const int left = i < 4 ? 1560 : 4320;
        t.push_back({.name = Indexed("SafeSwitch", i), .kind = K::Switch, .container = "Frame4",
                     .twips = {left, 360 + 600 * (i % 4), 1170, 345}, .value = false, .skin = 2});
    }
    for (int i = 0; i < 8; ++i) {
        const int left = i < 4 ? 480 : 3360;
        t.push_back({.name = Indexed("LblTD", i), .kind = K::Label, .container = "Frame4",
                     .twips = {left, 480 + 600 * (i % 4), 540, 180}, .text = ChannelName(i),
                     .fore = QColor(64, 64, 64)});
    }
    t.push_back({.name = "Readzt", .kind = K::Button, .container = "Frame4",
                 .twips = {6480, 360, 1455, 555}, .text = QT_TRANSLATE_NOOP("Form1", "读取状态"), .back = QColor(53, 181, 223),
                 .fore = White});
    t.push_back({.name = "qzbutton3", .kind = K::Button, .container = "Frame4",
                 .twips = {6480, 1200, 1455, 555}, .text = QT_TRANSLATE_NOOP("Form1", "全部开启"), .back = PaleButton});
    t.push_back({.name = "qzbutton4", .kind = K::Button, .container = "Frame4",
                 .twips = {6480, 2040, 1455, 555}, .text = QT_TRANSLATE_NOOP("Form1", "全部关闭"), .back = PaleButton});
    return t;
}

LayoutTable MakePage1()
{
    LayoutTable t{
        {.name = "Frame18", .kind = K::Frame, .container = "safetabs1",
         .twips = {240, 480, 8535, 3400}, .back = PageBack, .page = 1},
        {.name = "Label28", .kind = K::Label, .container = "Frame18", .twips = {180, 80, 8535, 255},
         .text = TimeHelpText},
    };
    const int labelTops[4] = {520, 1120, 1760, 2360};
    const int rightLabelWidths[4] = {855, 1095, 1095, 1095};
    for (int i = 0; i < 8; ++i) {
        const bool left = i < 4;
        t.push_back({.name = Indexed("ddcon", i), .kind = K::Label, .container = "Frame18",
                     .twips = {left ? 240 : 4440, labelTops[i % 4], left ? 855 : rightLabelWidths[i % 4], 255},
                     .text = ChannelRowName(i)});
    }
    for (int i = 0; i < 8; ++i) {
        t.push_back({.name = Indexed("DDT", i), .kind = K::EditableCombo, .container = "Frame18",
                     .twips = {i < 4 ? 960 : 5160, 480 + 600 * (i % 4), 855, 300}, .text = "1",
                     .items = TimeList()});
    }
    for (int i = 0; i < 8; ++i) {
        t.push_back({.name = Indexed("DDM", i), .kind = K::Label, .container = "Frame18",
                     .twips = {i < 4 ? 1920 : 6240, 525 + 600 * (i % 4), 855, 255},
                     .text = TimeUnitText});
    }
    const int leftTops[4] = {420, 1040, 1640, 2240};
    const int rightTops[4] = {440, 1040, 1640, 2240};
    for (int i = 0; i < 8; ++i) {
        t.push_back(
            {.name = Indexed("DD", i), .kind = K::Button, .container = "Frame18",
             .twips = {i < 4 ? 2640 : 7080, (i < 4 ? leftTops : rightTops)[i % 4], 975, 375},
             .text = QT_TRANSLATE_NOOP("Form1", "点动吸合"), .back = QColor(192, 64, 0), .fore = White});
    }
    t.push_back({.name = "Label27", .kind = K::Label, .container = "Frame18",
                 .twips = {360, 2960, 2415, 255}, .text = QT_TRANSLATE_NOOP("Form1", "全部自动断开时间设置为：")});
    t.push_back({.name = "ALLDDT", .kind = K::EditableCombo, .container = "Frame18",
                 .twips = {2640, 2910, 975, 300}, .text = "1", .items = TimeList()});
    t.push_back({.name = "ALLDDM", .kind = K::Label, .container = "Frame18",
                 .twips = {3720, 2960, 495, 255}, .text = TimeUnitText});
    t.push_back({.name = "ALLDD", .kind = K::Button, .container = "Frame18",
                 .twips = {4440, 2760, 1335, 495}, .text = QT_TRANSLATE_NOOP("Form1", "全部点动吸合"), .back = QColor(255, 128, 0),
                 .fore = White});
    return t;
}

LayoutTable MakePage2()
{
    LayoutTable t{
        {.name = "Label16", .kind = K::Label, .container = "safetabs1",
         .twips = {360, 480, 8895, 375}, .text = TimeHelpText, .fore = QColor(0, 0, 0), .page = 2},
        {.name = "Frame17", .kind = K::Frame, .container = "safetabs1",
         .twips = {120, 720, 8800, 3100}, .back = PageBack, .page = 2},
    };
    const int leftTops[4] = {240, 840, 1440, 2040};
    const int rightTops[4] = {360, 960, 1560, 2040};
    for (int i = 0; i < 8; ++i) {
        const bool left = i < 4;
        t.push_back({.name = Indexed("yscon", i), .kind = K::Label, .container = "Frame17",
                     .twips = {left ? 0 : 4440, (left ? leftTops : rightTops)[i % 4], i == 1 ? 1215 : 855, 255},
                     .text = ChannelRowName(i)});
    }
    for (int i = 0; i < 8; ++i) {
        t.push_back({.name = Indexed("TM", i), .kind = K::EditableCombo, .container = "Frame17",
                     .twips = {i < 4 ? 720 : 5160, 240 + 600 * (i % 4), 855, 300}, .text = "1",
                     .items = TimeList()});
    }
    for (int i = 0; i < 8; ++i) {
        t.push_back({.name = Indexed("ht", i), .kind = K::Label, .container = "Frame17",
                     .twips = {i < 4 ? 1680 : 6120, rightTops[i % 4], 735, 255},
                     .text = TimeUnitText});
    }
    for (int i = 0; i < 8; ++i) {
        t.push_back({.name = Indexed("ONQ", i), .kind = K::Button, .container = "Frame17",
                     .twips = {i < 4 ? 2400 : 6840, 120 + 600 * (i % 4), 855, 375}, .text = QT_TRANSLATE_NOOP("Form1", "延时吸合"),
                     .back = QColor(0, 192, 0), .fore = White});
    }
    for (int i = 0; i < 8; ++i) {
        t.push_back({.name = Indexed("OFF", i), .kind = K::Button, .container = "Frame17",
                     .twips = {i < 4 ? 3360 : 7800, 120 + 600 * (i % 4), 855, 375}, .text = QT_TRANSLATE_NOOP("Form1", "延时关闭"),
                     .back = QColor(255, 128, 0), .fore = White});
    }
    t.push_back({.name = "Label17", .kind = K::Label, .container = "Frame17",
                 .twips = {120, 2640, 1815, 255}, .text = QT_TRANSLATE_NOOP("Form1", "全部延时时间设置为：")});
    t.push_back({.name = "QTM", .kind = K::EditableCombo, .container = "Frame17",
                 .twips = {1920, 2640, 855, 300}, .text = "1", .items = TimeList()});
    t.push_back({.name = "QB", .kind = K::Label, .container = "Frame17",
                 .twips = {2880, 2640, 735, 255}, .text = TimeUnitText});
    t.push_back({.name = "allyanshi", .kind = K::Button, .container = "Frame17",
                 .twips = {3960, 2450, 1335, 495}, .text = QT_TRANSLATE_NOOP("Form1", "全部延时吸合"), .back = QColor(0, 192, 0),
                 .fore = White});
    t.push_back({.name = "qzbutton12", .kind = K::Button, .container = "Frame17",
                 .twips = {5520, 2450, 1335, 495}, .text = QT_TRANSLATE_NOOP("Form1", "全部延时关闭"), .back = QColor(255, 128, 0),
                 .fore = White});
    return t;
}

LayoutTable MakePage3()
{
    LayoutTable t{
        {.name = "Frame9", .kind = K::Frame, .container = "safetabs1",
         .twips = {600, 720, 7575, 2775}, .back = PageBack, .page = 3},
        {.name = "Label4", .kind = K::Label, .container = "Frame9", .twips = {120, 120, 7335, 375},
         .text = QT_TRANSLATE_NOOP("Form1", "为方便演示，本软件以八路模块为列，实际根据通道个数自行选择。")},
    };
    for (int i = 0; i < 8; ++i) {
        // The right-hand column is created with the first four names as well; the channel
        // names given on the name page replace them at start-up.
        t.push_back({.name = Indexed("ChkTD", i), .kind = K::CheckBox, .container = "Frame9",
                     .twips = {i < 4 ? 480 : 2160, 720 + 480 * (i % 4), 1935, 375},
                     .text = ChannelName(i % 4)});
    }
    t.push_back({.name = "qzbutton9", .kind = K::Button, .container = "Frame9",
                 .twips = {4440, 1440, 2055, 495}, .text = QT_TRANSLATE_NOOP("Form1", "打开选中、关闭未选中"),
                 .back = QColor(10, 182, 170), .fore = White, .buttonStyle = 13});
    return t;
}

LayoutTable MakePage4()
{
    const QColor orange(255, 168, 58);
    return {
        {.name = "Frame16", .kind = K::Frame, .container = "safetabs1",
         .twips = {120, 480, 8800, 3400}, .back = PageBack, .page = 4},
        {.name = "Frame15", .kind = K::Frame, .container = "Frame16", .twips = {0, 0, 3975, 3255},
         .text = QT_TRANSLATE_NOOP("Form1", "接收区"), .back = PageBack},
        {.name = "TxtReceive", .kind = K::MultiLineTextBox, .container = "Frame15",
         .twips = {120, 240, 3735, 2415}, .scrollBar = true},
        {.name = "qzbutton8", .kind = K::Button, .container = "Frame15",
         .twips = {240, 2760, 780, 330}, .text = QT_TRANSLATE_NOOP("Form1", "清空"), .back = PaleButton},
        {.name = "Label15", .kind = K::Label, .container = "Frame15",
         .twips = {1440, 2880, 735, 255}, .text = QT_TRANSLATE_NOOP("Form1", "已接收：")},
        {.name = "jishu", .kind = K::Label, .container = "Frame15",
         .twips = {2160, 2880, 1215, 255}, .text = "0", .fore = QColor(0, 192, 0), .bold = true},
        {.name = "Frame14", .kind = K::Frame, .container = "Frame16",
         .twips = {4080, 0, 4695, 1815}, .text = QT_TRANSLATE_NOOP("Form1", "发送区"), .back = PageBack},
        {.name = "TxtSend", .kind = K::MultiLineTextBox, .container = "Frame14",
         .twips = {120, 240, 4455, 975}},
        {.name = "ChkHexSend", .kind = K::CheckBox, .container = "Frame14",
         .twips = {240, 1320, 1575, 375}, .text = QT_TRANSLATE_NOOP("Form1", " 十六进制发送")},
        {.name = "Command7", .kind = K::Button, .container = "Frame14",
         .twips = {2220, 1320, 900, 375}, .text = QT_TRANSLATE_NOOP("Form1", "发送"), .back = orange, .fore = White},
        {.name = "qzbutton7", .kind = K::Button, .container = "Frame14",
         .twips = {3120, 1320, 345, 375}, .text = "▼", .back = orange, .fore = White},
        {.name = "Frame12", .kind = K::Frame, .container = "Frame16",
         .twips = {4080, 1920, 4695, 1335}, .text = QT_TRANSLATE_NOOP("Form1", "CRC16计算"), .back = PageBack},
        {.name = "Text7", .kind = K::TextBox, .container = "Frame12",
         .twips = {200, 240, 4215, 270}},
        {.name = "Frame13", .kind = K::Frame, .container = "Frame12",
         .twips = {200, 600, 2655, 550}, .text = QT_TRANSLATE_NOOP("Form1", "结果"), .back = PageBack},
        {.name = "Text8", .kind = K::TextBox, .container = "Frame13",
         .twips = {80, 200, 2460, 270}},
        {.name = "Command8", .kind = K::Button, .container = "Frame12",
         .twips = {3480, 720, 855, 375}, .text = QT_TRANSLATE_NOOP("Form1", "计算"), .back = QColor(53, 181, 223), .fore = White},
    };
}

LayoutTable MakePage5()
{
    LayoutTable t{
        {.name = "Frame8", .kind = K::Frame, .container = "safetabs1",
         .twips = {360, 360, 8175, 3015}, .back = PageBack, .page = 5},
        {.name = "LblTD(16)", .kind = K::Label, .container = "Frame8",
         .twips = {240, 600, 720, 180}, .text = QT_TRANSLATE_NOOP("Form1", "软件名称")},
        {.name = "TxtTD(8)", .kind = K::TextBox, .container = "Frame8",
         .twips = {1200, 600, 4215, 300}, .text = "Quorvane(MODBUS) Ver3.1"},
    };
    for (int i = 8; i < 16; ++i) {
        const bool left = i < 12;
        t.push_back(
            {.name = Indexed("LblTD", i), .kind = K::Label, .container = "Frame8",
             .twips = {left ? 360 : 3120, (left ? 1250 : 1245) + 480 * ((i - 8) % 4), 540, 180},
             .text = ChannelName(i - 8)});
    }
    for (int i = 0; i < 8; ++i) {
        t.push_back({.name = Indexed("TxtTD", i), .kind = K::TextBox, .container = "Frame8",
                     .twips = {i < 4 ? 1200 : 3960, 1200 + 480 * (i % 4), 1455, 300},
                     .text = ChannelName(i)});
    }
    t.push_back({.name = "qzbutton5", .kind = K::Button, .container = "Frame8",
                 .twips = {6120, 1080, 1215, 465}, .text = QT_TRANSLATE_NOOP("Form1", "保存设置"), .back = PaleButton});
    t.push_back({.name = "qzbutton6", .kind = K::Button, .container = "Frame8",
                 .twips = {6120, 1920, 1215, 465}, .text = QT_TRANSLATE_NOOP("Form1", "恢复默认"), .back = PaleButton});
    return t;
}

LayoutTable MakePage6()
{
    const QStringList baud = protocol::BaudList();
#if defined(Q_OS_WIN)
    const QStringList ports = PortList();
#else
    // Elsewhere ports are device paths: the list is filled with the ports found at start-up.
    const QStringList ports;
#endif
    return {
        {.name = "Frame11", .kind = K::Frame, .container = "safetabs1",
         .twips = {480, 680, 8175, 3015}, .back = PageBack, .page = 6},
        {.name = "Label20", .kind = K::Label, .container = "safetabs1",
         .twips = {720, 2520, 1815, 255}, .page = 6},
        {.name = "Label7", .kind = K::Label, .container = "Frame11", .twips = {0, 120, 1455, 255},
         .text = QT_TRANSLATE_NOOP("Form1", "使用默认的波特率")},
        {.name = "Combo5", .kind = K::ListCombo, .container = "Frame11",
         .twips = {1560, 80, 1215, 300}, .items = baud},
        {.name = "bkps", .kind = K::Switch, .container = "Frame11", .twips = {2880, 0, 1170, 345},
         .value = true},
        {.name = "Label11", .kind = K::Label, .container = "Frame11", .twips = {0, 720, 1935, 255},
         .text = QT_TRANSLATE_NOOP("Form1", "使用默认通讯端口")},
        {.name = "Combo6", .kind = K::ListCombo, .container = "Frame11",
         .twips = {1560, 660, 1215, 300}, .items = ports},
        {.name = "prots", .kind = K::Switch, .container = "Frame11",
         .twips = {2880, 600, 1170, 345}, .value = false},
        {.name = "Label6", .kind = K::Label, .container = "Frame11", .twips = {0, 1320, 1815, 255},
         .text = QT_TRANSLATE_NOOP("Form1", "使用默认模块地址")},
        {.name = "Text4", .kind = K::TextBox, .container = "Frame11",
         .twips = {1560, 1280, 615, 270}, .text = "1"},
        {.name = "Label10", .kind = K::Label, .container = "Frame11",
         .twips = {2100, 1300, 1095, 255}, .text = QT_TRANSLATE_NOOP("Form1", "（1-255）")},
        {.name = "dizhi", .kind = K::Switch, .container = "Frame11",
         .twips = {2880, 1200, 1170, 345}, .value = true},
        {.name = "Label21", .kind = K::Label, .container = "Frame11", .twips = {0, 1920, 1575, 255},
         .text = QT_TRANSLATE_NOOP("Form1", "读取地址默认模式")},
        {.name = "Combo9", .kind = K::EditableCombo, .container = "Frame11",
         .twips = {1560, 1900, 1215, 300}, .text = "Combo9", .items = LinkList()},
        {.name = "LblTD(19)", .kind = K::Label, .container = "Frame11",
         .twips = {360, 2640, 1080, 180}, .text = QT_TRANSLATE_NOOP("Form1", "默认模块型号")},
        {.name = "Combo8", .kind = K::ListCombo, .container = "Frame11",
         .twips = {1560, 2600, 1215, 300}, .items = ModelList()},
        {.name = "Label5", .kind = K::Label, .container = "Frame11",
         .twips = {4920, 120, 1455, 375}, .text = QT_TRANSLATE_NOOP("Form1", "开机自动运行程序")},
        {.name = "RUN", .kind = K::Switch, .container = "Frame11", .twips = {6600, 0, 1170, 345},
         .value = false},
        {.name = "Label12", .kind = K::Label, .container = "Frame11",
         .twips = {4800, 720, 1695, 255}, .text = QT_TRANSLATE_NOOP("Form1", "启动时打开设定端口")},
        {.name = "sp", .kind = K::Switch, .container = "Frame11", .twips = {6600, 600, 1170, 345},
         .value = false},
        {.name = "Label13", .kind = K::Label, .container = "Frame11",
         .twips = {4800, 1320, 1695, 255}, .text = QT_TRANSLATE_NOOP("Form1", "启动时自动读取状态")},
        {.name = "duqu", .kind = K::Switch, .container = "Frame11",
         .twips = {6600, 1200, 1170, 345}, .value = false},
        // The window's language: the system's, or one chosen here (read at the next start).
        {.name = "Label22", .kind = K::Label, .container = "Frame11",
         .twips = {4800, 1920, 1695, 255}, .text = QT_TRANSLATE_NOOP("Form1", "界面语言")},
        {.name = "Combo10", .kind = K::ListCombo, .container = "Frame11",
         .twips = {6600, 1880, 1170, 300}, .items = LanguageList()},
        // Whether the line's adapter hears itself: learned, dropped, or none.
        {.name = "Label23", .kind = K::Label, .container = "Frame11",
         .twips = {4800, 2640, 1695, 255}, .text = QT_TRANSLATE_NOOP("Form1", "适配器回显")},
        {.name = "Combo11", .kind = K::ListCombo, .container = "Frame11",
         .twips = {6600, 2600, 1170, 300}, .items = EchoList()},
        // The line beside its rate: format, pacing, the driver's RS-485 mode.
        {.name = "qzbutton16", .kind = K::Button, .container = "Frame11",
         .twips = {2880, 1860, 1170, 375}, .text = QT_TRANSLATE_NOOP("Form1", "线路设置"), .back = PaleButton},
        // The line check: what is wrong with the line, and what to do about it.
        {.name = "qzbutton14", .kind = K::Button, .container = "Frame11",
         .twips = {2880, 2560, 1170, 375}, .text = QT_TRANSLATE_NOOP("Form1", "线路诊断"), .back = PaleButton},
    };
}

LayoutTable MakeStatusFrame()
{
    const QString initialFrame =
        QStringLiteral("01 35 F0 00 00 14 00 02 00 03 00 04 00 08 00 08 00 08 00 00 6E 3B");
    const QColor copyBack(247, 246, 219);
    // The two data rows are framed by thin lines: above and below each row, and one between
    // the rows and the bottom line.
    return {
        {.name = "Frame3", .kind = K::Frame, .twips = {120, 6600, 9025, 1300}, .back = StripBack},
        {.name = "Line1", .kind = K::Separator, .container = "Frame3",
         .twips = {120, 120, 8760, 15}},
        {.name = "Line2", .kind = K::Separator, .container = "Frame3",
         .twips = {120, 495, 8760, 15}},
        {.name = "Line3", .kind = K::Separator, .container = "Frame3",
         .twips = {120, 870, 8760, 15}},
        {.name = "Line4", .kind = K::Separator, .container = "Frame3",
         .twips = {960, 120, 15, 765}},
        {.name = "Line5", .kind = K::Separator, .container = "Frame3",
         .twips = {8100, 120, 15, 765}},
        {.name = "LblTD(17)", .kind = K::Label, .container = "Frame3",
         .twips = {120, 200, 810, 200}, .text = QT_TRANSLATE_NOOP("Form1", "发出数据:")},
        {.name = "LblOut", .kind = K::TextBox, .container = "Frame3",
         .twips = {1000, 200, 6975, 255}, .text = initialFrame, .back = StripBack, .flat = true},
        {.name = "qzbutton11", .kind = K::Button, .container = "Frame3",
         .twips = {8200, 140, 620, 315}, .text = QT_TRANSLATE_NOOP("Form1", "复制"), .back = copyBack, .buttonStyle = 15,
         .focusRect = true},
        {.name = "LblTD(18)", .kind = K::Label, .container = "Frame3",
         .twips = {120, 600, 810, 180}, .text = QT_TRANSLATE_NOOP("Form1", "收到数据:")},
        {.name = "LblIn", .kind = K::TextBox, .container = "Frame3",
         .twips = {1000, 580, 6975, 210}, .text = initialFrame, .back = StripBack, .flat = true},
        {.name = "qzbutton13", .kind = K::Button, .container = "Frame3",
         .twips = {8200, 530, 620, 315}, .text = QT_TRANSLATE_NOOP("Form1", "复制"), .back = copyBack, .buttonStyle = 15,
         .focusRect = true},
        {.name = "Label14", .kind = K::Label, .container = "Frame3", .twips = {840, 960, 3495, 255},
         .text = QT_TRANSLATE_NOOP("Form1", "RS485/RS422控制继电器模块"), .pointSize = 12},
        {.name = "Label2", .kind = K::Label, .container = "Frame3", .twips = {5350, 1000, 900, 180},
         .text = QT_TRANSLATE_NOOP("Form1", "串口已关闭"), .fore = Red},
        {.name = "Label3", .kind = K::Label, .container = "Frame3",
         .twips = {6960, 1000, 1710, 180}, .text = "2017-11-11 15:55:00"},
    };
}

// The bus monitor: start/stop, clear, save, record and the filters on top, the frames below,
// the counters by address at the bottom.
LayoutTable MakeMonitorPage()
{
    const QColor orange(255, 168, 58);
    const QStringList functions{QT_TRANSLATE_NOOP("Form1", "全部功能"), QT_TRANSLATE_NOOP("Form1", "01 读线圈"), QT_TRANSLATE_NOOP("Form1", "02 读离散输入"), QT_TRANSLATE_NOOP("Form1", "03 读保持寄存器"),
                                QT_TRANSLATE_NOOP("Form1", "04 读输入寄存器"), QT_TRANSLATE_NOOP("Form1", "05 写单线圈"), QT_TRANSLATE_NOOP("Form1", "06 写单寄存器"), QT_TRANSLATE_NOOP("Form1", "0F 写多线圈"),
                                QT_TRANSLATE_NOOP("Form1", "10 写多寄存器"), QT_TRANSLATE_NOOP("Form1", "30 延时吸合"), QT_TRANSLATE_NOOP("Form1", "31 全部延时吸合"), QT_TRANSLATE_NOOP("Form1", "32 延时断开"),
                                QT_TRANSLATE_NOOP("Form1", "33 全部延时断开"), QT_TRANSLATE_NOOP("Form1", "34 点动"), QT_TRANSLATE_NOOP("Form1", "35 全部点动")};
    return {
        {.name = "Frame19", .kind = K::Frame, .container = "safetabs1",
         .twips = {120, 420, 8800, 3440}, .back = PageBack, .page = 7},
        {.name = "MonitorStart", .kind = K::Button, .container = "Frame19",
         .twips = {60, 40, 700, 330}, .text = QT_TRANSLATE_NOOP("Form1", "开始"), .back = orange, .fore = White},
        {.name = "MonitorClear", .kind = K::Button, .container = "Frame19",
         .twips = {820, 40, 600, 330}, .text = QT_TRANSLATE_NOOP("Form1", "清空"), .back = PaleButton},
        {.name = "MonitorSave", .kind = K::Button, .container = "Frame19",
         .twips = {1480, 40, 600, 330}, .text = QT_TRANSLATE_NOOP("Form1", "保存"), .back = PaleButton},
        {.name = "MonitorRecord", .kind = K::Button, .container = "Frame19",
         .twips = {2140, 40, 1000, 330}, .text = QT_TRANSLATE_NOOP("Form1", "录制到文件"), .back = PaleButton},
        {.name = "MonitorDetach", .kind = K::Button, .container = "Frame19",
         .twips = {3200, 40, 800, 330}, .text = QT_TRANSLATE_NOOP("Form1", "新窗口"), .back = PaleButton},
        {.name = "Label29", .kind = K::Label, .container = "Frame19",
         .twips = {4060, 110, 420, 180}, .text = QT_TRANSLATE_NOOP("Form1", "地址")},
        {.name = "MonitorAddress", .kind = K::TextBox, .container = "Frame19",
         .twips = {4500, 60, 460, 290}},
        {.name = "MonitorFunction", .kind = K::ListCombo, .container = "Frame19",
         .twips = {5020, 60, 1500, 290}, .items = functions},
        {.name = "MonitorErrors", .kind = K::CheckBox, .container = "Frame19",
         .twips = {6580, 60, 1080, 290}, .text = QT_TRANSLATE_NOOP("Form1", "只看错误")},
        {.name = "MonitorCount", .kind = K::Label, .container = "Frame19",
         .twips = {7700, 110, 1040, 180}, .text = QT_TRANSLATE_NOOP("Form1", "帧数：0"), .fore = QColor(0, 192, 0)},
        {.name = "MonitorTable", .kind = K::Table, .container = "Frame19",
         .twips = {60, 420, 8680, 2000}},
        {.name = "MonitorStats", .kind = K::Table, .container = "Frame19",
         .twips = {60, 2460, 8680, 940}},
    };
}

// The module test: the steps, the cycles and the modules on top, start and the report beside
// them; the progress, one cell per channel and the log of what went wrong below.
LayoutTable MakeTestPage()
{
    const QColor orange(255, 168, 58);
    const QColor cell(224, 224, 224);
    const QStringList sources{QT_TRANSLATE_NOOP("Form1", "地址框"), QT_TRANSLATE_NOOP("Form1", "地址范围"),
                              QT_TRANSLATE_NOOP("Form1", "扫描总线")};
    LayoutTable table{
        {.name = "Frame20", .kind = K::Frame, .container = "safetabs1",
         .twips = {120, 420, 8800, 3440}, .back = PageBack, .page = 8},
        {.name = "TestStep(0)", .kind = K::CheckBox, .container = "Frame20",
         .twips = {60, 60, 1300, 270}, .text = QT_TRANSLATE_NOOP("Form1", "通讯")},
        {.name = "TestStep(1)", .kind = K::CheckBox, .container = "Frame20",
         .twips = {1400, 60, 1450, 270}, .text = QT_TRANSLATE_NOOP("Form1", "逐路开关")},
        {.name = "TestStep(2)", .kind = K::CheckBox, .container = "Frame20",
         .twips = {2890, 60, 1450, 270}, .text = QT_TRANSLATE_NOOP("Form1", "全开全关")},
        {.name = "TestStep(3)", .kind = K::CheckBox, .container = "Frame20",
         .twips = {4380, 60, 1300, 270}, .text = QT_TRANSLATE_NOOP("Form1", "组合花样")},
        {.name = "TestStep(4)", .kind = K::CheckBox, .container = "Frame20",
         .twips = {5720, 60, 1300, 270}, .text = QT_TRANSLATE_NOOP("Form1", "定时功能")},
        {.name = "TestStep(5)", .kind = K::CheckBox, .container = "Frame20",
         .twips = {7060, 60, 1680, 270}, .text = QT_TRANSLATE_NOOP("Form1", "改地址和波特率")},
        {.name = "Label30", .kind = K::Label, .container = "Frame20",
         .twips = {60, 450, 900, 180}, .text = QT_TRANSLATE_NOOP("Form1", "循环次数")},
        {.name = "TestCycles", .kind = K::TextBox, .container = "Frame20",
         .twips = {980, 400, 600, 290}, .text = "1"},
        {.name = "Label31", .kind = K::Label, .container = "Frame20",
         .twips = {1700, 450, 900, 180}, .text = QT_TRANSLATE_NOOP("Form1", "测试模块")},
        {.name = "TestSource", .kind = K::ListCombo, .container = "Frame20",
         .twips = {2620, 400, 1500, 290}, .items = sources},
        {.name = "TestRange", .kind = K::TextBox, .container = "Frame20",
         .twips = {4180, 400, 1000, 290}, .text = "1-10"},
        {.name = "TestStart", .kind = K::Button, .container = "Frame20",
         .twips = {5600, 380, 1500, 330}, .text = QT_TRANSLATE_NOOP("Form1", "开始测试"), .back = orange, .fore = White},
        {.name = "TestSave", .kind = K::Button, .container = "Frame20",
         .twips = {7200, 380, 1500, 330}, .text = QT_TRANSLATE_NOOP("Form1", "保存报告"), .back = PaleButton},
        {.name = "TestProgress", .kind = K::ProgressBar, .container = "Frame20",
         .twips = {60, 800, 6600, 240}},
        {.name = "TestLeft", .kind = K::Label, .container = "Frame20",
         .twips = {6780, 830, 1960, 180}},
    };
    for (int i = 0; i < 8; ++i)
        table.push_back({.name = QStringLiteral("TestCell(%1)").arg(i), .kind = K::Label, .container = "Frame20",
                         .twips = {60 + i * 1085, 1120, 1025, 400}, .text = QString::number(i + 1), .back = cell});
    table.push_back({.name = "TestLog", .kind = K::MultiLineTextBox, .container = "Frame20",
                     .twips = {60, 1600, 8680, 1780}, .scrollBar = true});
    return table;
}

// The bus overview: the list's tools and the polling's settings on top, one row per module
// below.
LayoutTable MakeOverviewPage()
{
    const QColor orange(255, 168, 58);
    return {
        {.name = "Frame21", .kind = K::Frame, .container = "safetabs1",
         .twips = {120, 420, 8800, 3440}, .back = PageBack, .page = 9},
        {.name = "OverviewScan", .kind = K::Button, .container = "Frame21",
         .twips = {60, 40, 960, 330}, .text = QT_TRANSLATE_NOOP("Form1", "扫描总线"), .back = PaleButton},
        {.name = "OverviewRange", .kind = K::TextBox, .container = "Frame21",
         .twips = {1080, 60, 660, 290}, .text = "1-32"},
        {.name = "Label32", .kind = K::Label, .container = "Frame21",
         .twips = {1820, 110, 420, 180}, .text = QT_TRANSLATE_NOOP("Form1", "地址")},
        {.name = "OverviewAddress", .kind = K::TextBox, .container = "Frame21",
         .twips = {2260, 60, 460, 290}},
        {.name = "OverviewModel", .kind = K::ListCombo, .container = "Frame21",
         .twips = {2780, 60, 900, 290}, .items = ModelList()},
        {.name = "OverviewAdd", .kind = K::Button, .container = "Frame21",
         .twips = {3740, 40, 700, 330}, .text = QT_TRANSLATE_NOOP("Form1", "添加"), .back = PaleButton},
        {.name = "OverviewRemove", .kind = K::Button, .container = "Frame21",
         .twips = {4500, 40, 820, 330}, .text = QT_TRANSLATE_NOOP("Form1", "删除"), .back = PaleButton},
        {.name = "OverviewAllOff", .kind = K::Button, .container = "Frame21",
         .twips = {5380, 40, 960, 330}, .text = QT_TRANSLATE_NOOP("Form1", "全部关闭"), .back = orange, .fore = White},
        {.name = "OverviewExport", .kind = K::Button, .container = "Frame21",
         .twips = {6400, 40, 900, 330}, .text = QT_TRANSLATE_NOOP("Form1", "导出CSV"), .back = PaleButton},
        {.name = "OverviewDetach", .kind = K::Button, .container = "Frame21",
         .twips = {7360, 40, 1380, 330}, .text = QT_TRANSLATE_NOOP("Form1", "在新窗口中打开"), .back = PaleButton},
        {.name = "Label33", .kind = K::Label, .container = "Frame21",
         .twips = {60, 470, 1000, 180}, .text = QT_TRANSLATE_NOOP("Form1", "间隔(毫秒)")},
        {.name = "OverviewInterval", .kind = K::TextBox, .container = "Frame21",
         .twips = {1080, 420, 660, 290}, .text = "0"},
        {.name = "Label34", .kind = K::Label, .container = "Frame21",
         .twips = {1820, 470, 900, 180}, .text = QT_TRANSLATE_NOOP("Form1", "离线次数")},
        {.name = "OverviewMisses", .kind = K::TextBox, .container = "Frame21",
         .twips = {2780, 420, 460, 290}, .text = "3"},
        {.name = "OverviewState", .kind = K::Label, .container = "Frame21",
         .twips = {3320, 470, 5420, 180}},
        {.name = "OverviewTable", .kind = K::Table, .container = "Frame21",
         .twips = {60, 780, 8680, 2600}},
    };
}

// clang-format on

} // namespace

QString Caption(const QString &source)
{
    return QCoreApplication::translate("Form1", source.toUtf8().constData());
}

QString WindowCaption()
{
    return QStringLiteral(QT_TRANSLATE_NOOP("Form1", "Quorvane（MODBUS协议）"));
}

QSize ClientTwips()
{
    return {9270, 8010};
}

QColor WindowBackColor()
{
    return StripBack;
}

QColor PageBackColor()
{
    return PageBack;
}

QStringList PortList()
{
    QStringList ports;
    for (int i = 1; i <= 255; ++i)
        ports << QStringLiteral("COM%1").arg(i);
    return ports;
}

QStringList TimeList()
{
    return {"1",  "2",  "3",  "4",  "5",   "6",   "7",   "8",   "9",   "10",
            "20", "30", "50", "80", "100", "200", "300", "500", "800", "1000"};
}

QStringList ModelList()
{
    return {"QV-04", "QV-08"};
}

QStringList LanguageList()
{
    // A language is named in its own words.
    return {QT_TRANSLATE_NOOP("Form1", "跟随系统"), QT_TRANSLATE_NOOP("Form1", "中文"), "English"};
}

QStringList EchoList()
{
    // In the order of bus::Echo: Auto, Drop, None.
    return {QT_TRANSLATE_NOOP("Form1", "自动识别"), QT_TRANSLATE_NOOP("Form1", "去除回显"),
            QT_TRANSLATE_NOOP("Form1", "无回显")};
}

QStringList LinkList()
{
    return {"RS232", "RS485"};
}

const LayoutTable &ConnectionStripLayout()
{
    static const LayoutTable table = MakeConnectionStrip();
    return table;
}

const LayoutTable &TabStripLayout()
{
    static const LayoutTable table{
        {.name = "safetabs1",
         .kind = K::TabStrip,
         .twips = {120, 2640, 9015, 3915},
         .back = PageBack,
         .skin = 6},
    };
    return table;
}

const LayoutTable &PageLayout(int page)
{
    static const LayoutTable pages[PageCount] = {
        MakePage0(), MakePage1(), MakePage2(),       MakePage3(),    MakePage4(),
        MakePage5(), MakePage6(), MakeMonitorPage(), MakeTestPage(), MakeOverviewPage()};
    return pages[page >= 0 && page < PageCount ? page : 0];
}

const LayoutTable &StatusFrameLayout()
{
    static const LayoutTable table = MakeStatusFrame();
    return table;
}

QStringList TabCaptions()
{
    return {QT_TRANSLATE_NOOP("Form1", "单路控制"), QT_TRANSLATE_NOOP("Form1", "点动控制"),
            QT_TRANSLATE_NOOP("Form1", "延时控制"), QT_TRANSLATE_NOOP("Form1", "组合控制"),
            QT_TRANSLATE_NOOP("Form1", "协议测试"), QT_TRANSLATE_NOOP("Form1", "名称设置"),
            QT_TRANSLATE_NOOP("Form1", "系统设置"), QT_TRANSLATE_NOOP("Form1", "总线监听"),
            QT_TRANSLATE_NOOP("Form1", "模块测试"), QT_TRANSLATE_NOOP("Form1", "总线总览")};
}

LayoutTable WindowLayout()
{
    LayoutTable all = ConnectionStripLayout();
    const auto append = [&all](const LayoutTable &table) {
        all.insert(all.end(), table.begin(), table.end());
    };
    append(TabStripLayout());
    for (int page = 0; page < PageCount; ++page)
        append(PageLayout(page));
    append(StatusFrameLayout());
    return all;
}

const std::vector<TimerRow> &TimerTable()
{
    static const std::vector<TimerRow> table{
        {"Timer1", 1000, true},  {"Timer2", 200, false},   {"Timer3", 50, false},
        {"Timer4", 100, true},   {"Timer5", 35, false},    {"readBT", 50, false},
        {"sdduqu", 1000, false}, {"sheding", 1000, false},
    };
    return table;
}

QString PopupMenuName()
{
    return QStringLiteral("mmu");
}

const std::vector<MenuRow> &PopupMenuTable()
{
    static const std::vector<MenuRow> table{
        {"MOD", QT_TRANSLATE_NOOP("Form1", "     《地址1 MODBUS常用协议》")},
        {"N9", "-"},
        {"MOD1", QT_TRANSLATE_NOOP("Form1", "01 05 00 00 FF 00 8C 3A              (第一路开)")},
        {"N10", "-"},
        {"MOD2", QT_TRANSLATE_NOOP("Form1", "01 05 00 00 00 00 CD CA             (第一路关)")},
        {"N11", "-"},
        {"MOD3", QT_TRANSLATE_NOOP("Form1", "01 0F 00 00 00 10 02 FF FF E3 90   (四路全开)")},
        {"N12", "-"},
        {"MOD4", QT_TRANSLATE_NOOP("Form1", "01 0F 00 00 00 10 02 00 00 E2 20 (四路全关)")},
        {"N14", "-"},
        {"MOD5", QT_TRANSLATE_NOOP("Form1", "01 01 00 00 00 10 3D C6           （读取状态）")},
        {"N13", "-"},
        {"AT0", QT_TRANSLATE_NOOP("Form1", "      《地址1常用AT命令》")},
        {"n2", "-"},
        {"AT1", QT_TRANSLATE_NOOP("Form1", "AT+OUT1+1=ON      (第一路开)")},
        {"N1", "-"},
        {"AT2", QT_TRANSLATE_NOOP("Form1", "AT+OUT1+1=OFF     (第一路关)")},
        {"n3", "-"},
        {"AT3", QT_TRANSLATE_NOOP("Form1", "AT+ALLOUT+1=ON （四路全开）")},
        {"n4", "-"},
        {"AT4", QT_TRANSLATE_NOOP("Form1", "AT+ALLOUT+1=OFF（四路全关）")},
        {"n5", "-"},
        {"AT5", QT_TRANSLATE_NOOP("Form1", "AT+STATUS+1=?      (继电器状态查询)")},
    };
    return table;
}

} // namespace app
