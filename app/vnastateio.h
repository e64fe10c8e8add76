#pragma once
// The program's sections appended to the analyser's state file (".sta"):
// INI-like text, one item a line, written after the analyser's own content
// and read back key by key. Made on the stack for one save or one recall.

#include <QFile>
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

    // The value of key in section, scanning the whole file from its start.
    // Section names compare without case, blanks, "_" and brackets; keys
    // compare exactly; the first match in file order wins.
    std::optional<QString> value(const QString &section, const QString &key);

private:
    QFile file;
    QTextStream stream;
};
