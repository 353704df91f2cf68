#include "controls/safetabs.h"
#include "support/shown.h"

#include <QCursor>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

// A seven-tab strip with one line edit per page (tab stops on) and one label-like widget
// without a tab stop on page 2.
struct Strip
{
    SafeTabs tabs;
    QList<QLineEdit *> edits;
    QWidget *plain = nullptr;

    Strip()
    {
        tabs.resize(400, 200);
        tabs.setTabCount(7);
        for (int page = 0; page < 7; ++page) {
            auto *e = new QLineEdit(&tabs);
            e->setGeometry(10 + page * 5, 40 + page * 3, 100, 24);
            tabs.setPageOf(e, page);
            edits << e;
        }
        plain = new QWidget(&tabs);
        plain->setGeometry(200, 60, 50, 50);
        tabs.setPageOf(plain, 2);
    }
};

QPoint labelCentre(const SafeTabs &tabs, int tab)
{
    return tabs.labelRect(tab).center();
}

} // namespace

class TstSafeTabs : public QObject
{
    Q_OBJECT

private slots:
    void init() { QCursor::setPos(QPoint(3000, 3000)); }
    void newInstance();
    void activeTabRange_data();
    void activeTabRange();
    void clickingLabels_data();
    void clickingLabels();
    void disabledIgnoresClicks();
    void pageMembershipAcrossSwitches();
    void tabStopsRestored();
    void childrenAddedLaterJoinTheActivePage();
    void showingAParkedChildWaitsForItsPage();
    void reducingTabCountBelowActive();
    void labelLimits_data();
    void labelLimits();
    void minimumSize();
    void hotLabelFollowsPointer();
    void skinColours();
    void labelArtCornersAreTransparent();
    void labelImageScales_data();
    void labelImageScales();
};

void TstSafeTabs::newInstance()
{
    SafeTabs t;
    QCOMPARE(t.TabCount(), 3);
    QCOMPARE(t.Caption(0), QStringLiteral("新标签1"));
    QCOMPARE(t.Caption(2), QStringLiteral("新标签3"));
    QCOMPARE(t.activeTab(), 0);
    QCOMPARE(t.hotTab(), -1);
    QCOMPARE(t.stripWidth(), 246);
    QCOMPARE(t.headerHeight(), 29);
    QCOMPARE(t.Enabled(), true);
}

void TstSafeTabs::activeTabRange_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QList<int>>("events");
    QTest::newRow("3 from 0") << 0 << 3 << 3 << QList<int>{0};
    QTest::newRow("7 becomes 0") << 4 << 7 << 0 << QList<int>{4};
    QTest::newRow("7 with 0 active") << 0 << 7 << 0 << QList<int>{};
    QTest::newRow("-1 becomes 0") << 2 << -1 << 0 << QList<int>{2};
    QTest::newRow("unchanged") << 5 << 5 << 5 << QList<int>{};
}

void TstSafeTabs::activeTabRange()
{
    QFETCH(int, start);
    QFETCH(int, written);
    QFETCH(int, expected);
    QFETCH(QList<int>, events);
    Strip s;
    s.tabs.setActiveTab(start);
    QSignalSpy spy(&s.tabs, &SafeTabs::TabSwitch);
    s.tabs.setActiveTab(written);
    QCOMPARE(s.tabs.activeTab(), expected);
    QList<int> got;
    for (const auto &args : spy)
        got << args.at(0).toInt();
    QCOMPARE(got, events);
}

void TstSafeTabs::clickingLabels_data()
{
    QTest::addColumn<int>("blank");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("expected");
    // Labels 80 wide with a gap of `blank` pixels before each; tab 0 starts active.
    QTest::newRow("second label") << 2 << QPoint(2 + 82 + 40, 15) << 1;
    QTest::newRow("third label, first pixel") << 2 << QPoint(2 * 82 + 2, 15) << 2;
    QTest::newRow("gap before third label") << 2 << QPoint(2 * 82 + 1, 15) << 0;
    QTest::newRow("active label") << 2 << QPoint(40, 15) << 0;
    QTest::newRow("beyond the strip") << 2 << QPoint(7 * 82 + 10, 15) << 0;
    QTest::newRow("page area") << 2 << QPoint(100, 100) << 0;
    QTest::newRow("no gap, last label") << 0 << QPoint(6 * 80 + 5, 20) << 6;
}

void TstSafeTabs::clickingLabels()
{
    QFETCH(int, blank);
    QFETCH(QPoint, point);
    QFETCH(int, expected);
    Strip s;
    s.tabs.resize(700, 200);
    s.tabs.setLabelBlank(blank);
    QVERIFY(support::ShowAndWait(s.tabs));
    QSignalSpy spy(&s.tabs, &SafeTabs::TabSwitch);
    QTest::mouseMove(&s.tabs, point);
    QTest::mouseClick(&s.tabs, Qt::LeftButton, {}, point);
    QCOMPARE(s.tabs.activeTab(), expected);
    QCOMPARE(spy.count(), expected == 0 ? 0 : 1);
    if (expected != 0) {
        QCOMPARE(spy.at(0).at(0).toInt(), 0);
        QVERIFY(s.edits[expected]->isVisible());
        QVERIFY(!s.edits[0]->isVisible());
    }
}

void TstSafeTabs::disabledIgnoresClicks()
{
    Strip s;
    s.tabs.setTabsEnabled(false);
    QVERIFY(support::ShowAndWait(s.tabs));
    QSignalSpy spy(&s.tabs, &SafeTabs::TabSwitch);
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton})
        QTest::mouseClick(&s.tabs, b, {}, labelCentre(s.tabs, 3));
    QCOMPARE(s.tabs.activeTab(), 0);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(s.tabs.hotTab(), -1);
    // Children stay usable: only the labels are disabled.
    QVERIFY(s.edits[0]->isEnabled());
    s.tabs.setTabsEnabled(true);
    QTest::mouseClick(&s.tabs, Qt::RightButton, {}, labelCentre(s.tabs, 3));
    QCOMPARE(s.tabs.activeTab(), 3);
}

void TstSafeTabs::pageMembershipAcrossSwitches()
{
    Strip s;
    QVERIFY(support::ShowAndWait(s.tabs));
    QList<QRect> start;
    for (auto *e : s.edits)
        start << e->geometry();
    QStringList order;
    connect(&s.tabs, &SafeTabs::TabSwitch, this, [&](int previous) {
        // Raised after the switch: the new page is already on view.
        order << QStringLiteral("%1->%2 %3")
                     .arg(previous)
                     .arg(s.tabs.activeTab())
                     .arg(s.edits[s.tabs.activeTab()]->isVisible());
    });
    for (int tab : {2, 6, 0, 3, 0}) {
        s.tabs.setActiveTab(tab);
        for (int page = 0; page < 7; ++page) {
            QCOMPARE(s.edits[page]->isVisible(), page == tab);
            QCOMPARE(s.tabs.pageOf(s.edits[page]), page);
        }
        QCOMPARE(s.plain->isVisible(), tab == 2);
    }
    QCOMPARE(order, (QStringList{"0->2 1", "2->6 1", "6->0 1", "0->3 1", "3->0 1"}));
    for (int i = 0; i < s.edits.size(); ++i)
        QCOMPARE(s.edits[i]->geometry(), start[i]);
}

void TstSafeTabs::tabStopsRestored()
{
    Strip s;
    QVERIFY(support::ShowAndWait(s.tabs));
    s.plain->setFocusPolicy(Qt::NoFocus);
    s.edits[0]->setFocusPolicy(Qt::ClickFocus); // no tab stop on purpose
    const Qt::FocusPolicy before = QLineEdit().focusPolicy();
    QVERIFY(before & Qt::TabFocus);
    QCOMPARE(s.edits[1]->focusPolicy() & Qt::TabFocus, 0);

    for (int page = 1; page < 7; ++page)
        QCOMPARE(s.edits[page]->focusPolicy() & Qt::TabFocus, 0);
    s.tabs.setActiveTab(2);
    QCOMPARE(s.edits[2]->focusPolicy(), before);
    QCOMPARE(s.edits[0]->focusPolicy() & Qt::TabFocus, 0);
    s.tabs.setActiveTab(0);
    QCOMPARE(s.edits[0]->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(s.edits[2]->focusPolicy() & Qt::TabFocus, 0);
    s.tabs.setActiveTab(2);
    QCOMPARE(s.edits[2]->focusPolicy(), before);
    QCOMPARE(s.plain->focusPolicy(), Qt::NoFocus);

    // Tab moves only among the controls of the page on view.
    s.edits[2]->setFocus();
    QTRY_VERIFY(s.edits[2]->hasFocus());
    QTest::keyClick(s.edits[2], Qt::Key_Tab);
    QVERIFY(s.edits[2]->hasFocus());
}

void TstSafeTabs::childrenAddedLaterJoinTheActivePage()
{
    Strip s;
    s.tabs.setActiveTab(4);
    auto *late = new QLineEdit(&s.tabs);
    QCOMPARE(s.tabs.pageOf(late), 4);
    QCOMPARE(s.tabs.pageOf(&s.tabs), -1);
    QVERIFY(support::ShowAndWait(s.tabs));
    QVERIFY(late->isVisible());
    s.tabs.setActiveTab(1);
    QVERIFY(!late->isVisible());
    delete late; // leaves the table
    s.tabs.setActiveTab(4);
    QVERIFY(s.edits[4]->isVisible());
}

void TstSafeTabs::showingAParkedChildWaitsForItsPage()
{
    Strip s;
    QVERIFY(support::ShowAndWait(s.tabs));
    s.edits[3]->show(); // page 3 is not on view
    QVERIFY(!s.edits[3]->isVisible());
    s.tabs.setActiveTab(3);
    QVERIFY(s.edits[3]->isVisible());
    s.edits[3]->hide(); // hidden by its owner on its page: stays hidden after a round trip
    s.tabs.setActiveTab(5);
    s.tabs.setActiveTab(3);
    QVERIFY(!s.edits[3]->isVisible());
}

void TstSafeTabs::reducingTabCountBelowActive()
{
    Strip s;
    QVERIFY(support::ShowAndWait(s.tabs));
    s.tabs.setCaption(1, QStringLiteral("keep"));
    s.tabs.setActiveTab(5);
    QSignalSpy spy(&s.tabs, &SafeTabs::TabSwitch);
    s.tabs.setTabCount(3);
    QCOMPARE(s.tabs.activeTab(), 2);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 0);
    QCOMPARE(s.tabs.Caption(1), QStringLiteral("keep"));
    QCOMPARE(s.tabs.stripWidth(), 3 * 82);
    // The page on view matches the active label.
    QVERIFY(s.edits[2]->isVisible());
    QVERIFY(!s.edits[5]->isVisible());
    s.tabs.setTabCount(4);
    QCOMPARE(s.tabs.Caption(3), QString());
    QCOMPARE(spy.count(), 1);
}

void TstSafeTabs::labelLimits_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("expected");
    QTest::newRow("labelWidth 10") << QByteArray("labelWidth") << 10 << 15;
    QTest::newRow("labelWidth 60") << QByteArray("labelWidth") << 60 << 60;
    QTest::newRow("LabelHeight 0") << QByteArray("LabelHeight") << 0 << 15;
    QTest::newRow("LabelActHeight -3") << QByteArray("LabelActHeight") << -3 << 15;
    QTest::newRow("LabelActHeight 40") << QByteArray("LabelActHeight") << 40 << 40;
    QTest::newRow("LabelBlank -1 ignored") << QByteArray("LabelBlank") << -1 << 2;
    QTest::newRow("LabelBlank 0") << QByteArray("LabelBlank") << 0 << 0;
}

void TstSafeTabs::labelLimits()
{
    QFETCH(QByteArray, property);
    QFETCH(int, written);
    QFETCH(int, expected);
    SafeTabs t;
    QVERIFY(t.setProperty(property.constData(), written));
    QCOMPARE(t.property(property.constData()).toInt(), expected);
    QCOMPARE(t.stripWidth(), (t.labelWidth() + t.LabelBlank()) * t.TabCount());
    QCOMPARE(t.headerHeight(), qMax(t.LabelHeight(), t.LabelActHeight()));
}

void TstSafeTabs::minimumSize()
{
    SafeTabs t;
    t.resize(40, 10);
    QCOMPARE(t.size(), QSize(80, 30));
    t.resize(500, 300);
    QCOMPARE(t.size(), QSize(500, 300));
}

void TstSafeTabs::hotLabelFollowsPointer()
{
    Strip s;
    QVERIFY(support::ShowAndWait(s.tabs));
    QTest::mouseMove(&s.tabs, labelCentre(s.tabs, 2));
    QTRY_COMPARE(s.tabs.hotTab(), 2);
    QTest::mouseMove(&s.tabs, QPoint(1, 15)); // gap before the first label
    QTRY_COMPARE(s.tabs.hotTab(), -1);
    QTest::mouseMove(&s.tabs, labelCentre(s.tabs, 1));
    QTRY_COMPARE(s.tabs.hotTab(), 1);
    QTest::mouseMove(&s.tabs, QPoint(200, 150));
    QTRY_COMPARE(s.tabs.hotTab(), -1);
}

void TstSafeTabs::skinColours()
{
    // Scheme 6 matches the window's page colour.
    QCOMPARE(SafeTabs::labelColour(6), QColor(252, 254, 248));
    QSet<QRgb> frames;
    for (int k = 0; k < 8; ++k) {
        QVERIFY(SafeTabs::frameColour(k) != SafeTabs::labelColour(k));
        QVERIFY(SafeTabs::frameColour(k) != QColor(SafeTabs::CutColor));
        frames.insert(SafeTabs::frameColour(k).rgb());
    }
    QVERIFY(frames.size() >= 6);
    const QImage skin = SafeTabs::skinImage(1.0);
    QCOMPARE(skin.size(), QSize(120, 160));
    for (int k = 0; k < 8; ++k) {
        for (int kind = 0; kind < 3; ++kind) {
            // Top corners of every label image are cut away.
            QCOMPARE(skin.pixel(kind * 40, k * 20), SafeTabs::CutColor);
            QCOMPARE(skin.pixel(kind * 40 + 39, k * 20), SafeTabs::CutColor);
            QVERIFY(skin.pixel(kind * 40 + 20, k * 20 + 10) != SafeTabs::CutColor);
        }
    }
}

void TstSafeTabs::labelArtCornersAreTransparent()
{
    for (qreal dpr : {1.0, 2.0}) {
        SafeTabs t;
        t.resize(300, 120);
        t.setSkinIndex(6);
        t.setLabelBlank(10);
        t.setAutoFillBackground(false);
        QImage img(QSize(300, 120) * dpr, QImage::Format_ARGB32_Premultiplied);
        img.setDevicePixelRatio(dpr);
        img.fill(Qt::transparent);
        t.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
        const QRect active = t.labelRect(0);
        // The rounded corner of the active label shows what lies behind; its middle does not.
        QCOMPARE(qAlpha(img.pixel(QPoint(active.left(), active.top()) * dpr)), 0);
        QCOMPARE(qAlpha(img.pixel(active.center() * dpr)), 255);
        // The page area is filled.
        QCOMPARE(qAlpha(img.pixel(QPoint(150, 100) * dpr)), 255);
        // The gap before a label shows what lies behind.
        QCOMPARE(qAlpha(img.pixel(QPoint(3, t.headerHeight() / 2) * dpr)), 0);
    }
}

void TstSafeTabs::labelImageScales_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<qreal>("dpr");
    QTest::newRow("active 60x25") << 0 << QSize(60, 25) << 1.0;
    QTest::newRow("normal 80x24 at 2") << 1 << QSize(80, 24) << 2.0;
    QTest::newRow("hot 15x15 at 1.5") << 2 << QSize(15, 15) << 1.5;
    QTest::newRow("active 120x29 at 2") << 0 << QSize(120, 29) << 2.0;
}

void TstSafeTabs::labelImageScales()
{
    QFETCH(int, kind);
    QFETCH(QSize, size);
    QFETCH(qreal, dpr);
    for (int skin = 0; skin < 8; ++skin) {
        const QImage img = SafeTabs::labelImage(skin, kind, size, dpr);
        QCOMPARE(img.size(), (QSizeF(size) * dpr).toSize());
        const int w = img.width(), h = img.height();
        // Cut-away top corners, an opaque body, no magenta or mask colour left anywhere.
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(img.pixel(w - 1, 0)), 0);
        QCOMPARE(qAlpha(img.pixel(w / 2, h / 2)), 255);
        QCOMPARE(qAlpha(img.pixel(w / 2, h - 1)), 255);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                QVERIFY(img.pixel(x, y) != SafeTabs::CutColor &&
                        img.pixel(x, y) != SafeTabs::MaskColor);
    }
    // The bottom row of the active label carries the label colour into the page.
    const QImage active = SafeTabs::labelImage(6, 0, QSize(60, 25), 1.0);
    QCOMPARE(active.pixelColor(30, 24), SafeTabs::labelColour(6));
}

QTEST_MAIN(TstSafeTabs)
#include "tst_safetabs.moc"
