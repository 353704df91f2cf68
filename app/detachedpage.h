#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

class QLabel;
class QWidget;
class SafeTabs;

// A page of the tab strip in a window of its own ("在新窗口中打开"): the page's frame moves into
// a resizable window in the main window's look and its tables grow with it; closing the window
// returns the frame to its page. The window's size is kept in Config.ini under the page's key.
// While open, the page's tab says where the page went.
class DetachedPage : public QObject
{
    Q_OBJECT
public:
    // How a control follows the window's growth beyond the page's designed size.
    struct Follow
    {
        QWidget *widget = nullptr;
        bool width = false;  // takes the extra width
        bool height = false; // takes the extra height
        bool down = false;   // moves down by the extra height
    };

    DetachedPage(QWidget &mainWindow, SafeTabs &tabs, int page, QWidget &frame, QString iniPath,
                 QString key, QList<Follow> follows, QObject *parent = nullptr);
    ~DetachedPage() override;

    // Shows the page in its window (raised when it is there already).
    void open();
    // Returns the page to its tab and closes the window.
    void close();
    bool isOpen() const { return m_window != nullptr; }
    QWidget *window() const { return m_window; }

    // The window's size as stored ("800x500"), and back; none when the text is no size at least
    // the page's own.
    static QString SizeText(const QSize &size);
    static QSize SizeFromText(const QString &text, const QSize &least);

signals:
    // The page went into its window (true) or came back (false).
    void openChanged(bool open);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layOut();
    void giveBack();

    QWidget &m_main;
    SafeTabs &m_tabs;
    int m_page;
    QWidget &m_frame;
    QString m_iniPath;
    QString m_key;
    QList<Follow> m_follows;
    QList<QRect> m_designed; // each follower's geometry on the page
    QRect m_frameDesigned;
    QPointer<QWidget> m_window;
    QPointer<QLabel> m_placeholder;
};
