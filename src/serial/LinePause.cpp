#include "serial/LinePause.h"

#include <QThread>

namespace zorvane::serial {

namespace {
std::function<void(int)> &pauseHandler()
{
    static std::function<void(int)> handler;
    return handler;
}
} // namespace

void linePause(int milliseconds)
{
    if (pauseHandler())
        pauseHandler()(milliseconds);
    else
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void setLinePauseHandler(std::function<void(int milliseconds)> handler)
{
    pauseHandler() = std::move(handler);
}

} // namespace zorvane::serial
