#pragma once
// The QML singleton "UnitFormatter": SI formatting and parsing for the pages.

#include <QObject>
#include <QString>

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
    double toMetric(const QString &string) const;
    double toPrecision(double value, int precision) const;
    double toPrecision(double value) const;
};
