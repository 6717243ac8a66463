#pragma once

#include "script/ScriptStep.h"

#include <QList>
#include <QString>

namespace zorvane::script {

// How a whole run ended, for the report.
struct RunSummary
{
    // The script's file name, the suite's name.
    QString script;
    double seconds = 0;
    // Empty when the run ended well; else why it did not, for a failure outside any step.
    QString failure;
};

// Writes a JUnit XML report, one test case per step, plus one named after the script when the
// run failed outside its steps; the file is replaced whole or not at all. Empty text when
// written, else why not.
QString writeJUnitReport(const QString &path, const RunSummary &run,
                         const QList<ScriptStep> &steps);

} // namespace zorvane::script
