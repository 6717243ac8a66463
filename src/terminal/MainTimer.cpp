// The receive timer's event: runs the receive ticks and then shows what they added.
#include "app/MainForm.h"

#include "TerminalModel.h"

#include <QListView>

namespace {
// A tick while no device is held stands for this much time, so the off-line countdown
// counts real seconds although Timer1 fires far more often.
constexpr int kNominalTickMs = 20;
// While bytes keep coming, one event runs ticks back to back for this long: a link that sends
// many short lines drains at its own rate, and the window still answers within a few ms.
constexpr qint64 kTickBudgetNs = 6'000'000;
// Reading the clock costs about as much as a short tick, so it is read every few ticks.
constexpr int kTicksPerClockRead = 8;
// New lines are shown at most this often; painting more often than a screen refreshes only
// costs CPU, which a slow link would otherwise pay on every 2 ms timer event.
constexpr qint64 kViewRefreshMs = 20;
} // namespace

void TMain::onTimer1()
{
    if (!serial.holdsDevice()) {
        if (m_offlineClock.isValid() && m_offlineClock.elapsed() < kNominalTickMs)
            return;
        m_offlineClock.start();
        Timer1Timer();
    } else {
        QElapsedTimer clock;
        clock.start();
        for (int ticks = 1;; ++ticks) {
            const qint64 before = serial.bytesTaken();
            Timer1Timer();
            // A tick that took nothing found the link idle; a lost link ends the run too.
            if (serial.bytesTaken() == before || !serial.holdsDevice())
                break;
            if (ticks % kTicksPerClockRead == 0 && clock.nsecsElapsed() >= kTickBudgetNs)
                break;
        }
    }
    if (m_viewClock.isValid() && m_viewClock.elapsed() < kViewRefreshMs)
        return;
    if (ListModel->hasUnpublished()) {
        m_viewClock.start();
        refreshTerminalView();
    }
}

void TMain::refreshTerminalView()
{
    if (!ListModel->hasUnpublished())
        return;
    ListModel->publish();
    const int last = ListModel->rowCount() - 1;
    if (last >= 0) {
        const QModelIndex index = ListModel->index(last);
        ListBox1->setCurrentIndex(index);
        ListBox1->scrollTo(index);
    }
}
