#pragma once

#include <QDomDocument>
#include <QDomElement>
#include <QFileDevice>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace zorvane::settings {

// The settings file held in memory from start-up to shutdown: the DOM tree of the whole file,
// unknown elements included, and the file it came from.
class SettingsDocument
{
public:
    // A settings file is a few kilobytes; anything this big is not one.
    static constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;
    // The schema is three levels deep; far deeper nesting only costs time and stack.
    static constexpr int kMaxDepth = 256;
    // The schema has about eighty elements and texts and no attributes. The parser checks
    // each attribute against every earlier one of its element, and the tree costs a few
    // microseconds a node: these keep the load of any accepted file well under a second.
    static constexpr int kMaxAttributes = 64;
    static constexpr int kMaxNodes = 50'000;

    QString FileName;

    bool isLoaded() const { return m_loaded; }
    QDomDocument &dom() { return m_dom; }

    // Reads and parses FileName. On failure the document stays unloaded and `error` says why.
    bool load(QString *error = nullptr);
    // Back to not loaded: the next OpenSettingsRoot reads the file again.
    void clear();
    // Takes a tree built in memory as the loaded document.
    void adopt(QDomDocument dom);

    // Writes the whole tree, declaration first, in UTF-8. The file is replaced in one step,
    // keeping its permissions, and only once every byte is on disk: on failure the old file
    // stays as it was. Only a file this document loaded is replaced, or a path where nothing
    // is; a symbolic link is written through only to the regular file it loaded from.
    // Unknown content is dropped when keeping it would make a file the load refuses.
    bool save(const QString &path, QString *error = nullptr);

    // Leaves the program reads beyond the first ones it ever had (newer leaves, groups of their
    // own), which a save that must drop unknown content keeps as it keeps those.
    void keepLeaves(const QString &group, const QStringList &names);

    // Moves a damaged regular file aside to `path` + ".bad", replacing an older one, so the
    // new file takes its place without destroying it. Returns its permissions.
    static std::optional<QFileDevice::Permissions> setAsideDamaged(const QString &path,
                                                                   QString *error = nullptr);
    // The permissions for a new file that replaces one of `old`: a file its owner could not
    // read is what made it unusable, so the new one is readable and writable by the owner; a
    // readable file's bits stay, read-only ones too.
    static QFileDevice::Permissions replacementPermissions(QFileDevice::Permissions old);

    // The file a write to `path` lands in: the target of a symbolic link, else `path`.
    static QString writeTarget(const QString &path);
    // Marked read-only: the owner's write permission is off, whoever runs the program.
    static bool isReadOnly(const QString &path);

private:
    // The tree as bytes, pruned of unknown content if that is what makes it fit the load.
    QByteArray bytesToWrite(QString *error);
    QString refusal(const QString &path, QString *target) const;

    QDomDocument m_dom;
    bool m_loaded = false;
    // The leaves keepLeaves() added, by group.
    QMap<QString, QStringList> m_keptLeaves;
    // The file the tree was read from, all links resolved; empty for a tree built in memory.
    QString m_loadedFrom;
};

// The views below refer to elements of the document; they copy no values.
class TXMLNode
{
public:
    explicit TXMLNode(QDomElement element) : m_element(std::move(element)) {}
    QDomElement element() const { return m_element; }

protected:
    friend class TXMLZVSettingsType;
    // The first child element of that name, appended empty when there is none.
    QDomElement child(const QString &name);
    // Missing, empty or unconvertible values read as `fallback`.
    int intLeaf(const QString &name, int fallback);
    bool boolLeaf(const QString &name, bool fallback);
    QString textLeaf(const QString &name);
    void setIntLeaf(const QString &name, int value);
    void setBoolLeaf(const QString &name, bool value);
    void setTextLeaf(const QString &name, const QString &value);

private:
    QDomElement m_element;
};

// The values of a new settings file; unusable values read as these too.
struct NewFileValues
{
    static constexpr int left = 100;
    static constexpr int top = 100;
    static constexpr int width = 600;
    static constexpr int height = 400;
    static constexpr int com = 1;
    static constexpr int baud = 115200;
    static constexpr int dataBits = 8;
    static constexpr int parity = 0;
    static constexpr int stopbits = 1;
    static constexpr bool toolbar = false;
    static constexpr bool option = false;
    static constexpr bool ResetOnConnect = true;
    // MB of packed older terminal lines kept in memory before the oldest move to disk.
    static constexpr int scrollbackmemory = 256;
};

class TXMLWindowType : public TXMLNode
{
public:
    using TXMLNode::TXMLNode;
    int left() { return intLeaf(QStringLiteral("left"), NewFileValues::left); }
    int top() { return intLeaf(QStringLiteral("top"), NewFileValues::top); }
    int width() { return intLeaf(QStringLiteral("width"), NewFileValues::width); }
    int height() { return intLeaf(QStringLiteral("height"), NewFileValues::height); }
    void setLeft(int v) { setIntLeaf(QStringLiteral("left"), v); }
    void setTop(int v) { setIntLeaf(QStringLiteral("top"), v); }
    void setWidth(int v) { setIntLeaf(QStringLiteral("width"), v); }
    void setHeight(int v) { setIntLeaf(QStringLiteral("height"), v); }
};

class TXMLCOMPORTType : public TXMLNode
{
public:
    using TXMLNode::TXMLNode;
    int com() { return intLeaf(QStringLiteral("com"), NewFileValues::com); }
    int baud() { return intLeaf(QStringLiteral("baud"), NewFileValues::baud); }
    int dataBits() { return intLeaf(QStringLiteral("dataBits"), NewFileValues::dataBits); }
    int parity() { return intLeaf(QStringLiteral("parity"), NewFileValues::parity); }
    int stopbits() { return intLeaf(QStringLiteral("stopbits"), NewFileValues::stopbits); }
    void setCom(int v) { setIntLeaf(QStringLiteral("com"), v); }
    void setBaud(int v) { setIntLeaf(QStringLiteral("baud"), v); }
    void setDataBits(int v) { setIntLeaf(QStringLiteral("dataBits"), v); }
    void setParity(int v) { setIntLeaf(QStringLiteral("parity"), v); }
    void setStopbits(int v) { setIntLeaf(QStringLiteral("stopbits"), v); }
};

class TXMLToolbarsType : public TXMLNode
{
public:
    using TXMLNode::TXMLNode;
    bool spp() { return boolLeaf(QStringLiteral("spp"), NewFileValues::toolbar); }
    bool BGIO() { return boolLeaf(QStringLiteral("BGIO"), NewFileValues::toolbar); }
    bool HID() { return boolLeaf(QStringLiteral("HID"), NewFileValues::toolbar); }
    bool GainSpan() { return boolLeaf(QStringLiteral("GainSpan"), NewFileValues::toolbar); }
    void setSpp(bool v) { setBoolLeaf(QStringLiteral("spp"), v); }
    void setBGIO(bool v) { setBoolLeaf(QStringLiteral("BGIO"), v); }
    void setHID(bool v) { setBoolLeaf(QStringLiteral("HID"), v); }
    void setGainSpan(bool v) { setBoolLeaf(QStringLiteral("GainSpan"), v); }
};

class TXMLOptionsType : public TXMLNode
{
public:
    using TXMLNode::TXMLNode;
    bool echo() { return option(QStringLiteral("echo")); }
    bool hexmoder() { return option(QStringLiteral("hexmoder")); }
    bool hexmodew() { return option(QStringLiteral("hexmodew")); }
    bool unreadable() { return option(QStringLiteral("unreadable")); }
    bool multiplex() { return option(QStringLiteral("multiplex")); }
    bool greenonblack() { return option(QStringLiteral("greenonblack")); }
    bool timestamp() { return option(QStringLiteral("timestamp")); }
    bool datestamp() { return option(QStringLiteral("datestamp")); }
    bool log() { return option(QStringLiteral("log")); }
    bool ResetOnConnect()
    {
        return boolLeaf(QStringLiteral("ResetOnConnect"), NewFileValues::ResetOnConnect);
    }
    void setEcho(bool v) { setBoolLeaf(QStringLiteral("echo"), v); }
    void setHexmoder(bool v) { setBoolLeaf(QStringLiteral("hexmoder"), v); }
    void setHexmodew(bool v) { setBoolLeaf(QStringLiteral("hexmodew"), v); }
    void setUnreadable(bool v) { setBoolLeaf(QStringLiteral("unreadable"), v); }
    void setMultiplex(bool v) { setBoolLeaf(QStringLiteral("multiplex"), v); }
    void setGreenonblack(bool v) { setBoolLeaf(QStringLiteral("greenonblack"), v); }
    void setTimestamp(bool v) { setBoolLeaf(QStringLiteral("timestamp"), v); }
    void setDatestamp(bool v) { setBoolLeaf(QStringLiteral("datestamp"), v); }
    void setLog(bool v) { setBoolLeaf(QStringLiteral("log"), v); }
    void setResetOnConnect(bool v) { setBoolLeaf(QStringLiteral("ResetOnConnect"), v); }
    // Added later, so older files lack it and read the new-file value; 0 keeps every line in
    // memory, and a negative value reads as the new-file value too.
    int scrollbackmemory()
    {
        const int mb = intLeaf(QStringLiteral("scrollbackmemory"), NewFileValues::scrollbackmemory);
        return mb < 0 ? NewFileValues::scrollbackmemory : mb;
    }
    void setScrollbackmemory(int v) { setIntLeaf(QStringLiteral("scrollbackmemory"), v); }

private:
    bool option(const QString &name) { return boolLeaf(name, NewFileValues::option); }
};

class TXMLDataType : public TXMLNode
{
public:
    static constexpr int kSendEntries = 10;

    using TXMLNode::TXMLNode;
    QString mac() { return textLeaf(QStringLiteral("mac")); }
    // History entry n, 1 (newest) to 10.
    QString send(int n) { return textLeaf(sendName(n)); }
    QString logdir() { return textLeaf(QStringLiteral("logdir")); }
    void setMac(const QString &v) { setTextLeaf(QStringLiteral("mac"), v); }
    void setSend(int n, const QString &v) { setTextLeaf(sendName(n), v); }
    void setLogdir(const QString &v) { setTextLeaf(QStringLiteral("logdir"), v); }

private:
    static QString sendName(int n) { return QStringLiteral("send%1").arg(n); }
};

// The value of one leaf: a whole number, a boolean or a text, as its new-file value is.
using LeafValue = std::variant<int, bool, QString>;

// The view of the root element ZVSettings; each group is found or appended on access.
class TXMLZVSettingsType : public TXMLNode
{
public:
    using TXMLNode::TXMLNode;
    // Any leaf by its group and name, read as the type of its new-file value, which it falls
    // back to; for code that walks the leaves as a table.
    LeafValue leaf(const QString &group, const QString &name, const LeafValue &newFileValue);
    void setLeaf(const QString &group, const QString &name, const LeafValue &value);

    TXMLWindowType Window() { return TXMLWindowType(child(QStringLiteral("Window"))); }
    TXMLCOMPORTType COMPORT() { return TXMLCOMPORTType(child(QStringLiteral("COMPORT"))); }
    TXMLToolbarsType Toolbars() { return TXMLToolbarsType(child(QStringLiteral("Toolbars"))); }
    TXMLOptionsType Options() { return TXMLOptionsType(child(QStringLiteral("Options"))); }
    TXMLDataType Data() { return TXMLDataType(child(QStringLiteral("Data"))); }
};

inline constexpr char16_t kRootName[] = u"ZVSettings";

// The root view of the document, loading the file first when the document is not loaded.
// Fails, with the reason in `error`, when the file cannot be read, is not well-formed XML or
// has another root element.
std::optional<TXMLZVSettingsType> OpenSettingsRoot(SettingsDocument &document,
                                                   QString *error = nullptr);

// A new document holding only the declaration and an empty root.
QDomDocument newSettingsDom();

} // namespace zorvane::settings
