#include "app/settings.h"

#include "app/logging.h"

#include <QDebug>
#include <QDir>

#include <cmath>

namespace {

// The file's groups and keys. The General keys sit in the file's
// "[General]" section, which is how a person writes them by hand; to the
// INI format that section holds the keys outside every group, so they are
// read and written without a group prefix. Files of earlier versions kept
// them in a group named General, which the format writes "[%General]"; that
// group is still read, and removed by the next save.
struct Key
{
    const char *group; // nullptr: the "[General]" section
    const char *name;
};

constexpr Key kDarkThemeKey{nullptr, "isDarkTheme"};
constexpr Key kShowHoverKey{nullptr, "showHover"};
constexpr Key kSaveUserSetupKey{nullptr, "saveUserSetup"};
constexpr Key kLoadedStateFileKey{nullptr, "loadedStateFile"};
constexpr Key kIpAddressKey{"Network", "ipAddress"};
constexpr Key kPortKey{"Network", "port"};
constexpr Key kScalingFactorKey{"Display", "scalingFactor"};

const char *const kFormerGeneralGroup = "General";

constexpr qlonglong kMaxPort = 65535;

QString pathOf(const Key &key)
{
    const QString name = QString::fromLatin1(key.name);
    return key.group ? QString::fromLatin1(key.group) + QLatin1Char('/') + name : name;
}

// A key's value, invalid when the file has none. A General key missing from
// "[General]" is looked up in the group of earlier versions.
QVariant fileValue(const QSettings &settings, const Key &key)
{
    const QString path = pathOf(key);
    if (settings.contains(path) || key.group)
        return settings.value(path, QVariant());
    return settings.value(QString::fromLatin1(kFormerGeneralGroup) + QLatin1Char('/') + path, QVariant());
}

// A held value is written; an unset one leaves no key behind, which reads
// back as unset.
void storeValue(QSettings &settings, const Key &key, const QVariant &value)
{
    if (value.isValid())
        settings.setValue(pathOf(key), value);
    else
        settings.remove(pathOf(key));
}

// Writes the variant when it differs from the member; true when it did.
template<typename T>
bool assignIfChanged(Helpers::Optional<T> &member, const QVariant &value)
{
    if (!(member != value))
        return false;
    member = value;
    return true;
}

} // namespace

Settings::Settings(QObject *parent)
    : QObject(parent),
      settings(QDir::toNativeSeparators(QStringLiteral("settings/settings")), QSettings::IniFormat)
{
    load();
}

Settings::~Settings()
{
    save();
}

Helpers::Optional<uint> Settings::portFromVariant(const QVariant &value)
{
    Helpers::Optional<uint> result;
    if (!value.isValid() || value.isNull())
        return result;

    bool ok = false;
    qlonglong number = 0;
    switch (value.userType()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        ok = std::isfinite(d) && d == std::floor(d) && d >= 0 && d <= double(kMaxPort);
        number = ok ? qlonglong(d) : 0;
        break;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray:
        number = value.toString().trimmed().toLongLong(&ok, 10);
        break;
    default:
        number = value.toLongLong(&ok);
        // A large unsigned value would wrap into range through toLongLong.
        if (ok && value.userType() == QMetaType::ULongLong && value.toULongLong() > quint64(kMaxPort))
            ok = false;
        break;
    }
    if (!ok || number < 0 || number > kMaxPort)
        number = 0;
    result = uint(number);
    return result;
}

void Settings::setDarkTheme(const QVariant &value)
{
    if (assignIfChanged(isDarkTheme, value))
        emit darkThemeChanged();
}

void Settings::setShowHover(const QVariant &value)
{
    if (assignIfChanged(showHover, value))
        emit showHowerChanged();
}

void Settings::setSaveUserSetup(const QVariant &value)
{
    if (assignIfChanged(saveUserSetup, value))
        emit saveUserSetupChanged();
}

void Settings::setLoadedStateFile(const QVariant &value)
{
    if (assignIfChanged(loadedStateFile, value))
        emit loadedStateFileChanged();
}

void Settings::setIpAddress(const QVariant &value)
{
    if (assignIfChanged(ipAddress, value))
        emit ipAddressChanged();
}

void Settings::setPort(const QVariant &value)
{
    if (!(port != value))
        return;
    port = portFromVariant(value);
    emit portChanged();
}

void Settings::setScalingFactor(const QVariant &value)
{
    if (assignIfChanged(scalingFactor, value))
        emit scalingFactorChanged();
}

void Settings::load()
{
    isDarkTheme = fileValue(settings, kDarkThemeKey);
    showHover = fileValue(settings, kShowHoverKey);
    saveUserSetup = fileValue(settings, kSaveUserSetupKey);
    loadedStateFile = fileValue(settings, kLoadedStateFileKey);
    ipAddress = fileValue(settings, kIpAddressKey);
    port = portFromVariant(fileValue(settings, kPortKey));
    scalingFactor = fileValue(settings, kScalingFactorKey);
}

void Settings::save()
{
    storeValue(settings, kDarkThemeKey, isDarkTheme.toVariant());
    storeValue(settings, kShowHoverKey, showHover.toVariant());
    storeValue(settings, kSaveUserSetupKey, saveUserSetup.toVariant());
    storeValue(settings, kLoadedStateFileKey, loadedStateFile.toVariant());
    storeValue(settings, kIpAddressKey, ipAddress.toVariant());
    storeValue(settings, kPortKey, port.toVariant());
    storeValue(settings, kScalingFactorKey, scalingFactor.toVariant());
    // The values of an earlier version's General group now live in
    // "[General]"; leaving the group would keep a second copy in the file.
    settings.remove(QString::fromLatin1(kFormerGeneralGroup));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qCWarning(lcApp) << "Settings could not be written to" << settings.fileName();
}

void Settings::clear()
{
    settings.clear();
}
