// Find and arrival-time benchmark, on the line store alone: counting the matches of a plain
// text in 10 million lines and in 1 GB of text (the target is under 1 s), going to the next match across
// 1 million lines when the only one is at the far end (under 100 ms), the same with a regular
// expression, and what the arrival times cost a line (at most 4 bytes).
#include "terminal/LineSearch.h"
#include "terminal/LineStore.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <utility>

using namespace zorvane::terminal;

namespace {

qint64 g_now = 1'765'000'000'000;
qint64 steppingClock()
{
    return g_now += 3;
}

// Lines like a chatty module's: 25 to 40 characters, one in 1000 with ERROR; `count` lines
// or, with `bytes`, as many as hold that much text. Waits until the older blocks are sealed.
qsizetype fill(LineStore &lines, qsizetype count, bool matches, qsizetype bytes = 0)
{
    lines.setClock(&steppingClock);
    qsizetype text = 0;
    for (qsizetype i = 0; bytes > 0 ? text < bytes : i < count; ++i) {
        const QByteArray line = (matches && i % 1000 == 999)
                                    ? "+RSSI: ERROR " + QByteArray::number(i)
                                    : "+STATUS: link 0 rssi -" + QByteArray::number(i % 90) +
                                          " seq " + QByteArray::number(i);
        lines.addLine({});
        lines.appendToLast(QByteArrayView(line));
        text += line.size();
    }
    lines.settle();
    return text;
}

double ms(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main()
{
    // The 1 GB run twice: all in memory, then with a budget of 16 MB, past which the oldest
    // blocks are read back from the spill file (in the page cache, as on a machine with room).
    for (const auto &[gigabyte, spill] : {std::pair{qsizetype(0), false},
                                          {qsizetype(1'000'000'000), false},
                                          {qsizetype(1'000'000'000), true}}) {
        LineStore lines;
        lines.setSpill(spill ? 16 * 1024 * 1024 : -1);
        QElapsedTimer filling;
        filling.start();
        const qsizetype text = fill(lines, 10'000'000, true, gigabyte);
        std::printf("%.1f M lines, %.1f MB of text, stored in %.1f s%s\n",
                    double(lines.size()) / 1e6, double(text) / 1e6, ms(filling) / 1e3,
                    !spill ? ", all in memory"
                    : lines.isSpilled(0) ? ", the oldest blocks spilled to disk"
                                         : ", nothing spilled");
        for (const bool caseSensitive : {true, false}) {
            LineSearch search;
            search.setPattern(QStringLiteral("ERROR"), caseSensitive, false);
            QElapsedTimer timer;
            timer.start();
            const qsizetype n = search.count(lines);
            std::printf("count \"ERROR\" (%s) in %.1f MB: %lld matches in %.1f ms\n",
                        caseSensitive ? "case" : "any case", double(text) / 1e6, qlonglong(n),
                        ms(timer));
        }
        if (gigabyte > 0) {
            // A row from a block not in the cache, as a scroll-bar drag or a jump to a match
            // far away asks for: the worst and the mean of 2000 such reads.
            double worst = 0;
            double sum = 0;
            quint64 seed = 7;
            qsizetype read = 0;
            for (int i = 0; i < 2000; ++i) {
                seed = seed * 6364136223846793005ull + 1442695040888963407ull;
                const qsizetype row = qsizetype((seed >> 17) % quint64(lines.size()));
                QElapsedTimer timer;
                timer.start();
                read += lines.length(row) + lines.text(row).size();
                const double took = ms(timer);
                worst = std::max(worst, took);
                sum += took;
            }
            std::printf("a row from a random block: worst %.2f ms, mean %.3f ms (%lld bytes read)\n",
                        worst, sum / 2000, qlonglong(read));
        }
        const qsizetype textBytes = [&] {
            qsizetype b = 0;
            for (qsizetype row = 0; row < lines.size(); ++row)
                b += lines.length(row);
            return b;
        }();
        std::printf("store: %.2f B a line beyond the text, arrival times included (%.2f B a line "
                    "in all, for %.2f B of text)\n",
                    double(lines.memoryBytes() - textBytes) / double(lines.size()),
                    double(lines.memoryBytes()) / double(lines.size()),
                    double(textBytes) / double(lines.size()));
    }
    {
        LineStore lines;
        fill(lines, 1'000'000, false);
        lines.addLine(u"+RSSI: ERROR at the end");
        for (const auto &[pattern, regex] :
             {std::pair{QStringLiteral("ERROR"), false}, {QStringLiteral("ERR(OR)? at"), true}}) {
            LineSearch search;
            search.setPattern(pattern, false, regex);
            QElapsedTimer timer;
            timer.start();
            const auto found = search.next(lines, {0, 0, 0}, true);
            std::printf("next match of %s \"%s\" across 1M lines: row %lld in %.1f ms\n",
                        regex ? "regex" : "text", qPrintable(pattern),
                        qlonglong(found ? found->row : -1), ms(timer));
        }
    }
    return 0;
}
