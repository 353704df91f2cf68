#include "app/timeboxes.h"

#include "app/digitsonly.h"
#include "app/mainwindow.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

using namespace protocol;

namespace {

void showSeconds(QComboBox *box, QLabel *label)
{
    if (const auto text = SecondsLabel(box->currentText()))
        label->setText(*text);
}

} // namespace

TimeBoxes::TimeBoxes(Form1 &form) : QObject(&form), f(form)
{
    for (int i = 0; i < 8; ++i) {
        attach({f.TM[i], f.ht[i], std::nullopt});
        attach({f.DDT[i], f.DDM[i], std::nullopt});
    }
    attach({f.QTM, f.QB, AllTimesBox::Delay});
    attach({f.ALLDDT, f.ALLDDM, AllTimesBox::Jog});
}

void TimeBoxes::attach(const Box &b)
{
    m_boxes.push_back(b);
    b.box->setValidator(new DigitsOnly(b.box)); // whether typed or pasted
    // Typed times never join the list, and neither Enter nor leaving the box counts as a
    // choice from the list: only the list itself (and its arrow keys) chooses an entry.
    b.box->setInsertPolicy(QComboBox::NoInsert);
    QObject::disconnect(b.box->lineEdit(), SIGNAL(editingFinished()), b.box, nullptr);
    // Keys reach the box itself: it is the focus proxy of its line edit and hands them on
    // directly, past any filter on the line edit.
    b.box->installEventFilter(this);
    connect(b.box, &QComboBox::editTextChanged, this, [b] { showSeconds(b.box, b.label); });
    connect(b.box, &QComboBox::activated, this, [this, b] { listChosen(b); });
}

bool TimeBoxes::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyRelease) {
        for (const Box &b : m_boxes) {
            if (b.box == watched) {
                keyReleased(b);
                break;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void TimeBoxes::keyReleased(const Box &b)
{
    switch (CheckTimeText(b.box->currentText())) {
    case TimeCheck::Empty:
        break;
    case TimeCheck::OutOfRange:
        f.messages().inform(app::Message::Icon::Error, TimeRangeMessage, TimeRangeTitle);
        b.box->setEditText(TimeResetText);
        break;
    case TimeCheck::InRange:
        copyInto(b, CopyTrigger::KeyRelease);
        break;
    }
}

void TimeBoxes::listChosen(const Box &b)
{
    copyInto(b, CopyTrigger::ListChoice);
    showSeconds(b.box, b.label);
}

void TimeBoxes::copyInto(const Box &b, CopyTrigger trigger)
{
    if (!b.copies)
        return;
    const auto &targets = *b.copies == AllTimesBox::Delay ? f.TM : f.DDT;
    const int count = CopyTargetCount(*b.copies, trigger, f.ChannelCount);
    const QString text = b.box->currentText();
    for (int k = 0; k < count; ++k)
        targets[std::size_t(k)]->setEditText(text);
}
