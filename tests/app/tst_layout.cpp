#include "app/lamp.h"
#include "app/layout.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/twips.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "controls/safetabs.h"
#include "controls/skinstyle.h"
#include "protocol/baud.h"
#include "support/services.h"
#include "support/shown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QWheelEvent>

#include <memory>

namespace {

// The text a control shows: caption, edit text or label text.
QString ShownText(const QWidget *widget)
{
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (const auto *combo = qobject_cast<const QComboBox *>(widget))
        return combo->currentText();
    if (const auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->text();
    if (const auto *check = qobject_cast<const QCheckBox *>(widget))
        return check->text();
    if (const auto *button = qobject_cast<const QzButton *>(widget))
        return button->Caption();
    return {};
}

// A control array of the window by its name.
QList<QWidget *> Members(Form1 &w, const QString &name)
{
    const auto list = [](const auto &array) {
        QList<QWidget *> widgets;
        for (auto *widget : array)
            widgets << widget;
        return widgets;
    };
    const QHash<QString, QList<QWidget *>> arrays{
        {"SafeSwitch", list(w.SafeSwitch)},
        {"LblTD", list(w.LblTD)},
        {"ddcon", list(w.ddcon)},
        {"DDT", list(w.DDT)},
        {"DDM", list(w.DDM)},
        {"DD", list(w.DD)},
        {"yscon", list(w.yscon)},
        {"TM", list(w.TM)},
        {"ht", list(w.ht)},
        {"ONQ", list(w.ONQ)},
        {"OFF", list(w.OFF)},
        {"ChkTD", list(w.ChkTD)},
        {"TxtTD", list(w.TxtTD)},
        {"Label1", list(w.Label1)},
    };
    return arrays.value(name);
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

    std::unique_ptr<app::RecordedMessages> messages;
    std::unique_ptr<Form1> window;

private slots:
    void init()
    {
        messages = std::make_unique<app::RecordedMessages>();
        window =
            std::make_unique<Form1>(app::StartOptions{}, support::TestServices(messages.get()));
        QVERIFY(support::ShowAndWait(window.get()));
        // The start-up timer has run once and stopped itself.
        QTRY_VERIFY_WITH_TIMEOUT(!window->Timer4.isActive(), 5000);
    }

    void cleanup()
    {
        window.reset();
        messages.reset();
    }

    void twipsToPixels_data()
    {
        QTest::addColumn<int>("twips");
        QTest::addColumn<int>("pixels");
        QTest::newRow("zero") << 0 << 0;
        QTest::newRow("just under half a pixel") << 7 << 0;
        QTest::newRow("just over half a pixel") << 8 << 1;
        QTest::newRow("one pixel") << 15 << 1;
        QTest::newRow("client width") << 9270 << 618;
        QTest::newRow("client height") << 8010 << 534;
        QTest::newRow("negative") << -15 << -1;
    }

    void twipsToPixels()
    {
        QFETCH(int, twips);
        QFETCH(int, pixels);
        QCOMPARE(app::TwipsToPixels(twips), pixels);
    }

    void windowIsFixedAndTitled()
    {
        QCOMPARE(window->size(), QSize(618, 534));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        // Start-up puts the software name in the title bar.
        QCOMPARE(window->windowTitle(), QStringLiteral("Quorvane(MODBUS) Ver3.11"));
        QVERIFY(!window->windowIcon().isNull());
        QVERIFY(!window->windowIcon().pixmap(32, 32).isNull());
    }

    void objectNamesAreUnique()
    {
        QSet<QString> seen;
        const auto widgets = window->findChildren<QWidget *>();
        for (const QWidget *widget : widgets) {
            const QString name = widget->objectName();
            if (name.isEmpty() || name.startsWith(QStringLiteral("qt_")))
                continue; // parts Qt makes inside its own widgets
            QVERIFY2(!seen.contains(name), qPrintable(name));
            seen.insert(name);
        }
        QVERIFY(seen.remove(QStringLiteral("mmu"))); // the popup menu
        QCOMPARE(seen.size(), window->controls().size());
    }

    // Each control lies inside its container and inside the client area. A label may run past
    // its container's edge (as designed) only where it has no text left to show.
    void controlsLieInsideTheirContainers()
    {
        const QRect client = window->rect();
        for (auto it = window->controls().cbegin(); it != window->controls().cend(); ++it) {
            const QWidget *widget = it.value();
            const QWidget *container = widget->parentWidget();
            const QRect inContainer = widget->geometry();
            const QRect visible = inContainer & container->rect();
            QVERIFY2(!visible.isEmpty(), qPrintable(it.key()));
            if (visible != inContainer) {
                const auto *label = qobject_cast<const QLabel *>(widget);
                QVERIFY2(label, qPrintable(it.key() + " is cut off by its container"));
                const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
                QVERIFY2(textWidth <= visible.width(),
                         qPrintable(it.key() + " shows only part of its text"));
            }
            const QRect inWindow(widget->mapTo(window.get(), QPoint()), visible.size());
            QVERIFY2(client.contains(inWindow), qPrintable(it.key()));
        }
    }

    void controlArraysAreComplete_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("indices");
        const auto range = [](int first, int last) {
            QList<int> indices;
            for (int i = first; i <= last; ++i)
                indices << i;
            return indices;
        };
        for (const char *name : {"SafeSwitch", "ddcon", "DDT", "DDM", "DD", "yscon", "TM", "ht",
                                 "ONQ", "OFF", "ChkTD"})
            QTest::newRow(name) << name << range(0, 7);
        QTest::newRow("LblTD") << "LblTD" << range(0, 19);
        QTest::newRow("TxtTD") << "TxtTD" << range(0, 8);
        QTest::newRow("Label1") << "Label1" << QList<int>{1, 2, 4, 7, 8, 9};
    }

    void controlArraysAreComplete()
    {
        QFETCH(QString, name);
        QFETCH(QList<int>, indices);
        const QList<QWidget *> members = Members(*window, name);
        QVERIFY(!members.isEmpty());
        for (int i = 0; i < members.size(); ++i) {
            const QString objectName = QStringLiteral("%1(%2)").arg(name).arg(i);
            if (indices.contains(i)) {
                QVERIFY2(members.at(i), qPrintable(objectName));
                QCOMPARE(members.at(i)->objectName(), objectName);
                QCOMPARE(window->control(objectName), members.at(i));
            } else {
                QVERIFY2(!members.at(i), qPrintable(objectName + " should not exist"));
            }
        }
    }

    void firstPageOnViewOthersHidden()
    {
        QCOMPARE(window->safetabs1->activeTab(), 0);
        QVERIFY(window->Frame4->isVisible());
        const QList<QWidget *> others{window->Frame18, window->Label16, window->Frame17,
                                      window->Frame9,  window->Frame16, window->Frame8,
                                      window->Frame11, window->Label20};
        for (const QWidget *hidden : others)
            QVERIFY2(!hidden->isVisible(), qPrintable(hidden->objectName()));
        QVERIFY(window->SafeSwitch[0]->isVisible());
        QVERIFY(!window->OFF[7]->isVisible());
    }

    void eachTabShowsExactlyItsChildren_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("children");
        QTest::newRow("单路控制") << 0 << QStringList{"Frame4"};
        QTest::newRow("点动控制") << 1 << QStringList{"Frame18"};
        QTest::newRow("延时控制") << 2 << QStringList{"Frame17", "Label16"};
        QTest::newRow("组合控制") << 3 << QStringList{"Frame9"};
        QTest::newRow("协议测试") << 4 << QStringList{"Frame16"};
        QTest::newRow("名称设置") << 5 << QStringList{"Frame8"};
        QTest::newRow("系统设置") << 6 << QStringList{"Frame11", "Label20"};
        QTest::newRow("总线监听") << 7 << QStringList{"Frame19"};
        QTest::newRow("模块测试") << 8 << QStringList{"Frame20"};
    }

    void eachTabShowsExactlyItsChildren()
    {
        QFETCH(int, page);
        QFETCH(QStringList, children);
        SafeTabs *tabs = window->safetabs1;
        QCOMPARE(tabs->Caption(page), QString::fromUtf8(QTest::currentDataTag()));
        tabs->setActiveTab(page);
        QStringList shown;
        for (QWidget *child : tabs->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisible())
                shown << child->objectName();
            QCOMPARE(child->isVisible(), tabs->pageOf(child) == page);
        }
        shown.sort();
        QCOMPARE(shown, children);
        // Going back restores the first page exactly as it was.
        const QRect before = window->Frame4->geometry();
        tabs->setActiveTab(0);
        QVERIFY(window->Frame4->isVisible());
        QCOMPARE(window->Frame4->geometry(), before);
    }

    void startValues_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        // The PC baud list and the new-baud list start at "9600 ", trailing space kept.
        QTest::newRow("Combo3") << "Combo3"
                                << "9600 ";
        QTest::newRow("Combo4") << "Combo4"
                                << "9600 ";
        QTest::newRow("Combo7") << "Combo7"
                                << "RS232";
        QTest::newRow("Text1") << "Text1"
                               << "1";
        QTest::newRow("Text2") << "Text2"
                               << "1";
        QTest::newRow("LblOut") << "LblOut"
                                << "";
        QTest::newRow("LblIn") << "LblIn"
                               << "";
        QTest::newRow("Label2") << "Label2"
                                << "串口已关闭";
        QTest::newRow("Command2") << "Command2"
                                  << "打开串口";
        // Channel 1 keeps its 1; channels 2..8 start at 3, 5, 7, 9, 20, 50 and 100 tenths.
        const QStringList times{"1", "3", "5", "7", "9", "20", "50", "100"};
        for (int i = 0; i < 8; ++i) {
            for (const char *box : {"TM", "DDT"}) {
                const QString name = QStringLiteral("%1(%2)").arg(QLatin1String(box)).arg(i);
                QTest::newRow(qPrintable(name)) << name << times.at(i);
            }
        }
        QTest::newRow("QTM") << "QTM"
                             << "1";
        QTest::newRow("ALLDDT") << "ALLDDT"
                                << "1";
        // No software name stored yet: start-up shows the default one.
        QTest::newRow("TxtTD(8)") << "TxtTD(8)"
                                  << "Quorvane(MODBUS) Ver3.11";
        QTest::newRow("ChkHexSend") << "ChkHexSend"
                                    << " 十六进制发送";
    }

    void startValues()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        QWidget *widget = window->control(control);
        QVERIFY(widget);
        QCOMPARE(ShownText(widget), text);
    }

    void baudListsKeepTheirSpaces()
    {
        for (QComboBox *combo : {window->Combo3, window->Combo4, window->Combo5}) {
            QStringList items;
            for (int i = 0; i < combo->count(); ++i)
                items << combo->itemText(i);
            QCOMPARE(items, protocol::BaudList());
            QCOMPARE(combo->itemText(0), QStringLiteral("300 "));
            QCOMPARE(combo->itemText(11), QStringLiteral("115200"));
        }
    }

    void switchesStartAsDesigned()
    {
        for (SwitchControl *channel : window->SafeSwitch) {
            QCOMPARE(channel->value(), false);
            QCOMPARE(channel->skin(), 2);
        }
        QCOMPARE(window->bkps->value(), true);
        QCOMPARE(window->dizhi->value(), true);
        for (SwitchControl *off : {window->prots, window->RUN, window->sp, window->duqu}) {
            QCOMPARE(off->value(), false);
            QCOMPARE(off->skin(), 0);
        }
    }

    void timersAfterStart()
    {
        const struct
        {
            QTimer *timer;
            int interval;
            bool active;
        } expected[] = {
            {&window->Timer1, 1000, true},  {&window->Timer2, 200, false},
            {&window->Timer3, 50, false},   {&window->Timer4, 100, false},
            {&window->Timer5, 35, false},   {&window->readBT, 50, false},
            {&window->sdduqu, 1000, false}, {&window->sheding, 1000, false},
        };
        for (const auto &e : expected) {
            QCOMPARE(e.timer->interval(), e.interval);
            QVERIFY2(e.timer->isActive() == e.active, qPrintable(e.timer->objectName()));
        }
    }

    void menuButtonShowsThePopup()
    {
        QVERIFY(!window->mmu->isVisible());
        QCOMPARE(window->mmu->actions().size(), 23);
        QVERIFY(window->menuItems.value("N9")->isSeparator());
        QVERIFY(!window->MOD1->isSeparator());
        window->safetabs1->setActiveTab(4);
        QTest::mouseClick(window->qzbutton7, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(window->mmu->isVisible(), 5000);
        window->mmu->hide();
    }

    // Labels and the lamp lie beneath the other controls of their container: where one overlaps
    // a neighbour, a click at that spot reaches a control, never the label, on every page.
    void labelsLieBeneathTheirNeighbours()
    {
        const auto beneath = [](const QWidget *w) {
            return qobject_cast<const QLabel *>(w) || qobject_cast<const app::Lamp *>(w);
        };
        QSet<QString> overlaps;
        for (int page = 0; page < app::PageCount; ++page) {
            window->safetabs1->setActiveTab(page);
            for (const QWidget *label : window->controls()) {
                if (!beneath(label) || label->isHidden())
                    continue;
                QWidget *container = label->parentWidget();
                for (QWidget *other : window->controls()) {
                    const QRect both = label->geometry() & other->geometry();
                    if (beneath(other) || other->parentWidget() != container || other->isHidden() ||
                        both.isEmpty())
                        continue;
                    // The neighbour (or what lies inside it), or another control over it.
                    const QWidget *hit = container->childAt(both.center());
                    const QString pair = label->objectName() + '/' + other->objectName();
                    QVERIFY2(hit && (hit == other || other->isAncestorOf(hit) || !beneath(hit)),
                             qPrintable(pair + " hit " + (hit ? hit->objectName() : "nothing")));
                    overlaps << pair;
                }
            }
        }
        for (const char *pair : {"Label10/Text4", "Label10/dizhi", "Label6/Text4", "Label11/Combo6",
                                 "Label27/ALLDDT", "Label17/QTM"})
            QVERIFY2(overlaps.contains(pair), pair);
    }

    // The port lamp is a circle on the smaller side of its box, centred.
    void lampIsACircle()
    {
        app::Lamp *lamp = window->Shape1;
        QImage picture(lamp->size(), QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        lamp->render(&picture, {}, {}, QWidget::RenderFlags());
        QRect painted;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                if (qAlpha(picture.pixel(x, y)) > 0)
                    painted |= QRect(x, y, 1, 1);
            }
        }
        QVERIFY2(lamp->width() != lamp->height(), "the box is not square");
        QVERIFY(qAbs(painted.width() - painted.height()) <= 1);
        QVERIFY(qAbs(painted.width() - qMin(lamp->width(), lamp->height())) <= 1);
        QVERIFY(qAbs(painted.center().x() - QRect(lamp->rect()).center().x()) <= 1);
    }

    // The skinned look is the main window's: message boxes and other windows keep the plain one.
    void skinCoversOnlyTheWindow()
    {
        QVERIFY(qobject_cast<SkinStyle *>(window->Combo3->style()));
        QVERIFY(qobject_cast<SkinStyle *>(window->TM[0]->style()));
        QVERIFY(qobject_cast<SkinStyle *>(window->ChkTD[0]->style()));
        QVERIFY(!qobject_cast<SkinStyle *>(QApplication::style()));
        QMessageBox box(QMessageBox::Information, "t", "x", QMessageBox::Ok, window.get());
        QVERIFY(!qobject_cast<SkinStyle *>(box.button(QMessageBox::Ok)->style()));
        QComboBox elsewhere;
        QVERIFY(!qobject_cast<SkinStyle *>(elsewhere.style()));
    }

    // The wheel over a drop-down list changes it only while it has the keyboard focus.
    void wheelNeedsFocus_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("Combo3") << "Combo3";
        QTest::newRow("Combo1") << "Combo1";
        QTest::newRow("TM(2)") << "TM(2)";
    }
    void wheelNeedsFocus()
    {
        QFETCH(QString, name);
        auto *combo = qobject_cast<QComboBox *>(window->control(name));
        QVERIFY(combo);
        window->safetabs1->setActiveTab(name.startsWith("TM") ? 2 : 0);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        window->LblOut->setFocus();
        combo->setCurrentIndex(0);
        // A wheel turn as the window system delivers it: to the widget under the pointer.
        const auto wheel = [&] {
            const QPoint at = combo->mapTo(window.get(), combo->rect().center());
            QWidget *under = window->childAt(at);
            QWheelEvent event(under->mapFrom(window.get(), at), window->mapToGlobal(at), QPoint(),
                              QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QSpontaneKeyEvent::setSpontaneous(&event);
            QApplication::instance()->notify(under, &event);
        };
        wheel();
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(!combo->hasFocus());
        combo->setFocus();
        wheel();
        QCOMPARE(combo->currentIndex(), 1);
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
