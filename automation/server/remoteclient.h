#pragma once
// One remote-control connection. Complete lines wait in arrival order and run
// one at a time, and each reply (the answers of a message's queries joined by
// ";") goes back as one line. A message that fails queues its code in the
// connection's error queue instead of answering; the client reads the queue
// with the error query.
//
// A message made only of commands that run at once (queries of what the
// program keeps, CommandTable::Runs) is parsed and answered on this (the GUI)
// thread as soon as it is the connection's next, whatever the other
// connections run meanwhile. Every other message goes through one queue of
// all connections (see remoteclient.cpp), drained by one pool thread, which
// hands the finished messages back to this thread as soon as they are done.
//
// A socket connection holds bounded input and output: at most
// maxQueuedLines complete lines of at most maxQueuedBytes together, an
// unterminated tail of at most maxLineLength bytes, at most
// socketReadBufferSize bytes in the socket's own read buffer, and unsent
// replies of at most maxUnsentReply bytes plus the reply of one message.
// Past these bounds it stops reading the socket (the peer's writes then
// block) until the queue has drained, rather than growing.

#include "automation/server/devicefunctions.h"
#include "automation/server/errorqueue.h"
#include "automation/server/parserchunk.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>

class QIODevice;
class QTcpSocket;
class QThreadPool;

namespace Korvel {
namespace Automation {

class CommandTable;

// The one thread on which every message of every connection is parsed and
// run, so that no two messages use the command table's handlers at once.
QThreadPool *parserThreadPool();

// For a message running on the parser thread: runs action on the GUI thread
// and returns true once it has run, or once it is known that it never will
// (root destroyed first). The GUI thread serves these actions without a
// round through its event loop while messages keep coming. Returns false,
// doing nothing, when the caller is not the parser thread or root does not
// live on the GUI thread; the caller then makes a blocking queued call.
bool runOnServerThread(QObject *root, const std::function<void()> &action);

class RemoteClientBase : public QObject
{
    Q_OBJECT
public:
    // table: the commands (the program's table when null).
    RemoteClientBase(QIODevice *device, QObject *parent, const CommandTable *table = nullptr);
    // Waits, processing events, for a message still running, whose action
    // may need this thread; a message queued but not yet started is dropped.
    ~RemoteClientBase() override;

    // Starts the next queued message unless one is running.
    void startNextCommand();
    // Parses and runs one message with the handlers of the given thread,
    // which it runs on; returns the same chunk.
    ParserChunk *executeChunk(ParserChunk *chunk, DeviceFunctions::Thread thread);
    // Removes and returns the connection's oldest error code; 0 when none.
    // Called by the error query of the connection's own running message.
    int takeError();
    // Appends a code to the connection's error queue; called, like
    // takeError, by the connection's own running message.
    void queueCode(int code) { errors.push(code); }

    // A message is queued for or running on the parser thread, or being
    // answered here.
    bool isRunning() const { return running; }
    const ErrorQueue &errorQueue() const { return errors; }

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
    // A new chunk of the next queued line, or null when none is queued (or
    // the connection holds its lines back for now).
    virtual ParserChunk *takeNextChunk() = 0;
    // Sends the chunk's reply, if any, and clears it.
    virtual void writeAnswer(ParserChunk *chunk) = 0;

    bool isDisconnecting() const { return disconnecting; }

    QPointer<QIODevice> device;

private:
    friend class MessageQueue;
    // The message can be answered here and now.
    bool runsAtOnce(const ParserChunk &chunk);
    // Queues the message's code, sends its reply and deletes it.
    void finishChunk(ParserChunk *chunk);
    // The parser thread has finished the connection's message (GUI thread).
    void onParserThreadFinished(ParserChunk *chunk);

    ErrorQueue errors;
    const CommandTable *table;
    // Set from handing a message to the parser queue until it is back.
    bool running = false;
    bool disconnecting = false;
    bool interruptedSent = false;
    // The destructor has begun: finished messages are no longer delivered.
    bool destroying = false;
};

class SocketRemoteClient : public RemoteClientBase
{
    Q_OBJECT
public:
    // The longest line taken (bytes, line feed excluded). A longer line is
    // dropped whole and queues 115 "Input buffer is full" in its place.
    static constexpr int maxLineLength = 64 * 1024;
    // Complete lines held before reading stops: their count and their bytes.
    static constexpr int maxQueuedLines = 128;
    static constexpr qint64 maxQueuedBytes = qint64(64) * 1024;
    // The socket's own read buffer; when it is full the socket stops taking
    // data from the system.
    static constexpr qint64 socketReadBufferSize = qint64(64) * 1024;
    // Unsent reply bytes past which no further message starts.
    static constexpr qint64 maxUnsentReply = qint64(64) * 1024;

    SocketRemoteClient(QTcpSocket *socket, QObject *parent, const CommandTable *table = nullptr);

    // What the connection holds now, for the tests of its bounds: complete
    // lines not yet run, their bytes, the unterminated tail, the socket's
    // unread bytes and its unsent bytes.
    int queuedLineCount() const { return static_cast<int>(lines.size()); }
    qint64 queuedLineBytes() const { return queuedBytes; }
    qint64 tailBytes() const { return buffer.size(); }
    qint64 unreadSocketBytes() const;
    qint64 unsentReplyBytes() const;
    // Reading is held back: the queue is at one of its bounds.
    bool isInputFull() const;

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

    // Moves input from the socket into the line queue while it is below its
    // bounds.
    void pullInput();
    void appendLine(QByteArray text);

    QPointer<QTcpSocket> socket;
    // Complete lines not yet run, and their bytes.
    std::deque<Line> lines;
    qint64 queuedBytes = 0;
    // The unterminated tail of the input. Kept as bytes, not text, so that a
    // character split over two reads is decoded whole once its line is
    // complete.
    QByteArray buffer;
    // The rest of a line that was too long is being dropped.
    bool discarding = false;
};

} // namespace Automation
} // namespace Korvel
