#include "ModemSequence.h"

namespace zorvane::serial {

namespace {

ModemStep linesStep()
{
    return ModemStep{};
}

ModemStep pauseStep(int ms)
{
    ModemStep s;
    s.kind = ModemStep::Kind::Pause;
    s.ms = ms;
    return s;
}

ParsedSequence failure(int at, const QString &why)
{
    ParsedSequence p;
    p.errorAt = at;
    p.error = why;
    return p;
}

} // namespace

ParsedSequence parseModemSequence(QStringView text)
{
    ParsedSequence parsed;
    ModemSteps &steps = parsed.steps;
    // Whether the last step is a run of line changes that the next letter may join.
    bool openRun = false;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == u'D' || c == u'd' || c == u'R' || c == u'r') {
            const bool dtr = c == u'D' || c == u'd';
            const bool on = c == u'D' || c == u'R';
            if (openRun) {
                const ModemLineChange &last = steps.back().lines;
                if ((dtr && last.dtr) || (!dtr && last.rts))
                    openRun = false;
            }
            if (!openRun) {
                steps.push_back(linesStep());
                openRun = true;
            }
            (dtr ? steps.back().lines.dtr : steps.back().lines.rts) = on;
            ++i;
            continue;
        }
        if (c >= u'0' && c <= u'9') {
            const qsizetype start = i;
            qint64 ms = 0;
            while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
                ms = ms * 10 + (text[i].unicode() - u'0');
                if (ms > kMaxPauseMs)
                    return failure(int(start),
                                   QStringLiteral("a pause lasts at most %1 ms").arg(kMaxPauseMs));
                ++i;
            }
            steps.push_back(pauseStep(int(ms)));
            openRun = false;
            continue;
        }
        return failure(int(i), QStringLiteral("\"%1\" is not D, d, R, r or a number of ms").arg(c));
    }
    return parsed;
}

ModemSteps pulseSteps(ModemLine line, bool now, int ms)
{
    ModemStep away;
    ModemStep back;
    if (line == ModemLine::Dtr) {
        away.lines.dtr = !now;
        back.lines.dtr = now;
    } else {
        away.lines.rts = !now;
        back.lines.rts = now;
    }
    return {away, pauseStep(qBound(0, ms, kMaxPauseMs)), back};
}

ModemSteps breakSteps(int ms)
{
    ModemStep on;
    on.kind = ModemStep::Kind::Break;
    on.breakOn = true;
    ModemStep off = on;
    off.breakOn = false;
    return {on, pauseStep(qBound(0, ms, kMaxPauseMs)), off};
}

} // namespace zorvane::serial
