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

VnaStateIO::Sections VnaStateIO::readSections()
{
    constexpr qint64 lineLimit = qint64(64) << 10;
    constexpr qint64 keptLimit = qint64(16) << 20;
    Sections found;
    if (!file.seek(0))
        return found;
    QByteArray buffer(static_cast<int>(lineLimit) + 1, Qt::Uninitialized);
    std::optional<QString> current;
    qint64 kept = 0;
    for (bool first = true;; first = false) {
        qint64 length = file.readLine(buffer.data(), lineLimit + 1);
        if (length < 0)
            break;
        if (length == lineLimit && buffer.at(int(length) - 1) != '\n') {
            // Only the start of a longer line counts.
            char rest[4096];
            qint64 more = 0;
            do
                more = file.readLine(rest, sizeof rest);
            while (more == qint64(sizeof rest) - 1 && rest[more - 1] != '\n');
        }
        int start = 0;
        if (first && length >= 3 && buffer.startsWith("\xEF\xBB\xBF"))
            start = 3;
        const QString line = QString::fromLocal8Bit(buffer.constData() + start, int(length) - start).simplified();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            QString name = line;
            name.remove(' ').remove('_').remove('[').remove(']');
            current = name.toLower();
            continue;
        }
        if (!current || !line.contains('=') || kept > keptLimit)
            continue;
        const QStringList parts = line.split('=', Qt::KeepEmptyParts);
        auto keys = found.find(*current);
        if (keys == found.end()) {
            keys = found.insert(*current, {});
            kept += 2 * current->size() + 64;
        }
        if (keys->contains(parts.at(0)))
            continue;
        kept += 2 * (parts.at(0).size() + parts.at(1).size()) + 64;
        keys->insert(parts.at(0), parts.at(1));
    }
    return found;
}

std::optional<QString> VnaStateIO::value(const QString &section, const QString &key)
{
    if (!file.isOpen())
        return std::nullopt;
    stream.flush();
    // What this object may write, a later lookup must see.
    if (!sections || file.isWritable())
        sections = readSections();
    const auto keys = sections->constFind(section.toLower());
    if (keys == sections->constEnd())
        return std::nullopt;
    const auto value = keys->constFind(key);
    if (value == keys->constEnd())
        return std::nullopt;
    return *value;
}
