#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

#include <termios.h>

// Plays the radio module at the far end of a pseudo-terminal: the program opens the slave
// through a ports/COMn link, the test reads and writes the master. Closing the master is an
// unplugged adapter.
class PtyModule
{
public:
    PtyModule();
    ~PtyModule();
    PtyModule(const PtyModule &) = delete;
    PtyModule &operator=(const PtyModule &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Makes port n of the documents folder this pseudo-terminal.
    bool linkAs(const QString &documentsFolder, int port);

    bool write(const QByteArray &bytes);
    // What the program has written so far, without waiting.
    QByteArray readAvailable();
    // Waits, running the event loop, until at least `count` bytes came or the time is up.
    QByteArray readAtLeast(qsizetype count, int timeoutMs = 5000);

    // Waits, without running the event loop, until bytes the module wrote are waiting on the
    // program's side of the line; false when none came in time.
    bool waitUntilProgramCanRead(int timeoutMs = 5000) const;
    // The same for a whole burst: the kernel hands a pseudo-terminal's bytes over in pieces,
    // so a test that needs all of them in the program's first read waits for all of them.
    bool waitUntilProgramCanRead(qsizetype count, int timeoutMs) const;
    // The line settings the program's side of the device holds now.
    termios programSideSettings() const;
    // The rate the program's side runs at, read with termios2 through the master, on which
    // the terminal ioctls act on the program's side; any rate, not only the named ones.
    int programSideRate() const;
    // Sets that rate from this end, so a test can tell whether the program opened the port
    // since: every open sets the rate it was asked for.
    bool setProgramSideRate(int rate);

    // The adapter is pulled: the program's side hangs up, and the ports linked to it lead
    // nowhere, as a vanished device's name does. (The kernel soon hands the pseudo-terminal's
    // number to the next one opened, perhaps by another test running at the same time.)
    void unplug();
    // The program at this end is killed: the pseudo-terminal goes, and the ports linked to it
    // still name it, as a killed simulator leaves its pin.
    void vanish();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QByteArray m_received;
    QStringList m_links;
};

// A new pseudo-terminal under the name `path`, as the kernel hands a freed number to the next
// program that asks; null when another process took that number first.
std::unique_ptr<PtyModule> ptyNamed(const QString &path);

namespace zorvane::serial {
class SerialIo;
}

// Everything the program wrote to the module up to now: a marker byte is sent through the
// serial unit and read back, so "nothing was sent" is certain rather than a matter of waiting.
QByteArray sentSoFar(zorvane::serial::SerialIo &serial, PtyModule &module);

// Points every port number at a path that does not exist, except those a test links itself,
// so the machine's own serial devices never take part in a test.
void isolatePorts(const QString &documentsFolder);

// Gives the test process a home of its own, so its documents folder is a fresh temporary one;
// returns that documents folder with its trailing separator.
QString useTemporaryHome(const QString &home);
