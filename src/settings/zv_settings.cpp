#include "zv_settings.h"

#include <QDomProcessingInstruction>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace zorvane::settings {

namespace {

// Why the settings file was not loaded or not saved; silent unless switched on.
Q_LOGGING_CATEGORY(lcSettings, "zorvane.settings", QtWarningMsg)

const QString kDeclarationTarget = QStringLiteral("xml");
const QString kNewDeclaration =
    QStringLiteral("version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"");

// XML 1.0 cannot hold most control characters, yet command texts carry them (an ESC in a
// GainSpan command). They are kept as the private-use characters U+E000 + code, which the
// reader turns back; tab and line feed are legal and stay as they are.
constexpr char16_t kControlBase = 0xE000;

bool isStoredAsPrivateUse(char16_t c)
{
    return c < 0x20 && c != u'\t' && c != u'\n';
}

QString encodeText(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (isStoredAsPrivateUse(c.unicode()))
            c = QChar(char16_t(kControlBase + c.unicode()));
    }
    return out;
}

QString decodeText(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= kControlBase && u < kControlBase + 0x20 &&
            isStoredAsPrivateUse(char16_t(u - kControlBase)))
            c = QChar(char16_t(u - kControlBase));
    }
    return out;
}

// The parser drops text made only of whitespace, so such a value is written as CDATA.
bool isOnlyWhitespace(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\n';
    });
}

// Decimal digits with an optional leading minus sign (the caller trims the text).
bool isDecimal(const QString &text)
{
    const qsizetype start = text.startsWith(u'-') ? 1 : 0;
    return text.size() > start && std::all_of(text.begin() + start, text.end(),
                                              [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The text of the element's own text and CDATA children.
QString ownText(const QDomElement &element)
{
    QString text;
    for (QDomNode n = element.firstChild(); !n.isNull(); n = n.nextSibling()) {
        if (n.isText()) // CDATA sections are text nodes too
            text += n.nodeValue();
    }
    return text;
}

// The declaration as the file spells it, between "<?xml" and "?>"; empty when the file has
// none or is not in an ASCII-compatible encoding.
QString rawDeclaration(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    if (!view.startsWith("<?xml") || view.size() < 6 || !QChar::isSpace(uchar(view[5])))
        return {};
    const qsizetype end = view.indexOf("?>");
    if (end < 0)
        return {};
    // The writer puts one space after the target; whatever follows the parts stays.
    QString declaration = QString::fromUtf8(view.sliced(5, end - 5));
    while (!declaration.isEmpty() && declaration.front().isSpace())
        declaration.remove(0, 1);
    return declaration;
}

// The file is always written in UTF-8, so a declaration naming another encoding would lie.
QString asUtf8Declaration(QString declaration)
{
    static const QRegularExpression encoding(QStringLiteral(R"(encoding\s*=\s*(["'])([^"']*)\1)"));
    const QRegularExpressionMatch m = encoding.match(declaration);
    if (m.hasMatch() && m.captured(2).compare(u"UTF-8", Qt::CaseInsensitive) != 0) {
        declaration.replace(m.capturedStart(2), m.capturedLength(2), QStringLiteral("UTF-8"));
    }
    return declaration;
}

// At most `limit` attributes in any tag, counted on the bytes before the parser sees them:
// it compares each attribute with every earlier one of its element, so 100,000 attributes
// on one element would hold the window for about a minute. Counts the equals signs outside
// quoted values; comments, CDATA and processing instructions are skipped whole.
bool attributesWithinLimit(QByteArrayView bytes, int limit)
{
    const auto skipTo = [&](qsizetype from, QByteArrayView end) {
        const qsizetype at = bytes.indexOf(end, from);
        return at < 0 ? bytes.size() : at + end.size();
    };
    qsizetype i = 0;
    while ((i = bytes.indexOf('<', i)) >= 0) {
        const QByteArrayView rest = bytes.sliced(i);
        if (rest.startsWith("<!--")) {
            i = skipTo(i + 4, "-->");
        } else if (rest.startsWith("<![CDATA[")) {
            i = skipTo(i + 9, "]]>");
        } else if (rest.startsWith("<?")) {
            i = skipTo(i + 2, "?>");
        } else {
            int count = 0;
            char quote = 0;
            for (++i; i < bytes.size(); ++i) {
                const char c = bytes[i];
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '=') {
                    if (++count > limit)
                        return false;
                } else if (c == '>') {
                    break;
                }
            }
        }
    }
    return true;
}

// The writer escapes each '&', '<' and '"' by inserting into the rest of its text, so a long
// text full of them takes quadratic time: 20,000 ampersands in a 4 MB text take seconds to
// write. The work is about their number times the text's length; this bound keeps it to
// a few tens of milliseconds and lets any real text through.
constexpr qint64 kMaxEscapeWork = 1'000'000'000;

qint64 escapeWork(QStringView text)
{
    const qint64 marks = std::count_if(text.begin(), text.end(),
                                       [](QChar c) { return c == u'&' || c == u'<' || c == u'"'; });
    return marks * text.size();
}

// What the load accepts: not too big, well-formed, not nested beyond reason and with few
// enough attributes and nodes that parsing it stays quick. Whitespace between elements is
// not counted: the tree drops it, and the writer's indentation adds it.
bool acceptable(const QByteArray &bytes, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (bytes.size() > SettingsDocument::kMaxFileBytes)
        return fail(QStringLiteral("larger than %1 bytes").arg(SettingsDocument::kMaxFileBytes));
    if (!attributesWithinLimit(bytes, SettingsDocument::kMaxAttributes))
        return fail(QStringLiteral("an element with more than %1 attributes")
                        .arg(SettingsDocument::kMaxAttributes));
    QXmlStreamReader reader(bytes);
    int depth = 0;
    qint64 nodes = 0;
    qint64 escapes = 0;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (++depth > SettingsDocument::kMaxDepth)
                return fail(QStringLiteral("elements nested more than %1 deep")
                                .arg(SettingsDocument::kMaxDepth));
            const QXmlStreamAttributes attributes = reader.attributes();
            nodes += 1 + attributes.size();
            for (const QXmlStreamAttribute &attribute : attributes)
                escapes += escapeWork(attribute.value());
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (token != QXmlStreamReader::StartDocument &&
                   token != QXmlStreamReader::EndDocument && !reader.isWhitespace()) {
            ++nodes;
            escapes += escapeWork(reader.text());
        }
        if (escapes > kMaxEscapeWork)
            return fail(QStringLiteral("texts too full of '&', '<' and '\"' to be saved again"));
        if (nodes > SettingsDocument::kMaxNodes)
            return fail(QStringLiteral("more than %1 elements, attributes and texts")
                            .arg(SettingsDocument::kMaxNodes));
    }
    if (reader.hasError())
        return fail(QStringLiteral("line %1, column %2: %3")
                        .arg(reader.lineNumber())
                        .arg(reader.columnNumber())
                        .arg(reader.errorString()));
    return true;
}

// The groups and leaves the program reads; everything else in a file is kept for its owner.
const QMap<QString, QStringList> &schema()
{
    static const QMap<QString, QStringList> groups = [] {
        QStringList data{QStringLiteral("mac")};
        for (int n = 1; n <= TXMLDataType::kSendEntries; ++n)
            data << QStringLiteral("send%1").arg(n);
        data << QStringLiteral("logdir");
        return QMap<QString, QStringList>{
            {QStringLiteral("Window"), {"left", "top", "width", "height"}},
            {QStringLiteral("COMPORT"), {"com", "baud", "dataBits", "parity", "stopbits"}},
            {QStringLiteral("Toolbars"), {"spp", "BGIO", "HID", "GainSpan"}},
            {QStringLiteral("Options"),
             {"echo", "hexmoder", "hexmodew", "unreadable", "multiplex", "greenonblack",
              "timestamp", "datestamp", "log", "ResetOnConnect"}},
            {QStringLiteral("Data"), data},
        };
    }();
    return groups;
}

void removeAttributes(QDomElement &element)
{
    const QDomNamedNodeMap attributes = element.attributes();
    while (attributes.count() > 0)
        element.removeAttributeNode(attributes.item(0).toAttr());
}

// Keeps of `parent` only the first element of each name in `names`, for which `keep` says
// what stays inside; every other child goes.
void keepOnly(QDomElement &parent, const QStringList &names,
              const std::function<void(QDomElement &, const QString &)> &keep)
{
    removeAttributes(parent);
    // Sets: a group may hold hundreds of known leaves among tens of thousands of others.
    const QSet<QString> wanted(names.begin(), names.end());
    QSet<QString> seen;
    for (QDomNode n = parent.firstChild(); !n.isNull();) {
        const QDomNode next = n.nextSibling();
        QDomElement element = n.toElement();
        if (!element.isNull() && wanted.contains(element.tagName()) &&
            !seen.contains(element.tagName())) {
            seen.insert(element.tagName());
            keep(element, element.tagName());
        } else {
            parent.removeChild(n);
        }
        n = next;
    }
}

// Drops everything the program does not read: unknown elements, attributes, comments.
// `kept` names the leaves the program reads beyond those of schema().
void pruneUnknown(QDomDocument &dom, const QMap<QString, QStringList> &kept)
{
    QMap<QString, QStringList> known = schema();
    for (auto group = kept.begin(); group != kept.end(); ++group)
        known[group.key()] += group.value();
    for (QDomNode n = dom.firstChild(); !n.isNull();) {
        const QDomNode next = n.nextSibling();
        const bool declaration = n.isProcessingInstruction() && n.nodeName() == kDeclarationTarget;
        if (!declaration && !n.isElement())
            dom.removeChild(n);
        n = next;
    }
    QDomElement root = dom.documentElement();
    keepOnly(root, known.keys(), [&known](QDomElement &group, const QString &name) {
        keepOnly(group, known.value(name), [](QDomElement &leaf, const QString &) {
            removeAttributes(leaf);
            for (QDomNode n = leaf.firstChild(); !n.isNull();) {
                const QDomNode next = n.nextSibling();
                if (!n.isText())
                    leaf.removeChild(n);
                n = next;
            }
        });
    });
}

void setDeclaration(QDomDocument &dom, const QString &declaration)
{
    QDomNode first = dom.firstChild();
    if (first.isProcessingInstruction() && first.nodeName() == kDeclarationTarget) {
        first.setNodeValue(declaration);
        return;
    }
    dom.insertBefore(dom.createProcessingInstruction(kDeclarationTarget, declaration), first);
}

} // namespace

bool SettingsDocument::load(QString *error)
{
    auto fail = [this, error](const QString &why) {
        qCDebug(lcSettings, "%s not loaded: %s", qPrintable(FileName), qPrintable(why));
        if (error)
            *error = why;
        return false;
    };
    const QFileInfo info(FileName);
    if (!info.exists())
        return fail(QStringLiteral("no such file"));
    // A folder or a pipe in its place would fail to read or block the start-up.
    if (!info.isFile())
        return fail(QStringLiteral("not a regular file"));
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());

    QString why;
    if (!acceptable(bytes, &why))
        return fail(why);
    QDomDocument dom;
    int line = 0;
    int column = 0;
    if (!dom.setContent(bytes, false, &why, &line, &column))
        return fail(QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(why));

    // The parser rebuilds the declaration from its parts and loses "standalone"; the file's
    // own spelling is written back instead.
    const QString declaration = rawDeclaration(bytes);
    if (!declaration.isEmpty())
        setDeclaration(dom, asUtf8Declaration(declaration));
    else if (!dom.firstChild().isProcessingInstruction())
        setDeclaration(dom, kNewDeclaration);
    else
        setDeclaration(dom, asUtf8Declaration(dom.firstChild().nodeValue()));
    adopt(std::move(dom));
    m_loadedFrom = info.canonicalFilePath();
    return true;
}

void SettingsDocument::clear()
{
    m_dom.clear();
    m_loaded = false;
    m_loadedFrom.clear();
}

void SettingsDocument::adopt(QDomDocument dom)
{
    m_dom = std::move(dom);
    m_loaded = true;
    m_loadedFrom.clear();
}

QByteArray SettingsDocument::bytesToWrite(QString *error)
{
    QByteArray bytes = m_dom.toByteArray(2);
    if (acceptable(bytes, error))
        return bytes;
    // Unknown content the file held within the limits may overflow them once indented:
    // the same content without the indentation, then without the unknown content.
    bytes = m_dom.toByteArray(-1);
    if (acceptable(bytes, error))
        return bytes;
    pruneUnknown(m_dom, m_keptLeaves);
    bytes = m_dom.toByteArray(2);
    if (acceptable(bytes, error))
        return bytes;
    if (error)
        *error = QStringLiteral("the settings would make a file the program cannot read (%1)")
                     .arg(*error);
    return {};
}

void SettingsDocument::keepLeaves(const QString &group, const QStringList &names)
{
    QStringList &leaves = m_keptLeaves[group];
    for (const QString &name : names) {
        if (!leaves.contains(name))
            leaves << name;
    }
}

// Why the tree must not be written to `path`, or empty with the file to write in `target`.
QString SettingsDocument::refusal(const QString &path, QString *target) const
{
    const QFileInfo info(path);
    *target = path;
    if (info.isSymLink()) {
        // A link is followed only to the file it was read from; a dangling one only when the
        // file it named was read and has gone since.
        const QString resolved = info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
        if (resolved.isEmpty() || resolved != m_loadedFrom)
            return QStringLiteral("%1 is a symbolic link to %2, which was not read as settings; "
                                  "nothing was written")
                .arg(path, info.symLinkTarget());
        *target = resolved;
    }
    const QFileInfo file(*target);
    if (!file.exists())
        return {};
    if (!file.isFile())
        return QStringLiteral("%1 is not a regular file; nothing was written").arg(*target);
    if (file.canonicalFilePath() != m_loadedFrom)
        return QStringLiteral("%1 was not read as settings; nothing was written").arg(*target);
    return {};
}

bool SettingsDocument::save(const QString &path, QString *error)
{
    auto fail = [&path, error](const QString &why) {
        qCDebug(lcSettings, "%s not saved: %s", qPrintable(path), qPrintable(why));
        if (error)
            *error = why;
        return false;
    };
    QString target;
    const QString refused = refusal(path, &target);
    if (!refused.isEmpty())
        return fail(refused);
    QString why;
    const QByteArray bytes = bytesToWrite(&why);
    if (bytes.isEmpty())
        return fail(why);

    const bool existed = QFileInfo::exists(target);
    // The "user" bits say what this process may do, and setting them sets the owner's bits:
    // only the file's own mode is carried over.
    const QFileDevice::Permissions permissions =
        QFile::permissions(target) &
        ~QFileDevice::Permissions(QFileDevice::ReadUser | QFileDevice::WriteUser |
                                  QFileDevice::ExeUser);

    // Unbuffered, so a failed write is seen by QSaveFile: a buffered one fails only in the
    // flush inside commit(), which renames the short file into place all the same.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    // commit() ignores a failed sync; the bytes must be on disk before the file is replaced.
    if (::fsync(file.handle()) != 0) {
        const QString reason = qt_error_string(errno);
        file.cancelWriting();
        return fail(reason);
    }
    // The replacement is a new file: it gets the old one's permissions before it takes its
    // place.
    if (existed)
        file.setPermissions(replacementPermissions(permissions));
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

QFileDevice::Permissions SettingsDocument::replacementPermissions(QFileDevice::Permissions old)
{
    const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    return old & QFileDevice::ReadOwner ? old : old | owner;
}

std::optional<QFileDevice::Permissions> SettingsDocument::setAsideDamaged(const QString &path,
                                                                          QString *error)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile()) {
        if (error)
            *error = QStringLiteral("not a regular file");
        return std::nullopt;
    }
    const QFileDevice::Permissions permissions =
        QFile::permissions(path) &
        ~QFileDevice::Permissions(QFileDevice::ReadUser | QFileDevice::WriteUser |
                                  QFileDevice::ExeUser);
    // rename() replaces an older copy in one step, and a link there rather than its target.
    const QByteArray from = QFile::encodeName(path);
    const QByteArray to = QFile::encodeName(path + QStringLiteral(".bad"));
    if (::rename(from.constData(), to.constData()) != 0) {
        if (error)
            *error = qt_error_string(errno);
        return std::nullopt;
    }
    return permissions;
}

QString SettingsDocument::writeTarget(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    // A dangling link still names where the file belongs.
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

bool SettingsDocument::isReadOnly(const QString &path)
{
    const QString target = writeTarget(path);
    return QFileInfo::exists(target) && !(QFile::permissions(target) & QFileDevice::WriteOwner);
}

QDomElement TXMLNode::child(const QString &name)
{
    QDomElement found = m_element.firstChildElement(name);
    if (found.isNull())
        found = m_element.appendChild(m_element.ownerDocument().createElement(name)).toElement();
    return found;
}

int TXMLNode::intLeaf(const QString &name, int fallback)
{
    const QString text = ownText(child(name)).trimmed();
    bool ok = false;
    const int value = text.toInt(&ok);
    return isDecimal(text) && ok ? value : fallback;
}

bool TXMLNode::boolLeaf(const QString &name, bool fallback)
{
    const QString text = ownText(child(name)).trimmed();
    if (text.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    if (isDecimal(text)) // a number of any length: zero or not
        return std::any_of(text.begin(), text.end(),
                           [](QChar c) { return c >= u'1' && c <= u'9'; });
    return fallback;
}

QString TXMLNode::textLeaf(const QString &name)
{
    return decodeText(ownText(child(name)));
}

LeafValue TXMLZVSettingsType::leaf(const QString &group, const QString &name,
                                   const LeafValue &newFileValue)
{
    TXMLNode node(child(group));
    if (const int *number = std::get_if<int>(&newFileValue))
        return node.intLeaf(name, *number);
    if (const bool *flag = std::get_if<bool>(&newFileValue))
        return node.boolLeaf(name, *flag);
    return node.textLeaf(name);
}

void TXMLZVSettingsType::setLeaf(const QString &group, const QString &name, const LeafValue &value)
{
    TXMLNode node(child(group));
    if (const int *number = std::get_if<int>(&value))
        node.setIntLeaf(name, *number);
    else if (const bool *flag = std::get_if<bool>(&value))
        node.setBoolLeaf(name, *flag);
    else
        node.setTextLeaf(name, std::get<QString>(value));
}

void TXMLNode::setIntLeaf(const QString &name, int value)
{
    setTextLeaf(name, QString::number(value));
}

void TXMLNode::setBoolLeaf(const QString &name, bool value)
{
    setTextLeaf(name, value ? QStringLiteral("true") : QStringLiteral("false"));
}

void TXMLNode::setTextLeaf(const QString &name, const QString &value)
{
    QDomElement leaf = child(name);
    // Only the value changes; anything else inside the element stays.
    for (QDomNode n = leaf.firstChild(); !n.isNull();) {
        const QDomNode next = n.nextSibling();
        if (n.isText())
            leaf.removeChild(n);
        n = next;
    }
    if (value.isEmpty())
        return;
    QDomDocument dom = leaf.ownerDocument();
    const QString stored = encodeText(value);
    leaf.appendChild(isOnlyWhitespace(stored) ? QDomNode(dom.createCDATASection(stored))
                                              : QDomNode(dom.createTextNode(stored)));
}

std::optional<TXMLZVSettingsType> OpenSettingsRoot(SettingsDocument &document, QString *error)
{
    if (!document.isLoaded() && !document.load(error))
        return std::nullopt;
    QDomDocument &dom = document.dom();
    QDomElement root = dom.documentElement();
    if (root.isNull())
        root = dom.appendChild(dom.createElement(QString::fromUtf16(kRootName))).toElement();
    if (root.tagName() != QString::fromUtf16(kRootName)) {
        document.clear();
        if (error)
            *error = QStringLiteral("root element is %1").arg(root.tagName());
        return std::nullopt;
    }
    return TXMLZVSettingsType(root);
}

QDomDocument newSettingsDom()
{
    QDomDocument dom;
    setDeclaration(dom, kNewDeclaration);
    dom.appendChild(dom.createElement(QString::fromUtf16(kRootName)));
    return dom;
}

} // namespace zorvane::settings
