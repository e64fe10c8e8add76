#pragma once
// The program's sections appended to the analyser's state file (".sta"):
// INI-like text, one item a line, written after the analyser's own content
// and read back key by key. Made on the stack for one save or one recall.

#include <QFile>
#include <QHash>
#include <QIODevice>
#include <QObject>
#include <QString>
#include <QTextStream>

#include <optional>

class VnaStateIO : public QObject
{
    Q_OBJECT
public:
    explicit VnaStateIO(const QString &path, QObject *parent = nullptr);

    // Opens the file; the save appends (write-only), the recall reads.
    bool open(QIODevice::OpenMode mode);
    bool isOpen() const;

    // "[name]"; nothing when the file is not open.
    void writeSection(const QString &name);
    // "key=value"; false when the file is not open.
    bool writeValue(const QString &key, const QString &value);
    void writeEmptyLine();
    // Writes what is buffered; false when the file did not take all of it.
    bool flush();
    // Why the last file operation failed (e.g. "No space left on device").
    QString errorString() const { return file.errorString(); }

    // The value of key in section, as a scan of the whole file from its
    // start finds it. Section names compare without case, blanks, "_" and
    // brackets; keys compare exactly; the first match in file order wins.
    // A file opened only for reading is read once, at the first lookup, so
    // that a recall costs one pass whatever the file's size. Lines are read
    // up to 64 KiB (the rest of a longer one is skipped), and no more than
    // 16 MiB of keys and values are kept (no file the program writes comes
    // near either).
    std::optional<QString> value(const QString &section, const QString &key);

private:
    // The first value of every key, by section name as compared.
    using Sections = QHash<QString, QHash<QString, QString>>;
    Sections readSections();

    QFile file;
    QTextStream stream;
    std::optional<Sections> sections;
};
