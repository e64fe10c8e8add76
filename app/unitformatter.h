#pragma once
// The QML singleton "UnitFormatter": SI formatting and parsing for the pages.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

class UnitFormatter : public QObject
{
    Q_OBJECT
public:
    explicit UnitFormatter(QObject *parent = nullptr);

    // Registers the singleton type (uri "UnitFormatter" 1.0); each engine
    // gets its own instance on first use.
    static void registerQmlType();

public slots:
    QString toNormalized(double value, int precision) const;
    QString toNormalized(double value) const;
    // The labels of one axis, all with one prefix (formatSiShared).
    QStringList toNormalizedList(const QVariantList &values, int precision) const;
    double toMetric(const QString &string) const;
    double toPrecision(double value, int precision) const;
    double toPrecision(double value) const;
};
