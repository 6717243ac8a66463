#pragma once

#include <QString>

namespace zorvane::script {

// One test(name, fn) step of a script, as it ended.
struct ScriptStep
{
    QString name;
    bool passed = true;
    // Why it failed: the error with the script's file and line.
    QString message;
    double seconds = 0;
};

} // namespace zorvane::script
