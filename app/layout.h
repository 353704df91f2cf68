#pragma once

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <vector>

namespace app {

// What the window is built from: one row per control, one table per region of the window.
// Geometry is in twips, relative to the control's container, as the window was designed.

enum class ControlKind {
    Frame,            // a titled group box
    Label,            // transparent text
    TextBox,          // single-line text
    MultiLineTextBox, // multi-line text
    ListCombo,        // drop-down list, no typing
    EditableCombo,    // drop-down list that accepts typed text
    CheckBox,
    Button,      // the styled button
    Switch,      // the toggle switch
    TabStrip,    // the tab strip holding the pages
    Shape,       // the round port-state lamp
    Separator,   // a thin line
    Table,       // a table of rows from a model (the bus monitor)
    ProgressBar, // how far a run has come (the module test)
};

struct ControlRow
{
    QString name{}; // the objectName; arrays as "Name(i)"
    ControlKind kind = ControlKind::Label;
    QString container{}; // objectName of the container; empty for the window itself
    QRect twips{};       // left, top, width, height
    QString text{};      // caption or initial text
    QStringList items{}; // list contents of a combo box
    QColor back{};       // invalid: the container's look
    QColor fore{};       // invalid: the default text colour
    int page = -1;       // the page of a direct child of the tab strip
    int buttonStyle = 4;
    bool focusRect = false;
    bool bold = false;
    int pointSize = 0;      // 0: the window's font
    bool value = false;     // a switch's initial value
    int skin = 0;           // a switch's skin
    bool scrollBar = false; // a multi-line text box with a vertical scroll bar
    bool flat = false;      // a text box without a border
    bool hidden = false;    // created hidden; shown by its handlers when there is news
};

using LayoutTable = std::vector<ControlRow>;

// The window itself.
QString WindowCaption();
QSize ClientTwips();
QColor WindowBackColor();
QColor PageBackColor();

// The standard lists.
QStringList PortList();  // "COM1" .. "COM255"
QStringList TimeList();  // the time boxes' entries, in 0.1 s
QStringList ModelList(); // "QV-04", "QV-08"
QStringList LinkList();  // "RS232", "RS485"
// The choices of the window's language: the system's, "中文", "English".
QStringList LanguageList();
// The echo settings, in the order of bus::Echo.
QStringList EchoList();

// A text of the tables as the window shows it, in the window's language: where table texts
// become captions, and where the window shows texts of its own (context "Form1").
QString Caption(const QString &source);

// The regions, top to bottom: the connection strip, the tab strip with its pages (page n's
// table holds the tab strip's direct children on that page and everything inside them), and the
// status frame.
const LayoutTable &ConnectionStripLayout();
const LayoutTable &TabStripLayout();
const LayoutTable &PageLayout(int page);
const LayoutTable &StatusFrameLayout();
inline constexpr int PageCount = 10;
QStringList TabCaptions();

// Every row of every region, in creation order (containers before their contents).
LayoutTable WindowLayout();

struct TimerRow
{
    QString name;
    int intervalMs;
    bool enabled;
};
const std::vector<TimerRow> &TimerTable();

// The popup menu's items, top to bottom; a caption "-" is a separator.
struct MenuRow
{
    QString name;
    QString caption;
};
QString PopupMenuName();
const std::vector<MenuRow> &PopupMenuTable();

} // namespace app
