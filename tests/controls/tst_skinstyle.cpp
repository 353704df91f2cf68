#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "controls/skinstyle.h"
#include "support/shown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

class TstSkinStyle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QCursor::setPos(QPoint(3000, 3000)); }
    void skinnedClasses();
    void hoverFadesInAndOut_data();
    void hoverFadesInAndOut();
    void hoverChangesThePicture();
    void noTimerWhileIdle();
    void disablingDropsTheHover();

private:
    SkinStyle *m_style = nullptr;
};

void TstSkinStyle::initTestCase()
{
    m_style = new SkinStyle;
    QApplication::setStyle(m_style); // the application owns it from here
}

void TstSkinStyle::skinnedClasses()
{
    QWidget w;
    QComboBox combo(&w);
    QCheckBox check(&w);
    QRadioButton radio(&w);
    QPushButton push(&w);
    QPushButton flat(&w);
    flat.setFlat(true);
    QLineEdit edit(&w);
    QLabel label(&w);
    QGroupBox frame(&w);
    QzButton styled(&w);
    SafeSwitch toggle(&w);
    QVERIFY(SkinStyle::isSkinned(&combo));
    QVERIFY(SkinStyle::isSkinned(&check));
    QVERIFY(SkinStyle::isSkinned(&radio));
    QVERIFY(SkinStyle::isSkinned(&push));
    for (QWidget *other :
         std::initializer_list<QWidget *>{&flat, &edit, &label, &frame, &styled, &toggle, &w})
        QVERIFY2(!SkinStyle::isSkinned(other), other->metaObject()->className());
}

void TstSkinStyle::hoverFadesInAndOut_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("combo") << "combo";
    QTest::newRow("check") << "check";
    QTest::newRow("push") << "push";
}

static QWidget *make(const QString &kind, QWidget *parent)
{
    if (kind == "combo") {
        auto *c = new QComboBox(parent);
        c->addItems({"9600", "19200"});
        return c;
    }
    if (kind == "check")
        return new QCheckBox(QStringLiteral("定时"), parent);
    return new QPushButton(QStringLiteral("颜色"), parent);
}

void TstSkinStyle::hoverFadesInAndOut()
{
    QFETCH(QString, kind);
    QWidget window;
    window.resize(300, 120);
    QWidget *w = make(kind, &window);
    w->setGeometry(20, 20, 120, 26);
    QVERIFY(support::ShowAndWait(window));
    QCOMPARE(m_style->hoverLevel(w), 0.0);

    QTest::mouseMove(&window, QPoint(250, 100));
    QElapsedTimer clock;
    clock.start();
    QTest::mouseMove(&window, QPoint(60, 30));
    // Not at once: the hot look fades in over a few steps.
    QTRY_VERIFY(m_style->hoverLevel(w) > 0);
    QVERIFY(m_style->hoverLevel(w) < 1 || clock.elapsed() >= SkinStyle::FadeInterval * 2);
    QTRY_COMPARE(m_style->hoverLevel(w), 1.0);
    QTRY_VERIFY(!m_style->isFading());

    QTest::mouseMove(&window, QPoint(250, 100));
    QTRY_COMPARE(m_style->hoverLevel(w), 0.0);
    QTRY_VERIFY(!m_style->isFading());
}

void TstSkinStyle::hoverChangesThePicture()
{
    QWidget window;
    window.resize(300, 120);
    auto *combo = static_cast<QComboBox *>(make("combo", &window));
    combo->setGeometry(20, 20, 120, 26);
    QVERIFY(support::ShowAndWait(window));
    const QImage normal = combo->grab().toImage();
    QTest::mouseMove(&window, QPoint(250, 100));
    QTest::mouseMove(&window, QPoint(60, 30));
    QTRY_COMPARE(m_style->hoverLevel(combo), 1.0);
    const QImage hot = combo->grab().toImage();
    QVERIFY(normal != hot);
}

void TstSkinStyle::noTimerWhileIdle()
{
    QWidget window;
    window.resize(300, 120);
    QWidget *w = make("check", &window);
    w->setGeometry(20, 20, 120, 26);
    QVERIFY(support::ShowAndWait(window));
    QVERIFY(!m_style->isFading());
    // Hovering a hidden control changes its level at once and starts nothing.
    w->hide();
    QHoverEvent enter(QEvent::HoverEnter, QPointF(2, 2), QPointF(2, 2), QPointF(-1, -1));
    QApplication::sendEvent(w, &enter);
    QCOMPARE(m_style->hoverLevel(w), 1.0);
    QVERIFY(!m_style->isFading());
}

void TstSkinStyle::disablingDropsTheHover()
{
    QWidget window;
    window.resize(300, 120);
    QWidget *w = make("push", &window);
    w->setGeometry(20, 20, 120, 26);
    QVERIFY(support::ShowAndWait(window));
    QTest::mouseMove(&window, QPoint(250, 100));
    QTest::mouseMove(&window, QPoint(60, 30));
    QTRY_COMPARE(m_style->hoverLevel(w), 1.0);
    w->setEnabled(false);
    QTRY_COMPARE(m_style->hoverLevel(w), 0.0);
    delete w; // leaves the style's table; a fade must not touch it afterwards
    QTRY_VERIFY(!m_style->isFading());
}

QTEST_MAIN(TstSkinStyle)
#include "tst_skinstyle.moc"
