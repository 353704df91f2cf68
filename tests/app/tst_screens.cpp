// Each page of the window, and the crc16 calculator's window, in Chinese and in English, under a
// dark system palette (the Fusion style with dark colours): no caption is cut off by its box, and
// every text stands out from its own background (contrast at least 4.5 : 1, measured on the
// page's picture). Run once as it is and once with QT_SCALE_FACTOR=2.

#include "app/language.h"
#include "app/layout.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "controls/qzbutton.h"
#include "controls/safetabs.h"
#include "crcwindow.h"
#include "support/services.h"
#include "support/shown.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTranslator>

#include <map>
#include <memory>

namespace {

double Luminance(QRgb rgb)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) +
           0.0722 * channel(qBlue(rgb));
}

double Contrast(QRgb a, QRgb b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of a text in its area of the picture: its background is the commonest colour
// there, its strokes the colour that differs most from it.
double TextContrast(const QImage &shot, const QRect &area)
{
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[shot.pixel(x, y) & 0xffffff];
    if (counts.empty())
        return 21;
    const QRgb background =
        std::max_element(counts.begin(), counts.end(), [](const auto &a, const auto &b) {
            return a.second < b.second;
        })->first;
    double best = 1;
    for (const auto &[colour, count] : counts)
        best = std::max(best, Contrast(colour, background));
    return best;
}

QPalette DarkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(60, 60, 64));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(38, 79, 120));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    return dark;
}

struct Caption
{
    QWidget *widget;
    QString text;
    QRect textArea; // in the widget
    int room;       // the width the text may take
};

// The texts a user reads on the widgets now shown, and where each is drawn.
QList<Caption> CaptionsOf(QWidget &window)
{
    QList<Caption> captions;
    for (QWidget *w : window.findChildren<QWidget *>()) {
        if (!w->isVisibleTo(&window) || w->mapTo(&window, QPoint()).y() > window.height())
            continue;
        const QFontMetrics metrics = w->fontMetrics();
        const auto area = [&](const QString &text, int left, int room, Qt::Alignment align) {
            const int width = std::min(room, metrics.horizontalAdvance(text));
            const int x = align & Qt::AlignHCenter ? left + (room - width) / 2 : left;
            const int height = std::min(w->height(), metrics.height());
            const int y = align & Qt::AlignTop ? 0 : (w->height() - height) / 2;
            return QRect(x, y, width, height).intersected(w->rect());
        };
        if (auto *label = qobject_cast<QLabel *>(w); label && !label->text().trimmed().isEmpty()) {
            captions << Caption{w, label->text(),
                                area(label->text(), 0, label->contentsRect().width(), Qt::AlignTop),
                                label->contentsRect().width()};
        } else if (auto *box = qobject_cast<QCheckBox *>(w)) {
            const int indicator =
                w->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
                w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w);
            captions << Caption{w, box->text(),
                                area(box->text(), indicator, w->width() - indicator, {}),
                                w->width() - indicator};
        } else if (auto *frame = qobject_cast<QGroupBox *>(w); frame && !frame->title().isEmpty()) {
            captions << Caption{w, frame->title(),
                                area(frame->title(), 0, w->width(), Qt::AlignTop), w->width()};
        } else if (auto *button = qobject_cast<QzButton *>(w)) {
            captions << Caption{w, button->Caption(),
                                area(button->Caption(), 3, w->width() - 6, Qt::AlignHCenter),
                                w->width() - 6};
        } else if (auto *button = qobject_cast<QPushButton *>(w)) {
            captions << Caption{w, button->text(),
                                area(button->text(), 3, w->width() - 6, Qt::AlignHCenter),
                                w->width() - 6};
        } else if (auto *box = qobject_cast<QLineEdit *>(w); box && !box->text().isEmpty()) {
            captions << Caption{w, box->text(), area(box->text(), 3, w->width() - 6, {}),
                                w->width() - 6};
        }
    }
    return captions;
}

} // namespace

class ScreensTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(DarkPalette());
        QVERIFY(m_english.load(QStringLiteral(":/i18n/quorvane_en.qm")));
        QVERIFY(m_crc16English.load(QStringLiteral(":/i18n/crc16_en.qm")));
    }

    void pages_data()
    {
        QTest::addColumn<bool>("english");
        QTest::addColumn<int>("page"); // of the main window; crc16's window has none
        for (const bool english : {false, true}) {
            for (int page = 0; page < app::PageCount; ++page)
                QTest::addRow("%s page %d", english ? "en" : "zh", page) << english << page;
            QTest::addRow("%s crc16", english ? "en" : "zh") << english << Crc16Window;
        }
    }

    void pages()
    {
        QFETCH(bool, english);
        QFETCH(int, page);
        for (QTranslator *translation : {&m_english, &m_crc16English}) {
            if (english)
                QCoreApplication::installTranslator(translation);
            else
                QCoreApplication::removeTranslator(translation);
        }
        // The page under the dark palette, and as designed (the style's own light palette):
        // a text stands out at least 4.5 : 1, or as much as its designed colours allow (white on
        // the orange buttons, the red status text). Texts of disabled controls are exempt.
        QStringList clipped, faint;
        const std::map<QString, double> dark = measure(page, &clipped);
        QVERIFY2(!dark.empty(), "the window did not show, or its start-up did not end");
        QApplication::setPalette(QApplication::style()->standardPalette());
        const std::map<QString, double> designed = measure(page, nullptr);
        QApplication::setPalette(DarkPalette());
        for (const auto &[name, contrast] : dark) {
            const auto light = designed.find(name);
            const double wanted = std::min(4.5, light == designed.end() ? 4.5 : light->second);
            if (contrast < wanted - 0.05)
                faint << name + QStringLiteral(" %1 : 1").arg(contrast, 0, 'f', 1);
        }
        QVERIFY2(clipped.isEmpty(), qPrintable(QStringLiteral("cut off: ") + clipped.join(u", ")));
        QVERIFY2(faint.isEmpty(),
                 qPrintable(QStringLiteral("below 4.5 : 1: ") + faint.join(u", ")));
    }

private:
    // The contrast of each enabled text on the page, by control and text; the cut-off captions
    // into clipped when asked.
    std::map<QString, double> measure(int page, QStringList *clipped)
    {
        app::RecordedMessages messages;
        std::unique_ptr<QWidget> shown;
        Form1 *form = nullptr;
        if (page == Crc16Window) {
            auto *calculator = new crccalc::CrcWindow;
            shown.reset(calculator);
            // Every box filled, and the input marked as a problem (its red frame).
            calculator->Command1_Click();
            calculator->Text1->setText(QStringLiteral("0105G"));
            calculator->Command1_Click();
        } else {
            shown.reset(form = new Form1(app::StartOptions{}, support::TestServices(&messages)));
        }
        QWidget &window = *shown;
        if (!support::ShowAndWait(window))
            return {};
        if (form) {
            form->safetabs1->setActiveTab(page);
            // The start-up restore has filled the boxes and names once Timer4 has run.
            if (!QTest::qWaitFor([&] { return !form->Timer4.isActive(); }, 10000))
                return {};
        }
        const QImage shot = window.grab().toImage();
        if (!qEnvironmentVariableIsEmpty("QUORVANE_SCREENS_DUMP"))
            shot.save(qEnvironmentVariable("QUORVANE_SCREENS_DUMP") +
                      QStringLiteral("%1-%2.png").arg(page).arg(clipped ? "dark" : "light"));
        const qreal ratio = shot.devicePixelRatio();
        std::map<QString, double> contrasts;
        for (const Caption &caption : CaptionsOf(window)) {
            const QString name =
                caption.widget->objectName() + QStringLiteral(" \"") + caption.text + u'"';
            if (clipped &&
                caption.widget->fontMetrics().horizontalAdvance(caption.text) > caption.room)
                *clipped << name;
            if (!caption.widget->isEnabled())
                continue;
            const QRect area(caption.widget->mapTo(&window, caption.textArea.topLeft()) * ratio,
                             caption.textArea.size() * ratio);
            contrasts[name] = TextContrast(shot, area.intersected(shot.rect()));
        }
        if (clipped && form) {
            const QFontMetrics tabMetrics = form->safetabs1->fontMetrics();
            for (int tab = 0; tab < form->safetabs1->TabCount(); ++tab) {
                if (tabMetrics.horizontalAdvance(form->safetabs1->Caption(tab)) >
                    form->safetabs1->labelWidth() - 4)
                    *clipped << QStringLiteral("tab \"") + form->safetabs1->Caption(tab) + u'"';
            }
        }
        return contrasts;
    }

    static constexpr int Crc16Window = -1;

    QTranslator m_english;
    QTranslator m_crc16English;
};

QTEST_MAIN(ScreensTest)
#include "tst_screens.moc"
