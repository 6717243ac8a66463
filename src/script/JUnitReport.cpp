#include "script/JUnitReport.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamWriter>

namespace zorvane::script {

namespace {

QString seconds(double s)
{
    return QString::number(s, 'f', 3);
}

// XML 1.0 cannot carry most control characters; a message quoting received bytes may hold
// them, so they become escapes a reader can see.
QString xmlSafe(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r')
            out += QStringLiteral("<%1>").arg(u, 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

} // namespace

QString writeJUnitReport(const QString &path, const RunSummary &run, const QList<ScriptStep> &steps)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QString suite = QFileInfo(run.script).fileName();
    const QString className = QFileInfo(run.script).completeBaseName();
    qsizetype failures = 0;
    for (const ScriptStep &step : steps)
        failures += step.passed ? 0 : 1;
    const bool runError = !run.failure.isEmpty();

    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuites"));
    xml.writeStartElement(QStringLiteral("testsuite"));
    xml.writeAttribute(QStringLiteral("name"), suite);
    xml.writeAttribute(QStringLiteral("tests"), QString::number(steps.size() + (runError ? 1 : 0)));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    xml.writeAttribute(QStringLiteral("errors"), QString::number(runError ? 1 : 0));
    xml.writeAttribute(QStringLiteral("time"), seconds(run.seconds));
    xml.writeAttribute(QStringLiteral("timestamp"),
                       QDateTime::currentDateTime().toString(Qt::ISODate));
    for (const ScriptStep &step : steps) {
        xml.writeStartElement(QStringLiteral("testcase"));
        xml.writeAttribute(QStringLiteral("name"), xmlSafe(step.name));
        xml.writeAttribute(QStringLiteral("classname"), className);
        xml.writeAttribute(QStringLiteral("time"), seconds(step.seconds));
        if (!step.passed) {
            xml.writeStartElement(QStringLiteral("failure"));
            xml.writeAttribute(QStringLiteral("message"), xmlSafe(step.message));
            xml.writeCharacters(xmlSafe(step.message));
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    if (runError) {
        xml.writeStartElement(QStringLiteral("testcase"));
        xml.writeAttribute(QStringLiteral("name"), suite);
        xml.writeAttribute(QStringLiteral("classname"), className);
        xml.writeAttribute(QStringLiteral("time"), seconds(run.seconds));
        xml.writeStartElement(QStringLiteral("error"));
        xml.writeAttribute(QStringLiteral("message"), xmlSafe(run.failure));
        xml.writeCharacters(xmlSafe(run.failure));
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file.commit())
        return file.errorString();
    return {};
}

} // namespace zorvane::script
