#include "app/vnastateio.h"

#include <QStringList>

VnaStateIO::VnaStateIO(const QString &path, QObject *parent) : QObject(parent), file(path), stream(&file) {}

bool VnaStateIO::open(QIODevice::OpenMode mode)
{
    return file.open(mode);
}

bool VnaStateIO::isOpen() const
{
    return file.isOpen();
}

void VnaStateIO::writeSection(const QString &name)
{
    if (file.isOpen())
        stream << '[' << name << "]\n";
}

bool VnaStateIO::writeValue(const QString &key, const QString &value)
{
    if (!file.isOpen())
        return false;
    stream << key << '=' << value << '\n';
    return true;
}

void VnaStateIO::writeEmptyLine()
{
    if (file.isOpen())
        stream << '\n';
}

bool VnaStateIO::flush()
{
    if (!file.isOpen())
        return false;
    stream.flush();
    return stream.status() == QTextStream::Ok && file.flush();
}

std::optional<QString> VnaStateIO::value(const QString &section, const QString &key)
{
    if (!file.isOpen())
        return std::nullopt;
    stream.flush();
    if (!file.seek(0))
        return std::nullopt;
    QTextStream reader(&file);
    const QString wanted = section.toLower();
    bool inSection = false;
    while (!reader.atEnd()) {
        const QString line = reader.readLine().simplified();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            QString name = line;
            name.remove(' ').remove('_').remove('[').remove(']');
            inSection = name.toLower() == wanted;
            continue;
        }
        if (!inSection || !line.contains('='))
            continue;
        const QStringList parts = line.split('=', Qt::KeepEmptyParts);
        if (parts.size() >= 2 && parts.at(0) == key)
            return parts.at(1);
    }
    return std::nullopt;
}
