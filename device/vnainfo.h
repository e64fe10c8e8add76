#pragma once
// Identity of the analyser as reported by its identification query.

#include <QMetaType>
#include <QObject>
#include <QString>

class VnaInfo
{
    Q_GADGET
    Q_PROPERTY(QString model READ model CONSTANT)
    Q_PROPERTY(QString serialNumber READ serialNumber CONSTANT)
    Q_PROPERTY(QString version READ version CONSTANT)
public:
    VnaInfo() = default;
    VnaInfo(QString model, QString serialNumber, QString version)
        : m_model(std::move(model)),
          m_serialNumber(std::move(serialNumber)),
          m_version(std::move(version))
    {}

    QString model() const { return m_model; }
    QString serialNumber() const { return m_serialNumber; }
    QString version() const { return m_version; }

    bool operator==(const VnaInfo &other) const
    {
        return m_model == other.m_model && m_serialNumber == other.m_serialNumber && m_version == other.m_version;
    }
    bool operator!=(const VnaInfo &other) const { return !(*this == other); }

private:
    QString m_model;
    QString m_serialNumber;
    QString m_version;
};

Q_DECLARE_METATYPE(VnaInfo)
