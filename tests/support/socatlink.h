#pragma once

// A virtual serial line as users make one: socat joining two pseudo-terminals, each reached by a
// link in a temporary directory ("a" and "b"). socat holds the master side of both terminals, as
// any peer made with openpty() does. Stopped again by its process id.

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class SocatLink
{
public:
    SocatLink()
    {
        m_process.setProgram(QStringLiteral("socat"));
        m_process.setArguments({end(QStringLiteral("a")), end(QStringLiteral("b"))});
        m_process.start();
        m_pid = m_process.processId();
    }
    ~SocatLink()
    {
        if (m_pid > 0 && m_process.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(m_pid), SIGTERM);
            m_process.waitForFinished(5000);
        }
    }
    SocatLink(const SocatLink &) = delete;
    SocatLink &operator=(const SocatLink &) = delete;

    // True once both links are there.
    bool ready() const { return QFileInfo(a()).isSymLink() && QFileInfo(b()).isSymLink(); }
    QString a() const { return m_dir.filePath(QStringLiteral("a")); }
    QString b() const { return m_dir.filePath(QStringLiteral("b")); }

private:
    QString end(const QString &name) const
    {
        return QStringLiteral("pty,link=%1,raw,echo=0").arg(m_dir.filePath(name));
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    qint64 m_pid = 0;
};
