#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Lines between processes of one user: one process listens at an address, another sends
// it a line and reads one line back. The channel adds and strips the line ends.
class LocalChannel {
public:
    virtual ~LocalChannel();
    // Answers a line received; no value drops its sender unanswered. Runs on the thread
    // that listens, from its event loop, and must not raise.
    using Answer = std::function<std::optional<QByteArray>(const QByteArray& line)>;
    // Listens at the address, taking it over from a process that ended; false when it cannot.
    virtual bool listen(const QString& address, Answer answer) = 0;
    // Sends the line to the listener at the address and gives its answer. No value when
    // nobody listens, or the listener does not take the line within connectWaitMs or
    // does not answer within answerWaitMs.
    virtual std::optional<QByteArray> request(const QString& address, const QByteArray& line, int connectWaitMs,
                                              int answerWaitMs)
        = 0;
};
