#include "crcwindow.h"
#include "support/shown.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>

#include <memory>

using crccalc::CrcWindow;

namespace {

// Replaces a box's text the way a user does: select all, type.
void typeInto(QLineEdit *box, const QString &text)
{
    box->setFocus();
    box->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Delete);
    else
        QTest::keyClicks(box, text);
    QCOMPARE(box->text(), text);
}

QString captionOf(const QWidget *w)
{
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<const QPushButton *>(w))
        return b->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    return {};
}

} // namespace

class TestCrc16Window : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<CrcWindow> window;

    void compute(const QString &input)
    {
        typeInto(window->Text1, input);
        QTest::mouseClick(window->Command1, Qt::LeftButton);
    }
    QStringList results() const
    {
        return {window->Text2->text(), window->Text3->text(), window->Text4->text(),
                window->Text5->text(), window->Text6->text()};
    }

private slots:
    void init()
    {
        window = std::make_unique<CrcWindow>();
        QVERIFY(support::ShowAndWait(window.get()));
    }
    void cleanup() { window.reset(); }

    void window_()
    {
        QCOMPARE(window->objectName(), QStringLiteral("crc"));
        QCOMPARE(window->windowTitle(), QStringLiteral("CRC16计算-Tarnwell"));
        QCOMPARE(window->size(), QSize(500, 250)); // 7500 x 3750 twips
        QCOMPARE(results(), QStringList(5, QString()));
    }

    // Every control where its twips put it, in pixels at 15 twips per pixel.
    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        auto row = [](const char *name, const char *parent, QRect r, const QString &caption) {
            QTest::newRow(name) << name << parent << r << caption;
        };
        row("Text1", "crc", QRect(16, 16, 337, 25), "01050000FF00");
        row("Command1", "crc", QRect(248, 88, 89, 33), "crc16计算");
        row("Frame1", "crc", QRect(16, 56, 209, 97), "结果");
        row("Label2(1)", "Frame1", QRect(96, 16, 30, 14), "低位");
        row("Label1(1)", "Frame1", QRect(144, 16, 30, 14), "高位");
        row("Label1(0)", "Frame1", QRect(16, 48, 45, 14), "十进制");
        row("Label2(0)", "Frame1", QRect(16, 72, 60, 14), "十六进制");
        row("Text2", "Frame1", QRect(88, 40, 41, 21), "");
        row("Text3", "Frame1", QRect(144, 40, 41, 21), "");
        row("Text4", "Frame1", QRect(88, 64, 41, 21), "");
        row("Text5", "Frame1", QRect(144, 64, 41, 21), "");
        row("Text6", "crc", QRect(288, 176, 145, 49), "");
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, parentName);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        auto *control = window->findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(control->parentWidget()->objectName(), parentName);
        QCOMPARE(control->geometry(), geometry);
        QCOMPARE(captionOf(control), caption);
        QVERIFY(control->isVisible());
        const QFont font = control->font();
        if (name == "Text6") {
            QCOMPARE(font, QApplication::font());
        } else {
            QCOMPARE(font.pointSize(), 10);
            QVERIFY(font.bold());
            QVERIFY(font.families().contains(QStringLiteral("宋体")));
        }
    }

    void controlArraysKeepTheirIndex()
    {
        QCOMPARE(window->Label1[0]->objectName(), QStringLiteral("Label1(0)"));
        QCOMPARE(window->Label1[1]->objectName(), QStringLiteral("Label1(1)"));
        QCOMPARE(window->Label2[0]->objectName(), QStringLiteral("Label2(0)"));
        QCOMPARE(window->Label2[1]->objectName(), QStringLiteral("Label2(1)"));
    }

    void compute_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("expected"); // Text2 .. Text6
        QTest::newRow("switch on")
            << "01050000FF00" << QStringList{"140", "58", "8C", "3A", "8C3A"};
        QTest::newRow("read one register")
            << "010300000001" << QStringList{"132", "10", "84", "A", "84A"};
        QTest::newRow("pasted with blanks")
            << "01 05 00 00 FF 00 " << QStringList{"140", "58", "8C", "3A", "8C3A"};
    }
    void compute()
    {
        QFETCH(QString, input);
        QFETCH(QStringList, expected);
        compute(input);
        QCOMPARE(results(), expected);
        QVERIFY(!crccalc::hasInputProblem(window->Text1));
        QVERIFY(window->Text1->toolTip().isEmpty());
    }

    void initialTextComputesAsIs()
    {
        QTest::mouseClick(window->Command1, Qt::LeftButton);
        QCOMPARE(results(), (QStringList{"140", "58", "8C", "3A", "8C3A"}));
    }

    void enterInTheInputComputes()
    {
        typeInto(window->Text1, "010300000001");
        QTest::keyClick(window->Text1, Qt::Key_Return);
        QCOMPARE(window->Text6->text(), QStringLiteral("84A"));
    }

    void highByteIsSetBeforeLowByte()
    {
        QStringList order;
        connect(window->Text3, &QLineEdit::textChanged, this, [&] { order << "Text3"; });
        connect(window->Text2, &QLineEdit::textChanged, this, [&] { order << "Text2"; });
        QTest::mouseClick(window->Command1, Qt::LeftButton);
        QCOMPARE(order, (QStringList{"Text3", "Text2"}));
    }

    void handEditedHexBoxIsRefreshed()
    {
        QTest::mouseClick(window->Command1, Qt::LeftButton);
        typeInto(window->Text4, "xx");
        typeInto(window->Text5, "");
        QTest::mouseClick(window->Command1, Qt::LeftButton);
        QCOMPARE(window->Text4->text(), QStringLiteral("8C"));
        QCOMPARE(window->Text5->text(), QStringLiteral("3A"));
    }

    void decimalBoxesFollow_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("hex");
        QTest::addColumn<bool>("marked");
        QTest::newRow("low 255") << "Text2"
                                 << "255"
                                 << "FF" << false;
        QTest::newRow("low 4096") << "Text2"
                                  << "4096"
                                  << "1000" << false;
        QTest::newRow("high 10") << "Text3"
                                 << "10"
                                 << "A" << false;
        QTest::newRow("high 65535") << "Text3"
                                    << "65535"
                                    << "FFFF" << false;
        QTest::newRow("low emptied") << "Text2"
                                     << ""
                                     << "" << false;
        QTest::newRow("low with a letter") << "Text2"
                                           << "12a"
                                           << "" << true;
        QTest::newRow("high negative") << "Text3"
                                       << "-1"
                                       << "" << true;
        QTest::newRow("high fraction") << "Text3"
                                       << "1.5"
                                       << "" << true;
    }
    void decimalBoxesFollow()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, hex);
        QFETCH(bool, marked);
        QTest::mouseClick(window->Command1, Qt::LeftButton); // start from a filled result
        QLineEdit *decimal = box == "Text2" ? window->Text2 : window->Text3;
        QLineEdit *follower = box == "Text2" ? window->Text4 : window->Text5;
        typeInto(decimal, typed);
        QCOMPARE(follower->text(), hex);
        QCOMPARE(crccalc::hasInputProblem(decimal), marked);
        QCOMPARE(decimal->toolTip().isEmpty(), !marked);
        typeInto(decimal, "58"); // a whole number again takes the mark away
        QCOMPARE(follower->text(), QStringLiteral("3A"));
        QVERIFY(!crccalc::hasInputProblem(decimal));
    }

    // Input that is not whole hex bytes: the window stays, computes what the bytes before the
    // first problem give, and marks the input with the reason.
    void invalidInput_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("expected"); // Text2 .. Text6
        const QStringList none(5, QString());
        QTest::newRow("empty") << "" << none;
        QTest::newRow("blanks") << "   " << none;
        QTest::newRow("single digit") << "1" << none;
        QTest::newRow("odd length") << "010" << QStringList{"126", "128", "7E", "80", "7E80"};
        QTest::newRow("odd length, larger")
            << "01050" << QStringList{"192", "35", "C0", "23", "C023"};
        QTest::newRow("letter beyond F")
            << "0105G7" << QStringList{"192", "35", "C0", "23", "C023"};
        QTest::newRow("nothing but garbage") << "zz" << none;
        QTest::newRow("very long garbage") << QString(10000, QLatin1Char('?')) << none;
    }
    void invalidInput()
    {
        QFETCH(QString, input);
        QFETCH(QStringList, expected);
        QTest::mouseClick(window->Command1, Qt::LeftButton); // results of an earlier frame
        window->Text1->setText(input);
        QTest::mouseClick(window->Command1, Qt::LeftButton);
        QCOMPARE(results(), expected);
        QVERIFY(crccalc::hasInputProblem(window->Text1));
        QVERIFY(!window->Text1->toolTip().isEmpty());
        QVERIFY(window->isVisible());
    }

    void editingTakesTheMarkAway()
    {
        compute("010");
        QVERIFY(crccalc::hasInputProblem(window->Text1));
        QTest::keyClick(window->Text1, Qt::Key_0);
        QVERIFY(!crccalc::hasInputProblem(window->Text1));
        QVERIFY(window->Text1->toolTip().isEmpty());
        QTest::mouseClick(window->Command1, Qt::LeftButton);
        QCOMPARE(window->Text6->text(), QStringLiteral("020"));
    }

    // In English no Chinese is left: not in the title, a caption or the reason a box is marked
    // (a row for each reason).
    void english_data()
    {
        QTest::addColumn<QString>("box"); // where the text is typed
        QTest::addColumn<QString>("text");
        QTest::newRow("no bytes") << QStringLiteral("Text1") << QString();
        QTest::newRow("not a hex digit, bytes before") << QStringLiteral("Text1") << "0105G7";
        QTest::newRow("not a hex digit, no bytes") << QStringLiteral("Text1") << "zz";
        QTest::newRow("lone digit, bytes before") << QStringLiteral("Text1") << "010";
        QTest::newRow("lone digit, no bytes") << QStringLiteral("Text1") << "1";
        QTest::newRow("decimal not a number") << QStringLiteral("Text2") << "12a";
        QTest::newRow("decimal too large") << QStringLiteral("Text3") << "99999999999999999999999";
    }
    void english()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QTranslator english;
        QVERIFY(english.load(QStringLiteral(":/i18n/crc16_en.qm")));
        QVERIFY(QCoreApplication::installTranslator(&english));
        const auto uninstall =
            qScopeGuard([&english] { QCoreApplication::removeTranslator(&english); });
        window = std::make_unique<CrcWindow>();
        QVERIFY(support::ShowAndWait(window.get()));
        auto *typed = window->findChild<QLineEdit *>(box);
        QVERIFY(typed);
        if (typed == window->Text1) {
            compute(text);
        } else {
            compute("0103");
            typeInto(typed, text);
        }
        QVERIFY(crccalc::hasInputProblem(typed));

        const QRegularExpression han(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
        QStringList chinese;
        if (window->windowTitle().contains(han))
            chinese << window->windowTitle();
        for (const QWidget *w : window->findChildren<QWidget *>()) {
            for (const QString &shown : {captionOf(w), w->toolTip()})
                if (shown.contains(han))
                    chinese << w->objectName() + QStringLiteral(": ") + shown;
        }
        QVERIFY2(chinese.isEmpty(), qPrintable(chinese.join(u"; ")));
    }
};

QTEST_MAIN(TestCrc16Window)
#include "tst_crc16_window.moc"
