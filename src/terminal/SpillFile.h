#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>

namespace zorvane::terminal {

// A file without a name in a folder, for compressed blocks of lines that no longer fit the
// memory budget: it is gone as soon as it is closed, whatever way the program ends. One
// thread appends; any thread reads what was appended.
class SpillFile
{
public:
    ~SpillFile();
    SpillFile(const SpillFile &) = delete;
    SpillFile &operator=(const SpillFile &) = delete;

    // Opens a new file in `folder`, making the folder first; nothing, with the reason in
    // `error`, when the folder cannot hold one.
    static std::unique_ptr<SpillFile> open(const QString &folder, QString *error);

    // Writes the bytes at the end and returns where they start; nothing, with the reason in
    // `error`, when they could not all be written (a full disk, a size limit).
    std::optional<quint64> append(const char *bytes, size_t size, QString *error);
    bool read(quint64 offset, char *out, size_t size) const;
    quint64 size() const { return m_end; }

private:
    explicit SpillFile(int fd) : m_fd(fd) {}
    int m_fd;
    quint64 m_end = 0;
};

} // namespace zorvane::terminal
