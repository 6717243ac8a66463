#pragma once

#include "Payloads.h"

#include <QString>

#include <atomic>
#include <memory>
#include <thread>

namespace zorvane::bench {

// Plays a module that floods the port: a pseudo-terminal whose slave the program opens
// through a ports/COMn link, and a thread that writes a payload into the master, as fast as
// the pseudo-terminal takes it or at a fixed rate.
class PtyFeeder
{
public:
    PtyFeeder();
    ~PtyFeeder();
    PtyFeeder(const PtyFeeder &) = delete;
    PtyFeeder &operator=(const PtyFeeder &) = delete;

    bool isValid() const { return m_master >= 0; }
    // The device a reader opens: the program through a ports/ link, or a plain `cat`.
    QString slavePath() const { return m_slavePath; }
    bool linkAs(const QString &documentsFolder, int port) const;
    // Makes `home` the home of this process and of the programs it starts, with every port
    // leading nowhere except `port`, which leads here; false without a pseudo-terminal.
    bool linkAsOnlyPort(const QString &home, int port) const;
    // Reads and drops what the program has written so far (its reset command).
    void discardInput();

    // bytesPerSecond 0 writes as fast as the reader takes the bytes.
    void start(std::unique_ptr<Payload> payload, qint64 bytesPerSecond = 0);
    void join();
    bool finished() const { return m_finished.load(std::memory_order_acquire); }
    qint64 written() const { return m_written.load(std::memory_order_relaxed); }
    // CPU time of the writer thread; known once it has finished.
    double cpuSeconds() const { return m_cpuSeconds; }

private:
    void run(qint64 bytesPerSecond);
    bool writeAll(const char *data, qsizetype size);

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    std::unique_ptr<Payload> m_payload;
    std::thread m_thread;
    std::atomic<bool> m_finished{false};
    std::atomic<qint64> m_written{0};
    double m_cpuSeconds = 0;
};

} // namespace zorvane::bench
