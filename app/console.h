#pragma once

#include "app/replyreader.h"
#include "protocol/console.h"

#include <QObject>
#include <QTimer>

#include <functional>

class Form1;
class QAction;
class QLineEdit;
class QPoint;
class QWidget;

// The serial console page: sending typed text or hex bytes, showing what arrives while the page
// has the line (as hex after a reply window, or as text decoded from GBK), the received-byte
// count, the example menu, the CRC calculator, and the two copy buttons of the status frame.
// It connects itself to the window's controls.
class Console : public QObject
{
    Q_OBJECT
public:
    explicit Console(Form1 &form);

    // "发送".
    void Command7_Click();
    // "▼": the example menu at the pointer.
    void qzbutton7_Click();
    // An entry of the example menu was chosen.
    void mmu_Click(QAction *item);
    // "清空".
    void qzbutton8_Click();
    // "计算".
    void Command8_Click();
    // "复制" beside the sent box and beside the received box.
    void qzbutton11_Click();
    void qzbutton13_Click();

    // Bytes for the console are waiting in the port.
    void Receive();

    // Every byte received since the last clear.
    qint64 receivedCount() const { return m_count; }
    // True while a hex reply window is open.
    bool collecting() const { return m_reader.collecting(); }
    ReplyReader &reader() { return m_reader; }

    // The receive box's context menu adds these two to its standard entries.
    QAction *saveAction() const { return m_save; }
    QAction *timestampAction() const { return m_timestamps; }
    // Asks where to save the receive box; an empty answer cancels. The window asks with a file
    // dialog; a test answers itself.
    using PathChooser = std::function<QString(QWidget *parent)>;
    void setPathChooser(PathChooser chooser) { m_chooser = std::move(chooser); }
    // "保存到文件…": the receive box as UTF-8 text.
    void SaveReceived();

    // How much of the receive box is kept.
    void setLimits(const protocol::BoxLimits &limits);
    const protocol::BoxLimits &limits() const { return m_limits; }
    // Hex bytes on one line of the receive box: as many as its width shows.
    int hexBytesPerLine() const { return m_lines.hexBytesPerLine(); }

private:
    void connectControls();
    void hexReplyRead(const QByteArray &bytes);
    void readWaitingText();
    void queue(const QString &text);
    // Writes what "发送" sends, or says in the receive box why it cannot go.
    void send(const QByteArray &bytes);
    void flush();
    void trim();
    void showCount();
    QString stamp() const;
    int fittingHexBytes() const;
    void copyBox(QLineEdit *box, const QString &emptyText, const QString &copiedText);
    void showContextMenu(const QPoint &pos);
    void markCrcInput(const QString &reason);

    Form1 &f;
    ReplyReader m_reader;
    protocol::ConsoleLines m_lines;
    protocol::BoxLimits m_limits;
    // Received text waiting to be appended in one go, at most one display frame later.
    QString m_pending;
    QTimer m_flush;
    bool m_textWaiting = false; // text arrived and is read at the next append
    qint64 m_count = 0;
    QAction *m_save = nullptr;
    QAction *m_timestamps = nullptr;
    PathChooser m_chooser;
};
