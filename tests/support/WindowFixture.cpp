#include "WindowFixture.h"

#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QTest>
#include <QTimer>

WindowFixture::WindowFixture() = default;

WindowFixture::~WindowFixture()
{
    zorvane::app::setMessageHandler({});
    if (m_failed) {
        m_home.setAutoRemove(false);
        qWarning().noquote() << "a test failed: its home is kept in" << m_home.path();
    }
}

bool WindowFixture::setUp()
{
    if (!m_home.isValid())
        return false;
    docs = useTemporaryHome(m_home.path());
    zorvane::app::setMessageHandler([this](QWidget *, const QString &text) { messages << text; });
    return true;
}

void WindowFixture::reset()
{
    messages.clear();
    isolatePorts(docs);
}

void WindowFixture::tearDown()
{
    m_failed = m_failed || QTest::currentTestFailed();
    window.reset();
    module.reset();
}

std::unique_ptr<PtyModule> WindowFixture::plugIn(int port)
{
    auto plugged = std::make_unique<PtyModule>();
    if (!plugged->isValid() || !plugged->linkAs(docs, port))
        qWarning() << "cannot plug a module in at port" << port;
    return plugged;
}

std::unique_ptr<TMain> WindowFixture::makeMain()
{
    auto made = std::make_unique<TMain>();
    made->Timer1->stop();
    if (made->DocumentsFolder != docs)
        qWarning() << "documents folder" << made->DocumentsFolder << "is not" << docs;
    return made;
}

bool WindowFixture::openOn(int port)
{
    module = plugIn(port);
    window = makeMain();
    window->set_comx(port, false);
    return window->serial.holdsDevice();
}

bool tickUntil(TMain &window, const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        window.Timer1Timer();
    }
    return true;
}
