#include "app/detachedpage.h"

#include "app/layout.h"
#include "controls/safetabs.h"
#include "settings/configkeys.h"
#include "settings/ini.h"

#include <QCloseEvent>
#include <QLabel>
#include <QRegularExpression>
#include <QWidget>

namespace {

constexpr int Margin = 6;

} // namespace

DetachedPage::DetachedPage(QWidget &mainWindow, SafeTabs &tabs, int page, QWidget &frame,
                           QString iniPath, QString key, QList<Follow> follows, QObject *parent)
    : QObject(parent), m_main(mainWindow), m_tabs(tabs), m_page(page), m_frame(frame),
      m_iniPath(std::move(iniPath)), m_key(std::move(key)), m_follows(std::move(follows))
{}

DetachedPage::~DetachedPage()
{
    // The main window going away takes the window with it; the frame goes back first so it is
    // destroyed with the tab strip, where the window's handlers expect it.
    if (m_window)
        giveBack();
}

QString DetachedPage::SizeText(const QSize &size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

QSize DetachedPage::SizeFromText(const QString &text, const QSize &least)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{1,5})\\s*x\\s*(\\d{1,5})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    if (size.width() < least.width() || size.height() < least.height())
        return {};
    return size;
}

void DetachedPage::open()
{
    if (m_window) {
        m_window->showNormal();
        m_window->raise();
        m_window->activateWindow();
        return;
    }
    m_frameDesigned = m_frame.geometry();
    m_designed.clear();
    for (const Follow &f : m_follows)
        m_designed << (f.widget ? f.widget->geometry() : QRect());

    auto *window = new QWidget(&m_main, Qt::Window);
    m_window = window;
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setWindowTitle(m_tabs.Caption(m_page) + QStringLiteral(" - ") + m_main.windowTitle());
    window->setWindowIcon(m_main.windowIcon());
    window->setFont(m_main.font());
    window->setPalette(m_main.palette());
    window->setAutoFillBackground(true);
    const QSize least = m_frameDesigned.size() + QSize(2 * Margin, 2 * Margin);
    window->setMinimumSize(least);
    QSize size =
        SizeFromText(settings::ReadIni(m_iniPath, settings::WindowsSection, m_key, {}), least);
    if (!size.isValid())
        size = QSize(least.width() * 3 / 2, least.height() * 2);
    window->resize(size);
    window->installEventFilter(this);

    m_frame.setParent(window);
    m_frame.move(Margin, Margin);
    m_frame.show();
    layOut();

    // The tab says where its page went.
    m_placeholder = new QLabel(
        app::Caption(QT_TRANSLATE_NOOP("Form1", "此页已在新窗口中打开，关闭该窗口即回到这里。")),
        &m_tabs);
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setGeometry(m_frameDesigned);
    m_placeholder->show();
    m_tabs.setPageOf(m_placeholder, m_page);

    window->show();
    emit openChanged(true);
}

void DetachedPage::close()
{
    if (m_window)
        m_window->close(); // the close event gives the page back
}

bool DetachedPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::Resize)
            layOut();
        else if (event->type() == QEvent::Close) {
            giveBack();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void DetachedPage::layOut()
{
    if (!m_window)
        return;
    const QSize room = m_window->size() - QSize(2 * Margin, 2 * Margin);
    const int dw = std::max(0, room.width() - m_frameDesigned.width());
    const int dh = std::max(0, room.height() - m_frameDesigned.height());
    m_frame.resize(m_frameDesigned.size() + QSize(dw, dh));
    for (int i = 0; i < m_follows.size(); ++i) {
        const Follow &f = m_follows.at(i);
        if (!f.widget)
            continue;
        QRect r = m_designed.at(i);
        if (f.width)
            r.setWidth(r.width() + dw);
        if (f.height)
            r.setHeight(r.height() + dh);
        if (f.down)
            r.translate(0, dh);
        f.widget->setGeometry(r);
    }
}

void DetachedPage::giveBack()
{
    QWidget *window = m_window;
    if (!window)
        return;
    if (!m_iniPath.isEmpty())
        settings::WriteIni(m_iniPath, settings::WindowsSection, m_key, SizeText(window->size()));
    window->removeEventFilter(this);
    for (int i = 0; i < m_follows.size(); ++i)
        if (m_follows.at(i).widget)
            m_follows.at(i).widget->setGeometry(m_designed.at(i));
    m_frame.setParent(&m_tabs);
    m_frame.setGeometry(m_frameDesigned);
    m_frame.show();
    m_tabs.setPageOf(&m_frame, m_page); // parked by the tab strip unless its page is on view
    delete m_placeholder;
    m_window = nullptr;
    window->hide();
    window->deleteLater();
    emit openChanged(false);
}
