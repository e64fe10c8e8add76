#pragma once
// One remote-control connection. Complete lines wait in arrival order and run
// one at a time: each is parsed and run on the shared parser thread, and its
// reply (the answers of its queries joined by ";") goes back as one line. A
// message that fails queues its code in the connection's error queue instead
// of answering; the client reads the queue with the error query.

#include "automation/errorqueue.h"
#include "automation/parserchunk.h"

#include <QByteArray>
#include <QFuture>
#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QPointer>

class QIODevice;
class QTcpSocket;
class QThreadPool;

namespace Korvel {
namespace Automation {

class CommandTable;

// The one thread on which every message of every connection is parsed and
// run, so that no two messages use the command table's handlers at once.
QThreadPool *parserThreadPool();

class RemoteClientBase : public QObject
{
    Q_OBJECT
public:
    // table: the commands (the program's table when null).
    RemoteClientBase(QIODevice *device, QObject *parent, const CommandTable *table = nullptr);
    // Waits, processing events, for a message still running, whose action
    // may need this thread.
    ~RemoteClientBase() override;

    // Starts the next queued message unless one is running.
    void startNextCommand();
    // Parses and runs one message (parser thread); returns the same chunk.
    ParserChunk *executeChunk(ParserChunk *chunk);
    // Removes and returns the connection's oldest error code; 0 when none.
    // Called by the error query of the connection's own running message.
    int takeError();

    // A message is running.
    bool isRunning() const
    {
        return running;
    }
    const ErrorQueue &errorQueue() const
    {
        return errors;
    }

signals:
    // Every line received before the disconnection has run: the connection
    // can go.
    void interrupted();

public slots:
    // The connection closed: the lines already received still run (their
    // answers are lost), then interrupted() is emitted. Returns at once.
    void interrupt();

protected slots:
    virtual void onReadyRead() = 0;

protected:
    // A new chunk of the next queued line, or null when none is queued.
    virtual ParserChunk *takeNextChunk() = 0;
    // Sends the chunk's reply, if any, and clears it.
    virtual void writeAnswer(ParserChunk *chunk) = 0;

    bool isDisconnecting() const
    {
        return disconnecting;
    }

    QPointer<QIODevice> device;

private slots:
    void onParserThreadFinished();

private:
    ErrorQueue errors;
    QFuture<ParserChunk *> future;
    QFutureWatcher<ParserChunk *> watcher;
    const CommandTable *table;
    // Own flag rather than the watcher's view: the future may have finished
    // before its finished() has been delivered, and a new future given to the
    // watcher then would drop that notification.
    bool running = false;
    bool disconnecting = false;
    bool interruptedSent = false;
};

class SocketRemoteClient : public RemoteClientBase
{
    Q_OBJECT
public:
    // The longest line taken (bytes, line feed excluded). A longer line is
    // dropped whole and queues 115 "Input buffer is full" in its place.
    static constexpr int maxLineLength = 1 << 20;

    SocketRemoteClient(QTcpSocket *socket, QObject *parent, const CommandTable *table = nullptr);

protected:
    ParserChunk *takeNextChunk() override;
    void writeAnswer(ParserChunk *chunk) override;

protected slots:
    void onReadyRead() override;

private:
    // A complete line, or the place of a line that was too long.
    struct Line
    {
        QByteArray text;
        bool tooLong = false;
    };

    void appendLine(QByteArray text);

    QPointer<QTcpSocket> socket;
    // Complete lines not yet run.
    QList<Line> lines;
    // The unterminated tail of the input. Kept as bytes, not text, so that a
    // character split over two reads is decoded whole once its line is
    // complete.
    QByteArray buffer;
    // The rest of a line that was too long is being dropped.
    bool discarding = false;
};

} // namespace Automation
} // namespace Korvel
