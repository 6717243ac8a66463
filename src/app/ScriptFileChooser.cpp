#include "app/ScriptFileChooser.h"

#include <QFileDialog>

namespace zorvane::app {

namespace {

ScriptFileHandler &handler()
{
    static ScriptFileHandler h;
    return h;
}

} // namespace

void setScriptFileHandler(ScriptFileHandler h)
{
    handler() = std::move(h);
}

QString chooseScriptFile(QWidget *parent)
{
    if (handler())
        return handler()(parent);
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Run Script"), QString(),
                                        QStringLiteral("Lua scripts (*.lua);;All files (*)"));
}

} // namespace zorvane::app
