// The command reference in docs/remote-control.md against the program's
// command table: every registered command is described there with the
// short form its pattern gives, and the reference names no other command;
// and every out-of-range example of the reference, run against the program,
// queues the code the reference names and reads back what it says.

#include "commandstestrig.h"

#include "automation/commands/commands.h"
#include "automation/server/commandtable.h"
#include "automation/server/errorcodes.h"

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
    QString errorCodes; // the last column
};

QString referenceText(QString &error)
{
    QFile file(QStringLiteral(VUK_SOURCE_DIR "/docs/remote-control.md"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = file.errorString();
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

// The command rows of the reference's tables:
// "| `command` | `short` | ... | error codes |".
QList<Row> referenceRows(QString &error)
{
    const QString text = referenceText(error);
    if (!error.isEmpty())
        return {};
    const int commands = text.indexOf(QStringLiteral("\n## Commands"));
    if (commands < 0) {
        error = QStringLiteral("no \"## Commands\" section");
        return {};
    }
    static const QRegularExpression row(QStringLiteral("^\\| `([^`]+)` \\| `([^`]+)` \\|.*\\| ([^|]*) \\|$"),
                                        QRegularExpression::MultilineOption);
    QList<Row> rows;
    auto it = row.globalMatch(text.mid(commands));
    while (it.hasNext()) {
        const auto match = it.next();
        rows.append(Row{match.captured(1), match.captured(2), match.captured(3)});
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

// One row of the reference's out-of-range examples:
// "| `command` | what happens | code or none | read back |", the read back
// empty, "`query` unchanged" or "`query` answers <text>".
struct RangeExample
{
    QString command;
    int code = 0;
    QString readBack;
    bool unchanged = false;
    QString answer;
};

QList<RangeExample> rangeExamples(QString &error)
{
    const QString text = referenceText(error);
    if (!error.isEmpty())
        return {};
    const int begin = text.indexOf(QStringLiteral("\n## Ranges and out-of-range values"));
    if (begin < 0) {
        error = QStringLiteral("no \"## Ranges and out-of-range values\" section");
        return {};
    }
    const int end = text.indexOf(QStringLiteral("\n## "), begin + 1);
    const QString section = text.mid(begin, end < 0 ? -1 : end - begin);
    static const QRegularExpression row(QStringLiteral("^\\| `([^`]+)` \\| [^|]+ \\| (none|\\d+) \\| ([^|]*)\\|$"),
                                        QRegularExpression::MultilineOption);
    static const QRegularExpression readBack(QStringLiteral("^`([^`]+)` (?:(unchanged)|answers (\\S+))$"));
    QList<RangeExample> examples;
    auto it = row.globalMatch(section);
    while (it.hasNext()) {
        const auto match = it.next();
        RangeExample example;
        example.command = match.captured(1);
        example.code = match.captured(2) == QLatin1String("none") ? 0 : match.captured(2).toInt();
        const QString check = match.captured(3).trimmed();
        if (!check.isEmpty()) {
            const auto parts = readBack.match(check);
            if (!parts.hasMatch()) {
                error = QStringLiteral("unreadable read back: ") + check;
                return {};
            }
            example.readBack = parts.captured(1);
            example.unchanged = !parts.captured(2).isEmpty();
            example.answer = parts.captured(3);
        }
        examples.append(example);
    }
    if (examples.isEmpty())
        error = QStringLiteral("no example rows in the ranges section");
    return examples;
}

// The command row of an example ("VUK:SYSTem:STEP9:TYPE?" is the row of
// "VUK:SYSTem:STEP#:TYPE?"); null when there is none.
const Row *rowOf(const QList<Row> &rows, const QString &example)
{
    static const QRegularExpression number(QStringLiteral("(?<=[A-Za-z])\\d+"));
    QString header = example.section(QLatin1Char(' '), 0, 0);
    header.replace(number, QStringLiteral("#"));
    for (const Row &row : rows)
        if (row.command == header)
            return &row;
    return nullptr;
}

// Every code an example names is in its command's row, unless it is one of
// the codes every command can queue.
TEST(CommandReference, ExampleCodesAreListedWithTheirCommands)
{
    QString error;
    const QList<RangeExample> examples = rangeExamples(error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    const QList<Row> rows = referenceRows(error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    for (const RangeExample &example : examples) {
        const Row *row = rowOf(rows, example.command);
        ASSERT_NE(row, nullptr) << "no command row for " << example.command.toStdString();
        if (example.code == 0 || example.code == 104 || example.code == 110)
            continue;
        const QRegularExpression code(QStringLiteral("\\b%1\\b").arg(example.code));
        EXPECT_TRUE(code.match(row->errorCodes).hasMatch())
            << example.command.toStdString() << ": " << example.code << " is not among \""
            << row->errorCodes.toStdString() << "\"";
    }
}

// Each example from the state the reference names: the default set-up, a
// four-port analyser sweeping 10 MHz to 2 GHz in 200 points (a low-pass
// grid). A rig of its own per example, since some change the sweep.
TEST(CommandReference, OutOfRangeExamplesQueueTheCodesTheReferenceNames)
{
    QString error;
    const QList<RangeExample> examples = rangeExamples(error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    for (const RangeExample &example : examples) {
        SCOPED_TRACE(example.command.toStdString());
        CommandsTest::Rig rig;
        ASSERT_TRUE(rig.ready());
        rig.setHarmonicGrid(10e6, 200);
        ASSERT_TRUE(rig.sync());
        ASSERT_TRUE(rig.setup()->isLowPassMode());
        CommandsTest::Client &client = *rig.client;
        const QByteArray before = example.readBack.isEmpty() ? QByteArray() : client.ask(example.readBack.toUtf8());

        client.send(example.command.toUtf8());
        const QByteArray expected =
            example.code == 0 ? QByteArray("0, No error") : Korvel::Automation::errorQueryAnswer(example.code).toUtf8();
        EXPECT_EQ(client.error(), expected);
        // That code alone.
        EXPECT_EQ(client.error(), QByteArray("0, No error"));

        if (example.readBack.isEmpty())
            continue;
        const QByteArray after = client.ask(example.readBack.toUtf8());
        if (example.unchanged) {
            EXPECT_FALSE(before.isEmpty());
            EXPECT_EQ(after, before) << example.readBack.toStdString();
        } else {
            EXPECT_EQ(after, example.answer.toUtf8()) << example.readBack.toStdString();
        }
    }
}

} // namespace
