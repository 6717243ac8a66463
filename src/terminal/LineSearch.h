#pragma once

#include "terminal/LineStore.h"

#include <QRegularExpression>
#include <QString>

#include <optional>
#include <vector>

namespace zorvane::terminal {

// One match: a span of characters in a line.
struct LineMatch
{
    qsizetype row = -1;
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const LineMatch &) const = default;
};

// Finds a text or a regular expression in the terminal lines. Matches do not overlap and
// never span lines. The count over all lines is kept as lines arrive: every line but the
// last is final, so only new lines and the growing last one are searched again. Counting
// many lines spreads their blocks over the cores, each block decompressed once.
class LineSearch
{
public:
    // False when the pattern is a regular expression that does not compile; nothing then
    // matches.
    bool setPattern(const QString &text, bool caseSensitive, bool regularExpression);
    bool isValid() const { return m_valid; }
    bool isEmpty() const { return !m_valid || m_text.isEmpty(); }

    // The matches in one line, in order.
    std::vector<LineMatch> matchesIn(const LineStore &lines, qsizetype row) const;
    // All matches in the store, brought up to date with the lines that arrived.
    qsizetype count(const LineStore &lines);
    // Matches before this one: its place in the count, from 0.
    qsizetype ordinal(const LineStore &lines, const LineMatch &match) const;
    // The first match after `from` (or before it, backwards), going round the end; from a
    // row of -1 forwards the search starts at the first line.
    std::optional<LineMatch> next(const LineStore &lines, const LineMatch &from,
                                  bool forward) const;

private:
    qsizetype countIn(const LineStore &lines, qsizetype row) const;
    // Matches in the rows from `first` up to `end`.
    qsizetype countRows(const LineStore &lines, qsizetype first, qsizetype end) const;
    // Plain-text matches in the rows from `first` up to `end` of one block, found in the
    // block's text as a whole rather than line by line.
    qsizetype countSpan(LineStore::Reader &reader, qsizetype first, qsizetype end) const;
    // Calls `found(start, length)` for each match of the row until it returns false; `Lines`
    // is the store or one of its readers.
    template <typename Lines, typename Found>
    void scan(Lines &lines, const QRegularExpression &expression, qsizetype row,
              Found found) const;

    QString m_text;
    QByteArray m_latin1; // the text as the lines hold it; empty when it has a wider character
    bool m_caseSensitive = false;
    bool m_regex = false;
    bool m_valid = true;
    QRegularExpression m_expression;
    // The expression over many lines joined by line ends, to skip lines without a match in
    // one pass instead of one call per line; only for expressions that do not look past
    // their own line (no lookaround, no subject anchors), where a line's match is always a
    // match in the joined text too.
    QRegularExpression m_joinedExpression;
    bool m_joinable = false;
    // Rows of [first, end) where a match in the joined text starts, ascending; each is a row
    // that may match, every row that does is among them.
    std::vector<qsizetype> candidateRows(const LineStore &lines, qsizetype first,
                                         qsizetype end) const;
    // The count: final lines counted so far and their matches, and which store generation
    // they belong to.
    qsizetype m_countedRows = 0;
    qsizetype m_countedMatches = 0;
    quint64 m_generation = 0;
};

} // namespace zorvane::terminal
