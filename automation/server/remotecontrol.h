#pragma once
// The remote-control listener: a TCP server on the loopback address whose
// clients send lines of commands (see remoteclient.h). The settings page
// switches it with `enabled` and moves it with `port`; each enabling or port
// change while enabled closes every open connection first.
//
// Whether it listens is shown to the user: `listening`, and `status`, a text
// saying where it listens or why it cannot (a port taken by another program,
// a port out of range). A failure is also emitted as `error` with that text;
// since the first attempt happens in the constructor, before anyone can be
// connected, a window shows the `status` of a failed start itself.

#include <QObject>
#include <QString>
#include <QTcpServer>

namespace Korvel {
namespace Automation {

class CommandTable;

class RemoteControl : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool enabled READ isEnabled WRITE setEnabled NOTIFY enabledChanged)
    Q_PROPERTY(int port READ getPort WRITE setPort NOTIFY portChanged)
    Q_PROPERTY(bool listening READ isListening NOTIFY listeningChanged)
    Q_PROPERTY(QString status READ getStatus NOTIFY listeningChanged)

public:
    static constexpr int defaultPort = 5026;

    // table: the commands the clients run (the program's table when null).
    explicit RemoteControl(QObject *parent = nullptr, const CommandTable *table = nullptr);
    // Closes every connection and the server; the clients go with it.
    ~RemoteControl() override;

    bool isEnabled() const { return enabled; }
    int getPort() const { return port; }
    void setEnabled(bool value);
    void setPort(int value);

    bool isListening() const { return server.isListening(); }
    // "Listening on 127.0.0.1:<port>", "Off", or why it cannot listen.
    QString getStatus() const { return status; }
    // Why the last attempt to listen failed; empty while listening or off.
    QString getListenError() const { return listenError; }
    // The port actually listened on (the chosen one when `port` is 0); 0
    // while not listening.
    quint16 serverPort() const { return server.serverPort(); }

signals:
    void error(QString msg);
    void listen();
    void stateDescription(QString msg);
    void closeSockets();
    void enabledChanged();
    void portChanged();
    // `listening` or `status` changed.
    void listeningChanged();

public slots:
    virtual void acceptConnection() = 0;
    virtual void onEnabledChanged();
    virtual void onPortChanged();

protected:
    void startListening();
    void stopListening();
    // Records the outcome of listening (failure empty on success or when
    // off) and tells of a change.
    void updateStatus(const QString &failure);

    QTcpServer server;
    bool enabled = false;
    int port = 0;
    const CommandTable *table;
    bool wasListening = false;
    QString status;
    QString listenError;
};

class SocketRemoteControl : public RemoteControl
{
    Q_OBJECT
public:
    // Listens at once on 127.0.0.1:port (0 chooses a free port).
    explicit SocketRemoteControl(QObject *parent = nullptr, int port = defaultPort,
                                 const CommandTable *table = nullptr);

public slots:
    void acceptConnection() override;
};

} // namespace Automation
} // namespace Korvel
