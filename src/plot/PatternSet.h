#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace zorvane::plot {

// The patterns of the Plot window, one regular expression a line, and the values each
// received line gives. Every capture group is a series, named by its group name or else by
// its number (led by the line number, "2:1", in the patterns after the first), so the same
// name in two patterns feeds one series.
class PatternSet
{
public:
    // Where a pattern does not compile: its line (from 1), the character in that line (from
    // 1) and what is wrong.
    struct Error
    {
        int line = 0;
        int column = 0;
        QString message;
        // "line 2, position 7: missing closing parenthesis"
        QString text() const;
    };

    // Takes the field's text; blank lines are skipped. Patterns that compile are used even
    // when another line does not.
    void setText(const QString &text);
    const QString &text() const { return m_text; }
    bool isEmpty() const { return m_patterns.isEmpty(); }
    const QList<Error> &errors() const { return m_errors; }

    // The series names in the order the patterns name them.
    const QStringList &seriesNames() const { return m_names; }

    // Hands each number the line gives to `value` as (index into seriesNames, value). A
    // group that took no part in the match, or whose text is not a number, gives nothing.
    // `fromLatin1`: the text was widened from bytes, so it needs no check for broken UTF-16.
    void match(QStringView line, const std::function<void(qsizetype, double)> &value,
               bool fromLatin1 = false) const;

    // The number a captured text reads as: '.' or a lone ',' as the decimal point, spaces
    // around it ignored; none for anything else, infinities and NaN included.
    static std::optional<double> number(QStringView text);

private:
    struct Pattern
    {
        QRegularExpression expression;
        // For each capture group (index 0 for group 1): its series.
        QList<qsizetype> series;
    };

    QString m_text;
    QList<Pattern> m_patterns;
    QList<Error> m_errors;
    QStringList m_names;
};

} // namespace zorvane::plot
