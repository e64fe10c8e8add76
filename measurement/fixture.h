#pragma once
// One fixture side as the user describes it: a name and a number of ports.

#include <QObject>
#include <QString>

class Fixture : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(uint portsCount READ portsCount WRITE setPortsCount NOTIFY portsCountChanged)

public:
    explicit Fixture(QObject *parent = nullptr);

    QString name() const { return m_name; }
    uint portsCount() const { return m_portsCount; }

public slots:
    // Always emits, also for the current name.
    void setName(const QString &name);
    void setPortsCount(uint count);

signals:
    void nameChanged();
    void portsCountChanged();

private:
    QString m_name;
    uint m_portsCount = 1;
};
