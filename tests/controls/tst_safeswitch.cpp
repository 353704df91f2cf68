#include "controls/safeswitch.h"
#include "support/shown.h"

#include <QCursor>
#include <QSignalSpy>
#include <QTest>

class TstSafeSwitch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void newInstance();
    void writeRaisesClickEveryTime_data();
    void writeRaisesClickEveryTime();
    void clickFlipsAndRaisesOnce_data();
    void clickFlipsAndRaisesOnce();
    void pressMoveOffReleaseCommitsNothing();
    void pressMoveOffAndBackCommits();
    void rightButtonDoesNothing();
    void disabledShowsDisabledPictureAndIgnoresMouse_data();
    void disabledShowsDisabledPictureAndIgnoresMouse();
    void hoverEventsFromEnterAndLeave();
    void reenablingCatchesUpWithThePointer();
    void hidingWhilePressed();
    void pressSurvivesAQuietMove_data();
    void pressSurvivesAQuietMove();
    void sizeFollowsSkin_data();
    void sizeFollowsSkin();
    void stripHasTransparentCorners();
};

void TstSafeSwitch::init()
{
    // Park the pointer away from where the next window appears, so that showing it raises
    // no enter event of its own.
    QCursor::setPos(QPoint(3000, 3000));
}

void TstSafeSwitch::newInstance()
{
    SafeSwitch s;
    QCOMPARE(s.value(), true);
    QCOMPARE(s.Enable(), true);
    QCOMPARE(s.skin(), 0);
    QCOMPARE(s.frameIndex(), int(SafeSwitch::OnNormal));
    QCOMPARE(s.size(), QSize(78, 23));
}

void TstSafeSwitch::writeRaisesClickEveryTime_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("start");
    QTest::addColumn<bool>("written");
    QTest::addColumn<int>("frame");
    QTest::addColumn<bool>("quietly"); // SetSwitchQuietly: disabled while written, then as before
    QTest::newRow("unchanged on") << true << true << true << int(SafeSwitch::OnNormal) << false;
    QTest::newRow("on to off") << true << true << false << int(SafeSwitch::OffNormal) << false;
    QTest::newRow("unchanged off") << true << false << false << int(SafeSwitch::OffNormal) << false;
    QTest::newRow("disabled, off to on")
        << false << false << true << int(SafeSwitch::OnDisabled) << false;
    QTest::newRow("disabled, unchanged")
        << false << false << false << int(SafeSwitch::OffDisabled) << false;
    QTest::newRow("quietly, on to off")
        << true << true << false << int(SafeSwitch::OffNormal) << true;
    QTest::newRow("quietly, disabled, off to on")
        << false << false << true << int(SafeSwitch::OnDisabled) << true;
}

void TstSafeSwitch::writeRaisesClickEveryTime()
{
    QFETCH(bool, enabled);
    QFETCH(bool, start);
    QFETCH(bool, written);
    QFETCH(int, frame);
    QFETCH(bool, quietly);
    SafeSwitch s;
    s.setValue(start);
    s.setEnable(enabled);
    QSignalSpy clicks(&s, &SafeSwitch::Click);
    QList<bool> enabledAtClick;
    connect(&s, &SafeSwitch::Click, &s, [&] { enabledAtClick << s.Enable(); });
    if (quietly)
        SetSwitchQuietly(&s, written);
    else
        s.setValue(written);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.at(0).at(0).toBool(), written);
    QCOMPARE(enabledAtClick, QList<bool>{enabled && !quietly});
    QCOMPARE(s.Enable(), enabled);
    QCOMPARE(s.value(), written);
    QCOMPARE(s.frameIndex(), frame);
}

void TstSafeSwitch::clickFlipsAndRaisesOnce_data()
{
    QTest::addColumn<bool>("start");
    QTest::newRow("on") << true;
    QTest::newRow("off") << false;
}

void TstSafeSwitch::clickFlipsAndRaisesOnce()
{
    QFETCH(bool, start);
    SafeSwitch s;
    s.setValue(start);
    QVERIFY(support::ShowAndWait(s));
    QSignalSpy clicks(&s, &SafeSwitch::Click);
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(20, 10));
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(s.frameIndex(), start ? int(SafeSwitch::OnPressed) : int(SafeSwitch::OffPressed));
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(20, 10));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.at(0).at(0).toBool(), !start);
    QCOMPARE(s.value(), !start);
    QCOMPARE(s.frameIndex(), start ? int(SafeSwitch::OffHover) : int(SafeSwitch::OnHover));
}

void TstSafeSwitch::pressMoveOffReleaseCommitsNothing()
{
    QWidget parent;
    parent.resize(300, 100);
    SafeSwitch s(&parent);
    s.move(10, 10);
    QVERIFY(support::ShowAndWait(parent));
    QSignalSpy clicks(&s, &SafeSwitch::Click);
    QSignalSpy outs(&s, &SafeSwitch::MouseOut);
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseMove(&s, QPoint(200, 60));
    QTRY_COMPARE(outs.count(), 1);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(200, 60));
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(s.value(), true);
    QCOMPARE(s.frameIndex(), int(SafeSwitch::OnNormal));
}

void TstSafeSwitch::pressMoveOffAndBackCommits()
{
    QWidget parent;
    parent.resize(300, 100);
    SafeSwitch s(&parent);
    s.move(10, 10);
    QVERIFY(support::ShowAndWait(parent));
    QSignalSpy clicks(&s, &SafeSwitch::Click);
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseMove(&s, QPoint(200, 60));
    QTRY_VERIFY(!s.isHovering());
    QTest::mouseMove(&s, QPoint(30, 10));
    QTRY_VERIFY(s.isHovering());
    QCOMPARE(s.frameIndex(), int(SafeSwitch::OnHover));
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(30, 10));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(s.value(), false);
}

void TstSafeSwitch::rightButtonDoesNothing()
{
    SafeSwitch s;
    QVERIFY(support::ShowAndWait(s));
    QSignalSpy clicks(&s, &SafeSwitch::Click);
    const int before = s.frameIndex();
    QTest::mousePress(&s, Qt::RightButton, {}, QPoint(20, 10));
    QCOMPARE(s.frameIndex(), before);
    QTest::mouseRelease(&s, Qt::RightButton, {}, QPoint(20, 10));
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(s.value(), true);
}

void TstSafeSwitch::disabledShowsDisabledPictureAndIgnoresMouse_data()
{
    QTest::addColumn<bool>("value");
    QTest::addColumn<int>("frame");
    QTest::newRow("on") << true << int(SafeSwitch::OnDisabled);
    QTest::newRow("off") << false << int(SafeSwitch::OffDisabled);
}

void TstSafeSwitch::disabledShowsDisabledPictureAndIgnoresMouse()
{
    QFETCH(bool, value);
    QFETCH(int, frame);
    QWidget parent;
    parent.resize(300, 100);
    SafeSwitch s(&parent);
    s.move(10, 10);
    s.setValue(value);
    s.setEnable(false);
    QVERIFY(support::ShowAndWait(parent));
    QCOMPARE(s.frameIndex(), frame);
    QSignalSpy clicks(&s, &SafeSwitch::Click);
    QSignalSpy ins(&s, &SafeSwitch::MouseIn);
    QSignalSpy outs(&s, &SafeSwitch::MouseOut);
    QTest::mouseMove(&parent, QPoint(30, 20));
    QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseMove(&parent, QPoint(250, 80));
    QTest::mouseMove(&parent, QPoint(30, 20));
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(ins.count(), 0);
    QCOMPARE(outs.count(), 0);
    QCOMPARE(s.value(), value);
    QCOMPARE(s.frameIndex(), frame);
}

void TstSafeSwitch::hoverEventsFromEnterAndLeave()
{
    QWidget parent;
    parent.resize(300, 100);
    SafeSwitch s(&parent);
    s.move(10, 10);
    s.setValue(false);
    QVERIFY(support::ShowAndWait(parent));
    QStringList events;
    connect(&s, &SafeSwitch::MouseIn, this, [&] { events << "in"; });
    connect(&s, &SafeSwitch::MouseOut, this, [&] { events << "out"; });
    connect(&s, &SafeSwitch::Click, this,
            [&](bool v) { events << (v ? "click on" : "click off"); });
    QTest::mouseMove(&parent, QPoint(260, 90));
    QTest::mouseMove(&parent, QPoint(40, 15));
    QTRY_COMPARE(events, QStringList{"in"});
    QCOMPARE(s.frameIndex(), int(SafeSwitch::OffHover));
    QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseMove(&parent, QPoint(260, 90));
    QTRY_COMPARE(events, (QStringList{"in", "click on", "out"}));
    QCOMPARE(s.frameIndex(), int(SafeSwitch::OnNormal));
}

void TstSafeSwitch::reenablingCatchesUpWithThePointer()
{
    QWidget parent;
    parent.resize(300, 100);
    SafeSwitch s(&parent);
    s.move(10, 10);
    QVERIFY(support::ShowAndWait(parent));
    QTest::mouseMove(&parent, QPoint(250, 80));
    QTest::mouseMove(&parent, QPoint(30, 20));
    QTRY_VERIFY(s.isHovering());
    s.setEnable(false);
    QSignalSpy outs(&s, &SafeSwitch::MouseOut);
    QTest::mouseMove(&parent, QPoint(250, 80));
    QTRY_VERIFY(!s.underMouse());
    QCOMPARE(outs.count(), 0);
    s.setEnable(true);
    QCOMPARE(outs.count(), 1);
    QCOMPARE(s.frameIndex(), int(SafeSwitch::OnNormal));
}

void TstSafeSwitch::hidingWhilePressed()
{
    QWidget parent;
    parent.resize(300, 100);
    SafeSwitch s(&parent);
    s.move(10, 10);
    QVERIFY(support::ShowAndWait(parent));
    QSignalSpy clicks(&s, &SafeSwitch::Click);
    QSignalSpy outs(&s, &SafeSwitch::MouseOut);
    QTest::mouseMove(&parent, QPoint(30, 20));
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(20, 10));
    s.hide(); // e.g. its page was switched away
    QCOMPARE(outs.count(), 1);
    QVERIFY(!s.isHovering());
    s.show();
    QVERIFY(s.frameIndex() != int(SafeSwitch::OnPressed));
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(20, 10));
    QCOMPARE(clicks.count(), 0);
}

// A reply may move the switch quietly (disable, set, enable) while the button is held: the
// press still commits on release once the switch is enabled again.
void TstSafeSwitch::pressSurvivesAQuietMove_data()
{
    QTest::addColumn<bool>("movedTo");
    QTest::addColumn<bool>("enabledAtRelease");
    QTest::addColumn<int>("clicks");
    QTest::newRow("moved to the pending value") << true << true << 1;
    QTest::newRow("set to its own value") << false << true << 1;
    QTest::newRow("still disabled at release") << true << false << 0;
}

void TstSafeSwitch::pressSurvivesAQuietMove()
{
    QFETCH(bool, movedTo);
    QFETCH(bool, enabledAtRelease);
    QFETCH(int, clicks);
    QWidget parent;
    parent.resize(300, 100);
    SafeSwitch s(&parent);
    s.move(10, 10);
    s.setValue(false);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QTest::mouseMove(&parent, QPoint(30, 20));
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(20, 10));
    s.setEnable(false);
    s.setValue(movedTo);
    if (enabledAtRelease) {
        s.setEnable(true);
        QCOMPARE(s.frameIndex(),
                 movedTo ? int(SafeSwitch::OnPressed) : int(SafeSwitch::OffPressed));
    }
    QSignalSpy spy(&s, &SafeSwitch::Click);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(20, 10));
    QCOMPARE(spy.count(), clicks);
    QCOMPARE(s.value(), clicks ? true : movedTo);
}

void TstSafeSwitch::sizeFollowsSkin_data()
{
    QTest::addColumn<int>("skin");
    QTest::addColumn<QSize>("size");
    QTest::newRow("0") << 0 << QSize(78, 23);
    QTest::newRow("1") << 1 << QSize(74, 24);
    QTest::newRow("2") << 2 << QSize(78, 23);
    QTest::newRow("5 looks like 2") << 5 << QSize(78, 23);
}

void TstSafeSwitch::sizeFollowsSkin()
{
    QFETCH(int, skin);
    QFETCH(QSize, size);
    SafeSwitch s;
    s.setSkin(1);
    s.setSkin(skin);
    QCOMPARE(s.size(), size);
    s.resize(200, 80);
    QCOMPARE(s.size(), size);
    if (skin >= 2)
        QCOMPARE(SafeSwitch::skinStrip(skin, 1.0), SafeSwitch::skinStrip(2, 1.0));
}

void TstSafeSwitch::stripHasTransparentCorners()
{
    for (qreal dpr : {1.0, 2.0}) {
        for (int skin : {0, 1, 2}) {
            const QImage strip = SafeSwitch::skinStrip(skin, dpr);
            const QSize size = SafeSwitch::skinSize(skin);
            QCOMPARE(strip.size(),
                     QSize(qCeil(size.width() * dpr), qCeil(size.height() * 8 * dpr)));
            for (int k = 0; k < 8; ++k) {
                const int top = qRound(k * size.height() * dpr);
                QCOMPARE(qAlpha(strip.pixel(0, top)), 0);
                QCOMPARE(qAlpha(strip.pixel(strip.width() - 1, top)), 0);
                QCOMPARE(qAlpha(strip.pixel(strip.width() / 2, top + strip.height() / 16)), 255);
            }
        }
    }
}

QTEST_MAIN(TstSafeSwitch)
#include "tst_safeswitch.moc"
