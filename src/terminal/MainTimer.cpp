// The receive timer's event: runs the receive ticks and then shows what they added.
#include "app/MainForm.h"

#include "TerminalModel.h"

#include <QListView>

namespace {
// A tick while no device is held stands for this much time, so the off-line countdown
// counts real seconds although Timer1 fires far more often.
constexpr int kNominalTickMs = 20;
} // namespace

void TMain::onTimer1()
{
    if (!serial.holdsDevice()) {
        if (m_offlineClock.isValid() && m_offlineClock.elapsed() < kNominalTickMs)
            return;
        m_offlineClock.start();
    }
    Timer1Timer();
    refreshTerminalView();
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
