#include "automation/server/remotecontrol.h"

#include "automation/server/logging.h"
#include "automation/server/remoteclient.h"

#include <QDebug>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpSocket>

namespace Korvel {
namespace Automation {

RemoteControl::RemoteControl(QObject *parent, const CommandTable *table)
    : QObject(parent),
      port(server.serverPort()),
      table(table),
      status(tr("Off"))
{
    connect(&server, &QTcpServer::newConnection, this, &RemoteControl::acceptConnection);
    connect(this, &RemoteControl::enabledChanged, this, &RemoteControl::onEnabledChanged);
    connect(this, &RemoteControl::portChanged, this, &RemoteControl::onPortChanged);
}

RemoteControl::~RemoteControl()
{
    emit closeSockets();
    if (server.isListening())
        server.close();
}

void RemoteControl::setEnabled(bool value)
{
    if (enabled == value)
        return;
    enabled = value;
    emit enabledChanged();
}

void RemoteControl::setPort(int value)
{
    if (port == value)
        return;
    port = value;
    emit portChanged();
}

void RemoteControl::onEnabledChanged()
{
    if (enabled) {
        startListening();
    } else {
        stopListening();
        updateStatus(QString());
    }
}

void RemoteControl::onPortChanged()
{
    if (enabled)
        startListening();
}

void RemoteControl::startListening()
{
    stopListening();
    // A port outside the 16-bit range would wrap to another port.
    if (port < 0 || port > 65535) {
        const QString text = tr("Remote control cannot listen: invalid port number %1").arg(port);
        qCWarning(lcAutomation).noquote() << text;
        updateStatus(text);
        emit error(text);
        return;
    }
    server.setProxy(QNetworkProxy::NoProxy);
    if (server.listen(QHostAddress(QStringLiteral("127.0.0.1")), static_cast<quint16>(port))) {
        updateStatus(QString());
        emit listen();
    } else {
        // Most often another program (a second copy of this one) holds the
        // port: a client would then drive that program instead.
        const QString text = tr("Remote control cannot listen on port %1: %2").arg(port).arg(server.errorString());
        qCWarning(lcAutomation).noquote() << text;
        updateStatus(text);
        emit error(text);
    }
}

void RemoteControl::stopListening()
{
    emit closeSockets();
    if (server.isListening())
        server.close();
}

void RemoteControl::updateStatus(const QString &failure)
{
    const bool nowListening = server.isListening();
    QString text;
    if (nowListening)
        text = tr("Listening on 127.0.0.1:%1").arg(server.serverPort());
    else if (!failure.isEmpty())
        text = failure;
    else
        text = tr("Off");
    listenError = failure;
    if (nowListening == wasListening && text == status)
        return;
    wasListening = nowListening;
    status = text;
    emit listeningChanged();
}

SocketRemoteControl::SocketRemoteControl(QObject *parent, int port, const CommandTable *table)
    : RemoteControl(parent, table)
{
    setPort(port);
    setEnabled(true);
}

void SocketRemoteControl::acceptConnection()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        auto *client = new SocketRemoteClient(socket, this, table);
        connect(socket, &QAbstractSocket::disconnected, client, &RemoteClientBase::interrupt);
        connect(client, &RemoteClientBase::interrupted, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, client, &QObject::deleteLater);
        connect(socket, &QAbstractSocket::disconnected, socket,
                [socket] { qCInfo(lcAutomation) << "\33[31mDisconnection\33[0m on socket" << socket; });
        connect(this, &RemoteControl::closeSockets, socket, &QAbstractSocket::close);
        emit stateDescription(tr("Accepted connection"));
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        // A peer gone before it was accepted never signals disconnected().
        if (socket->state() != QAbstractSocket::ConnectedState)
            QMetaObject::invokeMethod(client, &RemoteClientBase::interrupt, Qt::QueuedConnection);
    }
}

} // namespace Automation
} // namespace Korvel
