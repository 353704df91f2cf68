// Shows every custom control in each of its states, for reviewing the look.
//   controls-gallery                      opens the gallery window
//   controls-gallery --screenshot F.png   renders it off-screen into F.png and exits
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "controls/safetabs.h"
#include "controls/skinstyle.h"
#include "support/input.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEnterEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

const QColor WindowColour(242, 250, 249);
const QColor PageColour(252, 254, 248);

QPixmap bulb(const QColor &colour)
{
    const qreal dpr = 2.0;
    QPixmap pm(QSize(16, 16) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(6, 5), 9);
    g.setColorAt(0, colour.lighter(160));
    g.setColorAt(1, colour);
    p.setBrush(g);
    p.setPen(QPen(colour.darker(150), 1));
    p.drawEllipse(QRectF(2.5, 1.5, 11, 11));
    p.setBrush(QColor(120, 120, 120));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(5.5, 12.5, 5, 3));
    return pm;
}

struct Gallery
{
    QWidget *window = nullptr;
    QList<QWidget *> hot, pressed;
    QList<QWidget *> fadeIn; // skinned controls shown with their hover look
};

QWidget *switchSection(Gallery &g, QWidget *parent)
{
    auto *box = new QGroupBox(QStringLiteral("SafeSwitch"), parent);
    auto *grid = new QGridLayout(box);
    const QStringList states = {"normal", "hover", "pressed", "disabled"};
    for (int c = 0; c < 8; ++c) {
        auto *l = new QLabel((c < 4 ? "on " : "off ") + states[c % 4], box);
        l->setAlignment(Qt::AlignCenter);
        grid->addWidget(l, 0, c + 1);
    }
    for (int skin = 0; skin < 3; ++skin) {
        grid->addWidget(new QLabel(QStringLiteral("skin %1").arg(skin), box), skin + 1, 0);
        for (int c = 0; c < 8; ++c) {
            auto *s = new SafeSwitch(box);
            s->setSkin(skin);
            s->setValue(c < 4);
            if (c % 4 == 3)
                s->setEnable(false);
            else if (c % 4 == 1)
                g.hot << s;
            else if (c % 4 == 2)
                g.pressed << s;
            grid->addWidget(s, skin + 1, c + 1, Qt::AlignCenter);
        }
    }
    return box;
}

QWidget *tabsSection(Gallery &g, QWidget *parent)
{
    auto *box = new QGroupBox(QStringLiteral("SafeTabs"), parent);
    auto *layout = new QVBoxLayout(box);

    // The window's strip: seven tabs, skin 6, labels 60 wide, no gap.
    auto *tabs = new SafeTabs(box);
    tabs->setTabCount(7);
    const QStringList captions = {"单路控制", "点动控制", "延时控制", "组合控制",
                                  "协议测试", "名称设置", "系统设置"};
    for (int i = 0; i < 7; ++i)
        tabs->setCaption(i, captions[i]);
    tabs->setSkinIndex(6);
    tabs->setBackColor(PageColour);
    tabs->setLabelWidth(60);
    tabs->setLabelActHeight(25);
    tabs->setLabelHeight(24);
    tabs->setLabelBlank(0);
    tabs->setFixedSize(470, 110);
    for (int page = 0; page < 7; ++page) {
        auto *frame = new QGroupBox(page == 0 ? QStringLiteral("通道状态") : QString(), tabs);
        frame->setGeometry(8, 32, 454, 70);
        auto *note = new QLabel(QStringLiteral("%1 的内容").arg(captions[page]), frame);
        note->move(12, 24);
        tabs->setPageOf(frame, page);
    }
    tabs->setActiveTab(0);
    g.hot << tabs;
    layout->addWidget(tabs);

    // Every colour scheme, with the second label hot where the pointer rests.
    auto *schemes = new QGridLayout;
    for (int skin = 0; skin < 8; ++skin) {
        auto *t = new SafeTabs(box);
        t->setSkinIndex(skin);
        t->setLabelWidth(56);
        t->setFixedSize(190, 48);
        t->setBackColor(SafeTabs::labelColour(skin));
        t->setCaption(0, QStringLiteral("skin %1").arg(skin));
        t->setCaption(1, QStringLiteral("标签"));
        t->setCaption(2, skin == 7 ? QStringLiteral("disabled") : QStringLiteral("标签"));
        if (skin == 7)
            t->setTabsEnabled(false);
        else
            g.hot << t;
        schemes->addWidget(t, skin / 4, skin % 4);
    }
    layout->addLayout(schemes);
    return box;
}

QWidget *buttonSection(Gallery &g, QWidget *parent)
{
    auto *box = new QGroupBox(QStringLiteral("QzButton"), parent);
    auto *grid = new QGridLayout(box);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    const QStringList columns = {"normal",  "hot",     "pressed", "disabled",
                                 "checked", "picture", "focus"};
    for (int c = 0; c < columns.size(); ++c) {
        auto *l = new QLabel(columns[c], box);
        l->setAlignment(Qt::AlignCenter);
        grid->addWidget(l, 0, c + 1);
    }
    for (int style = 0; style < 16; ++style) {
        grid->addWidget(new QLabel(QStringLiteral("style %1").arg(style), box), style + 1, 0);
        for (int c = 0; c < columns.size(); ++c) {
            auto *b = new QzButton(box);
            b->setButtonStyle(style);
            b->setCaption(c == 5 ? QStringLiteral("图片") : QStringLiteral("读取(&R)"));
            b->setFixedSize(style == 14 ? 96 : 92, 26);
            b->setFocusPolicy(Qt::NoFocus);
            switch (c) {
            case 1:
                g.hot << b;
                break;
            case 2:
                g.pressed << b;
                break;
            case 3:
                b->setEnabled(false);
                break;
            case 4:
                b->setCheckBoxMode(true);
                b->setValue(true);
                break;
            case 5:
                b->setPicture(bulb(QColor(250, 190, 40)));
                b->setPictureHover(bulb(QColor(255, 120, 40)));
                break;
            case 6:
                b->setShowFocusRect(true);
                b->setDefault(true);
                break;
            default:
                break;
            }
            grid->addWidget(b, style + 1, c + 1);
        }
    }
    return box;
}

QWidget *skinSection(Gallery &g, QWidget *parent)
{
    auto *box = new QGroupBox(QStringLiteral("Skinned standard controls"), parent);
    auto *grid = new QGridLayout(box);
    const QStringList bauds = {"9600", "19200", "38400", "115200"};
    for (int c = 0; c < 3; ++c) {
        auto *combo = new QComboBox(box);
        combo->addItems(bauds);
        combo->setEditable(c == 2);
        if (c == 1)
            g.fadeIn << combo;
        grid->addWidget(combo, 0, c);
    }
    auto *disabledCombo = new QComboBox(box);
    disabledCombo->addItem(QStringLiteral("QV-08"));
    disabledCombo->setEnabled(false);
    grid->addWidget(disabledCombo, 0, 3);

    const QStringList checks = {"定时", "十六进制发送", "悬停", "不可用"};
    for (int c = 0; c < 4; ++c) {
        auto *check = new QCheckBox(checks[c], box);
        check->setChecked(c == 1 || c == 3);
        check->setEnabled(c != 3);
        if (c == 2)
            g.fadeIn << check;
        grid->addWidget(check, 1, c);
    }
    auto *plain = new QPushButton(QStringLiteral("颜色"), box);
    auto *plainHot = new QPushButton(QStringLiteral("悬停"), box);
    g.fadeIn << plainHot;
    grid->addWidget(plain, 2, 0);
    grid->addWidget(plainHot, 2, 1);
    return box;
}

Gallery buildGallery()
{
    Gallery g;
    g.window = new QWidget;
    g.window->setWindowTitle(QStringLiteral("controls-gallery"));
    QPalette pal = g.window->palette();
    pal.setColor(QPalette::Window, WindowColour);
    g.window->setPalette(pal);
    g.window->setAutoFillBackground(true);

    auto *grid = new QGridLayout(g.window);
    auto *left = new QVBoxLayout;
    left->addWidget(switchSection(g, g.window));
    left->addWidget(tabsSection(g, g.window));
    left->addWidget(skinSection(g, g.window));
    left->addStretch();
    grid->addLayout(left, 0, 0);
    grid->addWidget(buttonSection(g, g.window), 0, 1);
    return g;
}

void applyStates(const Gallery &g)
{
    for (QWidget *w : g.hot) {
        if (auto *tabs = qobject_cast<SafeTabs *>(w)) {
            const QPointF at = tabs->labelRect(1).center();
            QMouseEvent move(QEvent::MouseMove, at, tabs->mapToGlobal(at), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(tabs, &move);
        } else {
            support::Hover(w);
        }
    }
    for (QWidget *w : g.pressed)
        support::Press(w);
    for (QWidget *w : g.fadeIn) {
        QHoverEvent enter(QEvent::HoverEnter, QPointF(2, 2), QPointF(2, 2), QPointF(-1, -1));
        QApplication::sendEvent(w, &enter);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QString screenshot;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
            screenshot = QString::fromLocal8Bit(argv[++i]);
    }
    if (!screenshot.isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setStyle(new SkinStyle);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSize(9);
    QApplication::setFont(font);

    Gallery g = buildGallery();
    g.window->show();
    applyStates(g);

    if (screenshot.isEmpty()) {
        const int rc = app.exec();
        delete g.window;
        return rc;
    }

    // Let the hover fades finish, then render.
    int rc = 0;
    auto *style = static_cast<SkinStyle *>(QApplication::style());
    auto *poll = new QTimer(&app);
    poll->setInterval(SkinStyle::FadeInterval);
    QObject::connect(poll, &QTimer::timeout, &app, [&] {
        if (style->isFading())
            return;
        poll->stop();
        const QPixmap shot = g.window->grab();
        if (!shot.save(screenshot)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(screenshot));
            rc = 1;
        }
        app.quit();
    });
    poll->start();
    app.exec();
    delete g.window;
    return rc;
}
