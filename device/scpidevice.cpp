#include "device/scpidevice.h"

#include "device/logging.h"

#include <QDebug>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

#include <limits>

const QString scpiExchangeErrorText = QObject::tr("The error during data exchange with VNA has been occurred");

namespace {

int clampTimeout(qint64 timeoutMs)
{
    if (timeoutMs < 0)
        return 0;
    if (timeoutMs > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(timeoutMs);
}

} // namespace

ScpiDevice::ScpiDevice(QObject *parent, int connectTimeoutMs)
    : QObject(parent),
      m_socket(new QTcpSocket(this)),
      m_connectTimeoutMs(connectTimeoutMs)
{
    qRegisterMetaType<QAbstractSocket::SocketState>();
    m_socket->setProxy(QNetworkProxy::NoProxy);
    connect(m_socket, &QAbstractSocket::stateChanged, this, &ScpiDevice::stateChanged);
    connect(m_socket, &QAbstractSocket::disconnected, this, &ScpiDevice::disconnected);
}

ScpiDevice::~ScpiDevice()
{
    // The socket is our child; do not let its last state changes reach
    // receivers of a half-destroyed object.
    m_socket->disconnect(this);
}

bool ScpiDevice::connectToHost(const QString &host, quint16 port)
{
    const QHostAddress address(host);
    if (m_socket->state() == QAbstractSocket::ConnectedState) {
        if (m_socket->peerAddress() == address && m_socket->peerPort() == port)
            return true;
        m_socket->disconnectFromHost();
        if (!address.isNull())
            return false;
    }
    return connectSocket(address, port);
}

bool ScpiDevice::connectSocket(const QHostAddress &address, quint16 port)
{
    // A socket still closing or connecting would ignore the new request.
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(m_socket, &QAbstractSocket::connected, &loop, &QEventLoop::quit);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(m_connectTimeoutMs);
    // The address overload: a host name is never resolved.
    m_socket->connectToHost(address, port, QIODevice::ReadWrite);
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        loop.exec();

    if (m_socket->state() == QAbstractSocket::ConnectedState)
        return true;
    m_socket->abort();
    return false;
}

void ScpiDevice::disconnectFromHost()
{
    m_socket->disconnectFromHost();
}

bool ScpiDevice::isConnected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

QAbstractSocket::SocketState ScpiDevice::state() const
{
    return m_socket->state();
}

void ScpiDevice::reportExchangeError(const QString &command)
{
    const QString text = scpiExchangeErrorText + QStringLiteral(" ") + command;
    qCDebug(lcDevice).noquote() << text;
    emit error(text);
}

bool ScpiDevice::send(const QString &command)
{
    // A command that never left is an exchange error like a short write: the
    // caller learns of it from the result, the log and the error signal.
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        reportExchangeError(command);
        return false;
    }
    const QByteArray bytes = command.toLocal8Bit();
    const qint64 written = m_socket->write(bytes);
    if (written == -1 || written != bytes.size()) {
        reportExchangeError(command);
        return false;
    }
    m_socket->flush();
    return true;
}

std::optional<QString> ScpiDevice::query(const QString &command, qint64 timeoutMs)
{
    return runQuery(command, timeoutMs);
}

std::optional<QString> ScpiDevice::query(const QString &command)
{
    return runQuery(command, std::nullopt);
}

void ScpiDevice::giveUp(QTimer &timer)
{
    m_interrupted = false;
    timer.stop();
    reconnectAfterGivingUp();
}

void ScpiDevice::reconnectAfterGivingUp()
{
    // The peer may still answer the abandoned command; that reply must not be
    // read as the answer to a later one, so start over on a fresh connection.
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    const QHostAddress peer = m_socket->peerAddress();
    const quint16 peerPort = m_socket->peerPort();
    m_socket->abort();
    if (!connectSocket(peer, peerPort))
        qCDebug(lcDevice).noquote() << "Reconnection to" << peer.toString() << peerPort << "failed";
}

std::optional<QString> ScpiDevice::runQuery(const QString &command, std::optional<qint64> timeoutMs)
{
    // Whatever arrived unasked belongs to no query.
    if (m_socket->bytesAvailable() > 0)
        m_socket->readAll();

    if (!send(command))
        return std::nullopt;

    m_interrupted = false;

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(m_socket, &QIODevice::readyRead, &loop, &QEventLoop::quit);
    connect(m_socket, &QAbstractSocket::disconnected, &loop, &QEventLoop::quit);
    connect(this, &ScpiDevice::interrupted, &loop, &QEventLoop::quit);
    if (timeoutMs) {
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(clampTimeout(*timeoutMs));
    }

    while (!m_socket->canReadLine()) {
        loop.exec();
        if (m_interrupted) {
            giveUp(timer);
            return std::nullopt;
        }
        // A reply that came with the close or the time-out still answers.
        if (m_socket->canReadLine())
            break;
        if (m_socket->state() != QAbstractSocket::ConnectedState || (timeoutMs && !timer.isActive())) {
            giveUp(timer);
            return std::nullopt;
        }
    }

    const QByteArray line = m_socket->readLine();
    if (line.isEmpty()) {
        reportExchangeError(command);
        return std::nullopt;
    }
    return QString::fromUtf8(line).simplified();
}

void ScpiDevice::interrupt()
{
    m_interrupted = true;
    emit interrupted();
}
