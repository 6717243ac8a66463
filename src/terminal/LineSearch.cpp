#include "LineSearch.h"

#include <QLatin1StringView>

#include <QThread>

#include <algorithm>
#include <iterator>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace zorvane::terminal {

bool LineSearch::setPattern(const QString &text, bool caseSensitive, bool regularExpression)
{
    m_text = text;
    m_caseSensitive = caseSensitive;
    m_regex = regularExpression;
    const bool narrow =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    m_latin1 = narrow ? text.toLatin1() : QByteArray();
    m_valid = true;
    if (regularExpression) {
        m_expression.setPattern(text);
        m_expression.setPatternOptions(caseSensitive
                                           ? QRegularExpression::NoPatternOption
                                           : QRegularExpression::CaseInsensitiveOption);
        m_valid = m_expression.isValid();
        if (m_valid)
            m_expression.optimize();
        static const char *const lookingOutside[] = {"(?=", "(?!", "(?<=", "(?<!", "\\A",
                                                     "\\z", "\\Z", "\\G", "\\K", "(*"};
        m_joinable = m_valid && std::none_of(std::begin(lookingOutside), std::end(lookingOutside),
                                             [&](const char *token) {
                                                 return text.contains(QLatin1StringView(token));
                                             });
        if (m_joinable) {
            m_joinedExpression.setPattern(text);
            m_joinedExpression.setPatternOptions(m_expression.patternOptions() |
                                                 QRegularExpression::MultilineOption);
            m_joinable = m_joinedExpression.isValid();
        }
    } else {
        m_joinable = false;
    }
    m_countedRows = 0;
    m_countedMatches = 0;
    return m_valid;
}

template <typename Lines, typename Found>
void LineSearch::scan(Lines &lines, const QRegularExpression &expression, qsizetype row,
                      Found found) const
{
    if (isEmpty())
        return;
    if (m_regex) {
        const QString line = lines.text(row);
        for (auto it = expression.globalMatch(line); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            // An empty match marks a place, not text: nothing to show or go to.
            if (match.capturedLength() > 0 && !found(match.capturedStart(), match.capturedLength()))
                return;
        }
        return;
    }
    const std::optional<QByteArrayView> bytes = lines.latin1(row);
    if (bytes) {
        if (m_latin1.isEmpty())
            return; // a character above 255 is in no line of bytes
        const qsizetype n = m_latin1.size();
        if (m_caseSensitive) {
            // glibc's memmem is vectorised; it is most of the count's time over long sessions.
            const char *data = bytes->data();
            const qsizetype size = bytes->size();
            for (qsizetype from = 0; from + n <= size;) {
                const void *hit = memmem(data + from, size_t(size - from), m_latin1.constData(),
                                         size_t(n));
                if (!hit)
                    return;
                const qsizetype at = static_cast<const char *>(hit) - data;
                if (!found(at, n))
                    return;
                from = at + n;
            }
        } else {
            const QLatin1StringView hay(bytes->data(), bytes->size());
            const QLatin1StringView needle(m_latin1);
            for (qsizetype at = hay.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
                 at = hay.indexOf(needle, at + n, Qt::CaseInsensitive))
                if (!found(at, n))
                    return;
        }
        return;
    }
    const QString line = lines.text(row);
    const Qt::CaseSensitivity cs = m_caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (qsizetype at = line.indexOf(m_text, 0, cs); at >= 0;
         at = line.indexOf(m_text, at + m_text.size(), cs))
        if (!found(at, m_text.size()))
            return;
}

std::vector<LineMatch> LineSearch::matchesIn(const LineStore &lines, qsizetype row) const
{
    std::vector<LineMatch> matches;
    scan(lines, m_expression, row, [&](qsizetype start, qsizetype length) {
        matches.push_back({row, start, length});
        return true;
    });
    return matches;
}

qsizetype LineSearch::countIn(const LineStore &lines, qsizetype row) const
{
    qsizetype n = 0;
    scan(lines, m_expression, row, [&](qsizetype, qsizetype) {
        ++n;
        return true;
    });
    return n;
}

qsizetype LineSearch::countSpan(LineStore::Reader &reader, qsizetype first, qsizetype end) const
{
    const QRegularExpression none;
    const auto countLine = [&](qsizetype row) {
        qsizetype n = 0;
        scan(reader, none, row, [&](qsizetype, qsizetype) {
            ++n;
            return true;
        });
        return n;
    };
    const QByteArrayView text = reader.span(first, end);
    const qsizetype n = m_latin1.size();
    const QLatin1StringView hay(text.data(), text.size());
    const QLatin1StringView needle(m_latin1);
    const auto find = [&](qsizetype from) -> qsizetype {
        if (from + n > text.size())
            return -1;
        if (!m_caseSensitive)
            return hay.indexOf(needle, from, Qt::CaseInsensitive);
        const void *hit = memmem(text.data() + from, size_t(text.size() - from),
                                 m_latin1.constData(), size_t(n));
        return hit ? static_cast<const char *>(hit) - text.data() : -1;
    };
    // Walks the lines along with the hits: a hit counts when it lies inside one line of bytes;
    // one that runs past its line's end means no later start in that line can fit either.
    qsizetype matches = 0;
    qsizetype row = first;
    qsizetype lineStart = 0;
    qsizetype lineEnd = reader.length(first);
    // A character above 255 is in no line of bytes.
    for (qsizetype at = m_latin1.isEmpty() ? -1 : find(0); at >= 0;) {
        while (at >= lineEnd && row + 1 < end) {
            ++row;
            lineStart = lineEnd;
            lineEnd = lineStart + reader.length(row);
        }
        if (at >= lineEnd)
            break;
        if (reader.isWide(row)) {
            at = find(lineEnd); // counted below, as characters
            continue;
        }
        if (at + n <= lineEnd) {
            ++matches;
            at = find(at + n);
        } else {
            at = find(lineEnd);
        }
    }
    for (qsizetype r = first; r < end; ++r)
        if (reader.isWide(r))
            matches += countLine(r);
    return matches;
}

qsizetype LineSearch::countRows(const LineStore &lines, qsizetype first, qsizetype end) const
{
    if (first >= end || isEmpty())
        return 0;
    // Lines of the open block, or of one block alone, are counted here at once.
    if (!lines.isSealed(first) || lines.blockEnd(first) >= end) {
        qsizetype n = 0;
        for (qsizetype row = first; row < end; ++row)
            n += countIn(lines, row);
        return n;
    }
    std::vector<qsizetype> starts;
    for (qsizetype row = first; row < end; row = lines.blockEnd(row))
        starts.push_back(row);
    starts.push_back(end);
    const qsizetype spans = qsizetype(starts.size()) - 1;
    const int threads = int(std::min<qsizetype>(std::max(QThread::idealThreadCount(), 1), spans));
    // Each thread takes the next block not yet taken; the store is left alone meanwhile, as
    // this thread waits for them.
    std::atomic<qsizetype> nextSpan{0};
    std::atomic<qsizetype> total{0};
    const auto work = [&] {
        LineStore::Reader reader(lines);
        // A pattern object of its own: matching is not promised to be safe on a shared one.
        const QRegularExpression expression = m_regex
                                                  ? QRegularExpression(m_expression.pattern(),
                                                                       m_expression.patternOptions())
                                                  : QRegularExpression();
        qsizetype n = 0;
        for (qsizetype span = nextSpan++; span < spans; span = nextSpan++) {
            const qsizetype stop = std::min(starts[size_t(span) + 1], end);
            if (!m_regex) {
                n += countSpan(reader, starts[size_t(span)], stop);
                continue;
            }
            for (qsizetype row = starts[size_t(span)]; row < stop; ++row)
                scan(reader, expression, row, [&](qsizetype, qsizetype) {
                    ++n;
                    return true;
                });
        }
        total += n;
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i)
        helpers.emplace_back(work);
    work();
    for (std::thread &helper : helpers)
        helper.join();
    return total;
}

qsizetype LineSearch::count(const LineStore &lines)
{
    if (isEmpty() || lines.isEmpty())
        return 0;
    if (lines.generation() != m_generation || lines.size() < m_countedRows) {
        m_generation = lines.generation();
        m_countedRows = 0;
        m_countedMatches = 0;
    }
    const qsizetype final = lines.size() - 1;
    if (m_countedRows < final) {
        m_countedMatches += countRows(lines, m_countedRows, final);
        m_countedRows = final;
    }
    return m_countedMatches + countIn(lines, final);
}

qsizetype LineSearch::ordinal(const LineStore &lines, const LineMatch &match) const
{
    qsizetype n = countRows(lines, 0, std::min(match.row, lines.size()));
    if (match.row >= lines.size())
        return n;
    scan(lines, m_expression, match.row, [&](qsizetype start, qsizetype) {
        if (start >= match.start)
            return false;
        ++n;
        return true;
    });
    return n;
}

std::vector<qsizetype> LineSearch::candidateRows(const LineStore &lines, qsizetype first,
                                                qsizetype end) const
{
    QString joined;
    std::vector<qsizetype> starts;
    starts.reserve(static_cast<size_t>(end - first + 1));
    for (qsizetype row = first; row < end; ++row) {
        starts.push_back(joined.size());
        if (const std::optional<QByteArrayView> bytes = lines.latin1(row))
            joined.append(QLatin1StringView(*bytes));
        else
            joined.append(lines.text(row));
        joined.append(QLatin1Char('\n'));
    }
    starts.push_back(joined.size());
    std::vector<qsizetype> rows;
    for (qsizetype at = 0; at < joined.size();) {
        const QRegularExpressionMatch match = m_joinedExpression.match(joined, at);
        if (!match.hasMatch())
            break;
        const auto line = std::upper_bound(starts.begin(), starts.end(), match.capturedStart()) - 1;
        const qsizetype index = line - starts.begin();
        rows.push_back(first + index);
        // A match that ran on past its line end may hide one in the next line: go on from there.
        at = starts[static_cast<size_t>(index + 1)];
    }
    return rows;
}

std::optional<LineMatch> LineSearch::next(const LineStore &lines, const LineMatch &from,
                                          bool forward) const
{
    const qsizetype rows = lines.size();
    if (isEmpty() || rows == 0)
        return std::nullopt;
    const bool fromNowhere = from.row < 0 || from.row >= rows;
    const qsizetype startRow = fromNowhere ? (forward ? 0 : rows - 1) : from.row;
    // The match in one row: on the first visit of the row `from` is in, only past `from`.
    const auto matchIn = [&](qsizetype row, bool firstVisit) {
        std::optional<LineMatch> best;
        scan(lines, m_expression, row, [&](qsizetype start, qsizetype length) {
            const LineMatch m{row, start, length};
            if (forward) {
                if (firstVisit && start <= from.start)
                    return true;
                best = m;
                return false;
            }
            if (firstVisit && start >= from.start)
                return false;
            best = m; // keep the last one before `from`
            return true;
        });
        return best;
    };
    // The starting row is looked at twice: past `from` first, and again at the end of the
    // way round for the matches on the other side of it.
    if (auto found = matchIn(startRow, !fromNowhere))
        return found;
    qsizetype row = startRow;
    qsizetype left = rows - 1; // rows between the two visits of the starting row
    constexpr qsizetype kJoinedRows = 8192;
    while (left > 0) {
        row = forward ? (row + 1) % rows : (row + rows - 1) % rows;
        if (!m_joinable) {
            if (auto found = matchIn(row, false))
                return found;
            --left;
            continue;
        }
        // A run of rows that does not wrap round the end, searched joined.
        const qsizetype run = std::min(left, std::min(kJoinedRows, forward ? rows - row : row + 1));
        const qsizetype first = forward ? row : row - run + 1;
        std::vector<qsizetype> candidates = candidateRows(lines, first, first + run);
        if (!forward)
            std::reverse(candidates.begin(), candidates.end());
        for (const qsizetype candidate : candidates)
            if (auto found = matchIn(candidate, false))
                return found;
        row = forward ? row + run - 1 : row - run + 1;
        left -= run;
    }
    return matchIn(startRow, false);
}

} // namespace zorvane::terminal
