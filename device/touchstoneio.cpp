// The names of Touchstone files: the port count of a ".sNp" suffix, the name
// a write uses, and the free numbered name when nothing may be replaced.
#include "device/touchstoneio.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

int separatorIndex(const QString &path)
{
    int index = path.lastIndexOf(QLatin1Char('/'));
    if (QDir::separator() != QLatin1Char('/'))
        index = std::max(index, path.lastIndexOf(QDir::separator()));
    return index;
}

} // namespace

TouchstoneIO::TouchstoneIO(QObject *parent) : QObject(parent) {}

std::optional<uint> TouchstoneIO::portCountFromSuffix(const QFileInfo &info)
{
    static const QRegularExpression suffix(QStringLiteral("^s(?<count>\\d)p$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = suffix.match(info.suffix());
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(QStringLiteral("count")).toUInt();
}

std::optional<uint> TouchstoneIO::portCount(const QString &path)
{
    return portCountFromSuffix(QFileInfo(path));
}

QString TouchstoneIO::uniqueFileName(const QString &base, const QString &extension)
{
    QString name = base + extension;
    for (int k = 1; QFileInfo::exists(name); ++k)
        name = base + QLatin1Char('(') + QString::number(k) + QLatin1Char(')') + extension;
    return name;
}

std::optional<std::pair<QString, QString>> TouchstoneIO::nameParts(const QString &path,
                                                                   const TouchstoneData &data) const
{
    const auto suffixPorts = portCount(path);
    if (suffixPorts && *suffixPorts != 0) {
        if (m_overwrite)
            return std::make_pair(path, QString());
        // Split the file-name part only: a dot in a directory name is no
        // extension.
        const int dot = path.indexOf(QLatin1Char('.'), separatorIndex(path) + 1);
        if (dot < 0)
            return std::nullopt;
        return std::make_pair(path.left(dot), path.mid(dot));
    }
    if (data.portCount != 0)
        return std::make_pair(path, QStringLiteral(".s") + QString::number(data.portCount) + QLatin1Char('p'));
    return std::nullopt;
}

std::optional<QString> TouchstoneIO::filePath(const QString &path, const TouchstoneData &data) const
{
    const auto parts = nameParts(path, data);
    if (!parts)
        return std::nullopt;
    return m_overwrite ? parts->first + parts->second : uniqueFileName(parts->first, parts->second);
}
