#include "automation/remoteclient.h"

#include "automation/automationexception.h"
#include "automation/devicefunctions.h"
#include "automation/errorcodes.h"
#include "automation/logging.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QString>
#include <QTcpSocket>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace Korvel {
namespace Automation {

namespace {

constexpr int kInputBufferFull = 115;
constexpr int kExecutionError = 200;

} // namespace

QThreadPool *parserThreadPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(1);
        return p;
    }();
    return pool;
}

RemoteClientBase::RemoteClientBase(QIODevice *device, QObject *parent, const CommandTable *table)
    : QObject(parent), device(device), table(table)
{
    connect(&watcher, &QFutureWatcherBase::finished, this, &RemoteClientBase::onParserThreadFinished);
}

RemoteClientBase::~RemoteClientBase()
{
    // Nothing may reach the derived part, which is gone already.
    disconnect(&watcher, nullptr, this, nullptr);
    if (device)
        disconnect(device.data(), nullptr, this, nullptr);
    if (!running)
        return;
    // The running message may be waiting for a blocking call into this
    // thread: keep serving events until it is over.
    while (!future.isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    delete future.result();
}

void RemoteClientBase::startNextCommand()
{
    if (running)
        return;
    ParserChunk *chunk = takeNextChunk();
    if (!chunk) {
        if (disconnecting && !interruptedSent) {
            interruptedSent = true;
            emit interrupted();
        }
        return;
    }
    running = true;
    future = QtConcurrent::run(parserThreadPool(), [this, chunk] { return executeChunk(chunk); });
    watcher.setFuture(future);
}

ParserChunk *RemoteClientBase::executeChunk(ParserChunk *chunk)
{
    if (chunk->error) {
        // Refused before parsing (a line too long).
        logCommandError(chunk->code);
        return chunk;
    }
    qCDebug(lcAutomation) << "CMD started" << chunk->message;
    DeviceFunctions functions(&chunk->reply, this, table);
    try {
        functions.ParseMessage(chunk->message);
        qCDebug(lcAutomation) << "CMD finished" << chunk->message;
    } catch (const AutomationException &e) {
        chunk->error = true;
        chunk->code = e.code;
        logCommandError(e.code);
    } catch (const std::exception &e) {
        qCWarning(lcAutomation) << "CMD failed by an unexpected exception:" << e.what();
        chunk->error = true;
        chunk->code = kExecutionError;
        logCommandError(kExecutionError);
    } catch (...) {
        qCWarning(lcAutomation) << "CMD failed by an unexpected exception";
        chunk->error = true;
        chunk->code = kExecutionError;
        logCommandError(kExecutionError);
    }
    return chunk;
}

int RemoteClientBase::takeError()
{
    return errors.takeError();
}

void RemoteClientBase::interrupt()
{
    if (disconnecting)
        return;
    disconnecting = true;
    // Takes what the device still holds, then runs what is queued; the
    // message running now finishes first and starts the next one itself.
    onReadyRead();
    startNextCommand();
}

void RemoteClientBase::onParserThreadFinished()
{
    if (!running)
        return;
    running = false;
    ParserChunk *chunk = future.result();
    future = QFuture<ParserChunk *>();
    writeAnswer(chunk);
    if (chunk->error)
        errors.push(chunk->code);
    delete chunk;
    startNextCommand();
}

SocketRemoteClient::SocketRemoteClient(QTcpSocket *socket, QObject *parent, const CommandTable *table)
    : RemoteClientBase(socket, parent, table), socket(socket)
{
    if (socket)
        connect(socket, &QIODevice::readyRead, this, &SocketRemoteClient::onReadyRead);
}

void SocketRemoteClient::appendLine(QByteArray text)
{
    if (!text.isEmpty())
        lines.append(Line{std::move(text), false});
}

void SocketRemoteClient::onReadyRead()
{
    if (device && device->isOpen() && device->isReadable()) {
        const QByteArray data = device->readAll();
        int from = 0;
        while (from < data.size()) {
            const int newline = data.indexOf('\n', from);
            const int stop = newline < 0 ? data.size() : newline;
            if (!discarding) {
                if (buffer.size() + (stop - from) > maxLineLength) {
                    qCWarning(lcAutomation) << "Remote-control line longer than" << maxLineLength << "bytes dropped";
                    lines.append(Line{QByteArray(), true});
                    buffer.clear();
                    discarding = true;
                } else {
                    buffer.append(data.constData() + from, stop - from);
                }
            }
            if (newline < 0)
                break;
            if (discarding)
                discarding = false;
            else
                appendLine(std::exchange(buffer, QByteArray()));
            from = newline + 1;
        }
    }
    startNextCommand();
}

ParserChunk *SocketRemoteClient::takeNextChunk()
{
    if (lines.isEmpty())
        return nullptr;
    const Line line = lines.takeFirst();
    auto *chunk = new ParserChunk;
    if (line.tooLong) {
        chunk->error = true;
        chunk->code = kInputBufferFull;
    } else {
        // Invalid UTF-8 reads as replacement characters, as for any text.
        chunk->message = QString::fromUtf8(line.text).toUtf8();
    }
    return chunk;
}

void SocketRemoteClient::writeAnswer(ParserChunk *chunk)
{
    if (chunk->reply.isEmpty())
        return;
    // Answers to a connection that has closed are lost.
    if (socket && socket->state() == QAbstractSocket::ConnectedState) {
        chunk->reply.append('\n');
        socket->write(chunk->reply);
        socket->flush();
    }
    chunk->reply.clear();
}

} // namespace Automation
} // namespace Korvel
