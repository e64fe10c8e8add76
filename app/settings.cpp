#include "app/settings.h"

#include "app/logging.h"

#include <QDebug>
#include <QDir>

#include <cmath>

namespace {

const char *const kDarkThemeKey = "General/isDarkTheme";
const char *const kShowHoverKey = "General/showHover";
const char *const kSaveUserSetupKey = "General/saveUserSetup";
const char *const kLoadedStateFileKey = "General/loadedStateFile";
const char *const kIpAddressKey = "Network/ipAddress";
const char *const kPortKey = "Network/port";
const char *const kScalingFactorKey = "Display/scalingFactor";

constexpr qlonglong kMaxPort = 65535;

// The keys of the General group without their group. The INI format keeps a
// group named General under "[%General]", because a plain "[General]" section
// holds the keys outside every group; a file edited by hand with "[General]"
// therefore has these keys at the top level.
const char *const kGeneralNames[] = {"isDarkTheme", "showHover", "saveUserSetup", "loadedStateFile"};

// A General key, from a hand-written "[General]" section when the file has
// one (it was written after the program's last save), else from the group.
QVariant generalValue(const QSettings &settings, const char *groupKey)
{
    const QString key = QString::fromLatin1(groupKey);
    const QString bare = key.mid(key.indexOf(QLatin1Char('/')) + 1);
    if (settings.contains(bare))
        return settings.value(bare, QVariant());
    return settings.value(key, QVariant());
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
    isDarkTheme = generalValue(settings, kDarkThemeKey);
    showHover = generalValue(settings, kShowHoverKey);
    saveUserSetup = generalValue(settings, kSaveUserSetupKey);
    loadedStateFile = generalValue(settings, kLoadedStateFileKey);
    ipAddress = settings.value(kIpAddressKey, QVariant());
    port = portFromVariant(settings.value(kPortKey, QVariant()));
    scalingFactor = settings.value(kScalingFactorKey, QVariant());
}

void Settings::save()
{
    settings.setValue(kDarkThemeKey, isDarkTheme.toVariant());
    settings.setValue(kShowHoverKey, showHover.toVariant());
    settings.setValue(kSaveUserSetupKey, saveUserSetup.toVariant());
    settings.setValue(kLoadedStateFileKey, loadedStateFile.toVariant());
    settings.setValue(kIpAddressKey, ipAddress.toVariant());
    settings.setValue(kPortKey, port.toVariant());
    settings.setValue(kScalingFactorKey, scalingFactor.toVariant());
    // The values of a hand-written "[General]" section now live in the
    // group; leaving them would let them override it at the next start.
    for (const char *name : kGeneralNames)
        settings.remove(QString::fromLatin1(name));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qCWarning(lcApp) << "Settings could not be written to" << settings.fileName();
}

void Settings::clear()
{
    settings.clear();
}
