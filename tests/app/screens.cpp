// Renders each page of the main window off-screen into DIR/page-<n>.png, in Chinese or English,
// the line settings ("线路设置") into DIR/linesettings.png,
// and the line check ("线路诊断") run on PORT (default the virtual module) into DIR/linecheck.png.
// Usage: quorvane-screens DIR [zh|en [PORT]]   (run with QT_QPA_PLATFORM=offscreen)

#include "app/language.h"
#include "app/linecheckdialog.h"
#include "app/linesettingsdialog.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/overviewpage.h"
#include "app/services.h"
#include "controls/qzbutton.h"
#include "controls/safetabs.h"
#include "sim/demo.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    const std::optional<app::Language> language =
        app::LanguageOfCode(argc >= 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("zh"));
    if (argc < 2 || argc > 4 || !language) {
        std::fprintf(stderr, "usage: %s DIR [zh|en [PORT]]\n", argv[0]);
        return 2;
    }
    app::InstallLanguage(*language);
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    // As a new user first sees it, the way script/run starts it: a fresh Config.ini, the
    // virtual module offered and selected, start-up done and the clock running.
    const QTemporaryDir settingsDir;
    app::RecordedMessages messages;
    app::Services services;
    services.messages = &messages;
    services.iniPath = settingsDir.filePath(QStringLiteral("Config.ini"));
    app::StartOptions options;
    options.demo = true;
    Form1 window(options, services);
    sim::InstallDemoPort(&window);
    window.show();
    QElapsedTimer started;
    started.start();
    while (window.Timer4.isActive() || started.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    const auto waitFor = [](const std::function<bool()> &done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return done();
    };
    for (int page = 0; page < window.safetabs1->TabCount(); ++page) {
        window.safetabs1->setActiveTab(page);
        if (page == OverviewPage::Page) {
            // The demo's modules as a new user sees them: the port opened, the bus scanned,
            // the two eight-channel modules given their model, channel 3 of module 5 on.
            OverviewPage &overview = *window.overviewPage;
            if (!window.MSComm1.isOpen())
                emit window.Command2->Click();
            qobject_cast<QLineEdit *>(window.control(QStringLiteral("OverviewRange")))
                ->setText(QStringLiteral("1-6"));
            overview.scan();
            waitFor([&] { return !overview.scanning(); });
            for (const char *address : {"1", "5"}) {
                qobject_cast<QLineEdit *>(window.control(QStringLiteral("OverviewAddress")))
                    ->setText(QString::fromLatin1(address));
                qobject_cast<QComboBox *>(window.control(QStringLiteral("OverviewModel")))
                    ->setCurrentIndex(1);
                emit qobject_cast<QzButton *>(window.control(QStringLiteral("OverviewAdd")))
                    ->Click();
            }
            waitFor([&] {
                const auto *m = overview.poller().module(5);
                return m && m->online;
            });
            overview.switchChannel(5, 3);
            waitFor([&] {
                const auto *m = overview.poller().module(5);
                return m && m->bits && (*m->bits & 0x04);
            });
        }
        const QString file = dir.filePath(QStringLiteral("page-%1.png").arg(page));
        if (!window.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }

    LineSettingsDialog *line = LineSettingsDialog::Open(window);
    QCoreApplication::processEvents();
    const QString lineFile = dir.filePath(QStringLiteral("linesettings.png"));
    if (!line->grab().save(lineFile)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(lineFile));
        return 1;
    }
    std::printf("%s\n", qPrintable(lineFile));
    line->reject();

    LineCheckDialog *check = LineCheckDialog::Open(window);
    if (auto *port = check->findChild<QComboBox *>(QStringLiteral("lineCheckPort")))
        port->setEditText(argc == 4 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("DEMO"));
    check->start();
    started.restart();
    while (check->running() && started.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const QString file = dir.filePath(QStringLiteral("linecheck.png"));
    if (check->running() || !check->grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return 1;
    }
    std::printf("%s\n", qPrintable(file));
    return 0;
}
