// The command reference in docs/remote-control.md against the program's
// command table: every registered command is described there with the
// short form its pattern gives, and the reference names no other command.

#include "automation/commands.h"
#include "automation/commandtable.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

struct Row
{
    QString command;
    QString shortForm;
};

// The command rows of the reference's tables: "| `command` | `short` | ...".
QList<Row> referenceRows(QString &error)
{
    QFile file(QStringLiteral(VUK_SOURCE_DIR "/docs/remote-control.md"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = file.errorString();
        return {};
    }
    const QString text = QString::fromUtf8(file.readAll());
    const int commands = text.indexOf(QStringLiteral("\n## Commands"));
    if (commands < 0) {
        error = QStringLiteral("no \"## Commands\" section");
        return {};
    }
    static const QRegularExpression row(QStringLiteral("^\\| `([^`]+)` \\| `([^`]+)` \\|"),
                                        QRegularExpression::MultilineOption);
    QList<Row> rows;
    auto it = row.globalMatch(text.mid(commands));
    while (it.hasNext()) {
        const auto match = it.next();
        rows.append(Row{match.captured(1), match.captured(2)});
    }
    return rows;
}

// What a client types at the least: the pattern without its optional
// lowercase tails, a number in place of "#".
QString shortFormOf(const QString &pattern)
{
    QString form;
    for (const QChar c : pattern) {
        if (c.isLower())
            continue;
        form += c == QLatin1Char('#') ? QStringLiteral("<n>") : QString(c);
    }
    return form;
}

TEST(CommandReference, DescribesExactlyTheCommandsOfTheTable)
{
    Korvel::Automation::CommandTable table;
    ASSERT_TRUE(Korvel::Automation::registerRemoteCommands(nullptr, table));
    QSet<QString> registered;
    for (qint64 k = 0; k < table.count(); ++k)
        registered.insert(QString::fromLatin1(table.pattern(static_cast<std::size_t>(k))));

    QString error;
    const QList<Row> rows = referenceRows(error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    QSet<QString> documented;
    for (const Row &row : rows) {
        EXPECT_FALSE(documented.contains(row.command)) << "described twice: " << row.command.toStdString();
        documented.insert(row.command);
        EXPECT_EQ(row.shortForm, shortFormOf(row.command)) << row.command.toStdString();
    }

    for (const QString &command : registered)
        EXPECT_TRUE(documented.contains(command)) << "missing from the reference: " << command.toStdString();
    for (const QString &command : documented)
        EXPECT_TRUE(registered.contains(command)) << "not a command of the table: " << command.toStdString();
    EXPECT_EQ(documented.size(), registered.size());
}

} // namespace
