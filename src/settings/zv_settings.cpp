#include "zv_settings.h"

#include <QDomProcessingInstruction>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QXmlStreamReader>

#include <algorithm>

namespace zorvane::settings {

namespace {

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

// Well-formed and not nested beyond reason; QDomDocument takes very long over deep nesting.
bool scanStructure(const QByteArray &bytes, QString *error)
{
    QXmlStreamReader reader(bytes);
    int depth = 0;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > SettingsDocument::kMaxDepth) {
            if (error)
                *error = QStringLiteral("elements nested more than %1 deep")
                             .arg(SettingsDocument::kMaxDepth);
            return false;
        }
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    if (reader.hasError()) {
        if (error)
            *error = QStringLiteral("line %1, column %2: %3")
                         .arg(reader.lineNumber())
                         .arg(reader.columnNumber())
                         .arg(reader.errorString());
        return false;
    }
    return true;
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
    auto fail = [error](const QString &why) {
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
    if (bytes.size() > kMaxFileBytes)
        return fail(QStringLiteral("larger than %1 bytes").arg(kMaxFileBytes));

    QString why;
    if (!scanStructure(bytes, &why))
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
    return true;
}

void SettingsDocument::clear()
{
    m_dom.clear();
    m_loaded = false;
}

void SettingsDocument::adopt(QDomDocument dom)
{
    m_dom = std::move(dom);
    m_loaded = true;
}

bool SettingsDocument::save(const QString &path, QString *error) const
{
    const QByteArray bytes = m_dom.toByteArray(2);
    const QString target = writeTarget(path);
    const bool existed = QFileInfo::exists(target);
    // The "user" bits say what this process may do, and setting them sets the owner's bits:
    // only the file's own mode is carried over.
    const QFileDevice::Permissions permissions =
        QFile::permissions(target) &
        ~QFileDevice::Permissions(QFileDevice::ReadUser | QFileDevice::WriteUser |
                                  QFileDevice::ExeUser);

    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    // The replacement is a new file: it gets the old one's permissions before it takes its
    // place. A file its owner could not read is what made it unusable, so its replacement is
    // readable and writable by the owner; a readable file keeps its bits, read-only ones too.
    if (existed) {
        const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        file.setPermissions(permissions & QFileDevice::ReadOwner ? permissions
                                                                 : permissions | owner);
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
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
