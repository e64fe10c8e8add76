#pragma once
// The program's persistent user choices, kept in the INI file
// "settings/settings" below the working directory and published to QML as
// the context property "settings". Every value may be unset; QML then sees
// undefined and uses its own default.

#include "app/optional.h"

#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>

class Settings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariant darkTheme READ getDarkTheme WRITE setDarkTheme NOTIFY darkThemeChanged)
    Q_PROPERTY(QVariant showHover READ getShowHover WRITE setShowHover NOTIFY showHowerChanged)
    Q_PROPERTY(QVariant saveUserSetup READ getSaveUserSetup WRITE setSaveUserSetup NOTIFY saveUserSetupChanged)
    Q_PROPERTY(QVariant loadedStateFile READ getLoadedStateFile WRITE setLoadedStateFile NOTIFY loadedStateFileChanged)
    Q_PROPERTY(QVariant ipAddress READ getIpAddress WRITE setIpAddress NOTIFY ipAddressChanged)
    Q_PROPERTY(QVariant port READ getPort WRITE setPort NOTIFY portChanged)
    Q_PROPERTY(QVariant scalingFactor READ getScalingFactor WRITE setScalingFactor NOTIFY scalingFactorChanged)

public:
    // Opens the file and loads it; a missing file leaves every value unset.
    explicit Settings(QObject *parent = nullptr);
    // Saves the current values.
    ~Settings() override;

    QVariant getDarkTheme() const { return isDarkTheme.toVariant(); }
    QVariant getShowHover() const { return showHover.toVariant(); }
    QVariant getSaveUserSetup() const { return saveUserSetup.toVariant(); }
    QVariant getLoadedStateFile() const { return loadedStateFile.toVariant(); }
    QVariant getIpAddress() const { return ipAddress.toVariant(); }
    QVariant getPort() const { return port.toVariant(); }
    QVariant getScalingFactor() const { return scalingFactor.toVariant(); }

    void setDarkTheme(const QVariant &value);
    void setShowHover(const QVariant &value);
    void setSaveUserSetup(const QVariant &value);
    void setLoadedStateFile(const QVariant &value);
    void setIpAddress(const QVariant &value);
    void setPort(const QVariant &value);
    void setScalingFactor(const QVariant &value);

    // A TCP port: an integer from 0 to 65535 written as a number or as text.
    // Anything else (text that is no number, a negative or fractional value,
    // a value past 65535) becomes 0, which no connection uses.
    static Helpers::Optional<uint> portFromVariant(const QVariant &value);

    // Read and written directly by the program's own objects.
    Helpers::Optional<bool> isDarkTheme;
    Helpers::Optional<bool> showHover;
    Helpers::Optional<bool> saveUserSetup;
    Helpers::Optional<QString> ipAddress;
    Helpers::Optional<uint> port;
    Helpers::Optional<QString> scalingFactor;
    Helpers::Optional<QString> loadedStateFile;
    QSettings settings;

signals:
    void darkThemeChanged();
    void showHowerChanged();
    void scalingFactorChanged();
    void portChanged();
    void ipAddressChanged();
    void loadedStateFileChanged();
    void saveUserSetupChanged();

public slots:
    void load();
    void save();
    // Removes every key from the file; the values stay and are written back
    // by the next save.
    void clear();
};
