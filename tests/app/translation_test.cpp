// The Russian catalogue: every translatable text of the sources has a
// finished translation that keeps its placeholders and its leading and
// trailing blanks and the terms of the glossary (translations/glossary.tsv),
// with no English left in it, and the program's texts come out in Russian
// with it, except the shared error texts, which keep their source wording.
#include "algorithms/fixtureport.h"
#include "algorithms/messages.h"
#include "app/calibratevnatable.h"
#include "app/setupvnatable.h"
#include "app/startup.h"
#include "device/syncedvnadevice.h"
#include "device/touchstoneio.h"
#include "tests/support/glossary.h"

#include <gtest/gtest.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

struct Message
{
    QString context;
    QString source;
    QString translation;
    bool finished = false;
};

std::vector<Message> readCatalogue(const QString &path)
{
    std::vector<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            message = Message{context, {}, {}, false};
        else if (xml.name() == QLatin1String("source"))
            message.source = xml.readElementText();
        else if (xml.name() == QLatin1String("translation")) {
            const QStringRef type = xml.attributes().value(QLatin1String("type"));
            message.finished = type.isEmpty();
            message.translation = xml.readElementText();
            messages.push_back(message);
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

QStringList placeholders(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%L?\\d+"));
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    return found;
}

QString leadingBlanks(const QString &text)
{
    int i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    return text.left(i);
}

QString trailingBlanks(const QString &text)
{
    int i = text.size();
    while (i > 0 && text.at(i - 1).isSpace())
        --i;
    return text.mid(i);
}

// The texts the sources hold now, extracted into a scratch copy of the
// catalogue as scripts/update-translations does it; lupdate's complaints go
// to *complaints.
std::vector<Message> refreshedCatalogue(QTemporaryDir &scratch, QStringList *complaints)
{
    const QString copy = scratch.filePath(QStringLiteral("ru_local.ts"));
    EXPECT_TRUE(QFile::copy(QStringLiteral(VUK_SOURCE_DIR "/translations/ru_local.ts"), copy));
    QProcess lupdate;
    lupdate.setWorkingDirectory(QStringLiteral(VUK_SOURCE_DIR));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LUPDATE"), QStringLiteral(VUK_LUPDATE));
    lupdate.setProcessEnvironment(environment);
    lupdate.start(QStringLiteral("bash"), {QStringLiteral("scripts/update-translations"), copy});
    EXPECT_TRUE(lupdate.waitForFinished(120000)) << "lupdate did not finish within two minutes";
    EXPECT_EQ(lupdate.exitStatus(), QProcess::NormalExit);
    const QString errors = QString::fromLocal8Bit(lupdate.readAllStandardError());
    EXPECT_EQ(lupdate.exitCode(), 0) << errors.toStdString();
    // Its diagnostics name a source line ("file:line: what"): a text it
    // cannot place in a context, or a class whose tr() context it guesses.
    static const QRegularExpression complaint(QStringLiteral("^.+:\\d+: .*$"), QRegularExpression::MultilineOption);
    for (auto it = complaint.globalMatch(errors); it.hasNext();)
        *complaints << it.next().captured();
    return readCatalogue(copy);
}

// One line per text that translates a glossary term otherwise, or that
// keeps English words.
using TestSupport::Glossary;

QStringList glossaryFaults(const std::vector<Message> &messages, const Glossary &glossary)
{
    QStringList faults;
    for (const Message &m : messages) {
        if (!m.finished || m.translation.isEmpty())
            continue;
        const QString where = m.context + QStringLiteral(": \"") + m.source + QStringLiteral("\" => \"") + m.translation
                              + QLatin1Char('"');
        for (const QString &term : TestSupport::missingTerms(m.source, m.translation, glossary))
            faults << where + QStringLiteral(": no glossary term for ") + term;
        const QStringList english = TestSupport::englishWords(m.translation, glossary);
        if (!english.isEmpty())
            faults << where + QStringLiteral(": English left in the translation: ")
                          + english.join(QStringLiteral(", "));
    }
    return faults;
}

const QString glossaryPath = QStringLiteral(VUK_SOURCE_DIR "/translations/glossary.tsv");

TEST(RussianCatalogue, EveryTextUsesTheGlossaryTermsAndLeavesNoEnglish)
{
    const Glossary glossary = TestSupport::readGlossary(glossaryPath);
    ASSERT_TRUE(glossary.problems.isEmpty()) << glossary.problems.join(QLatin1Char('\n')).toStdString();
    ASSERT_GE(glossary.terms.size(), 10u);
    const std::vector<Message> messages = readCatalogue(QStringLiteral(VUK_SOURCE_DIR "/translations/ru_local.ts"));
    ASSERT_GT(messages.size(), 300u);
    const QStringList faults = glossaryFaults(messages, glossary);
    EXPECT_TRUE(faults.isEmpty()) << faults.size()
                                  << " texts differ from the glossary (translations/glossary.tsv); use its term, "
                                     "or translate the English left:\n"
                                  << faults.join(QLatin1Char('\n')).toStdString();
}

// The check itself, on texts as they were once translated: another
// translation of "preset", a term dropped, English left as the translation.
TEST(RussianCatalogue, GlossaryCheckFindsAnotherTermADroppedTermAndEnglishLeft)
{
    const Glossary glossary = TestSupport::readGlossary(glossaryPath);
    ASSERT_TRUE(glossary.problems.isEmpty()) << glossary.problems.join(QLatin1Char('\n')).toStdString();
    struct Case
    {
        const char *source;
        const char *translation;
        bool fault;
    };
    const Case cases[] = {
        {"Plug-in preset", "Сброс плагина", true},
        {"Plug-in preset", "Предустановка плагина", false},
        {"VNA preset", "Предустановка ВАЦ", false},
        {"Edit characterization", "Характеристики", true},
        {"Edit characterization", "Изменить характеризацию", false},
        {"Setup measure data", "Setup measure data", true},
        {"Read freqs", "Чтение частот", false},
        {"<b>Recall setup</b> loads a *.sta file", "<b>Загрузить настройки</b> загружает файл *.sta", false},
        {"[Number of Ports] %1 is no count", "[Number of Ports] %1 не является числом портов", false},
        {"Response (Open)", "Нормировка (Open)", true},
        {"Response (Open)", "Нормировка (ХХ)", false},
        {"Open Touchstone File", "Открыть файл Touchstone", false},
        {"Frequency (Hz)", "Частота (Hz)", false},
        {"Ref", "Ref", true},
    };
    for (const Case &c : cases) {
        const std::vector<Message> one{
            {QStringLiteral("Test"), QString::fromUtf8(c.source), QString::fromUtf8(c.translation), true}};
        const QStringList faults = glossaryFaults(one, glossary);
        EXPECT_EQ(!faults.isEmpty(), c.fault)
            << c.source << " => " << c.translation << ": " << faults.join(QLatin1Char('\n')).toStdString();
    }
}

TEST(RussianCatalogue, EveryTextOfTheSourcesHasAFinishedTranslationKeepingPlaceholdersAndBlanks)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    QStringList faults;
    const std::vector<Message> messages = refreshedCatalogue(scratch, &faults);
    // Several hundred texts live in the pages, tables and messages.
    ASSERT_GT(messages.size(), 300u);

    for (const Message &m : messages) {
        const QString where = m.context + QStringLiteral(": \"") + m.source + QLatin1Char('"');
        if (!m.finished || m.translation.isEmpty())
            faults << QStringLiteral("no finished translation: ") + where;
        else if (placeholders(m.source) != placeholders(m.translation))
            faults << QStringLiteral("placeholders differ: ") + where;
        else if (leadingBlanks(m.source) != leadingBlanks(m.translation)
                 || trailingBlanks(m.source) != trailingBlanks(m.translation))
            faults << QStringLiteral("leading or trailing blanks differ: ") + where;
    }
    EXPECT_TRUE(faults.isEmpty()) << faults.size()
                                  << " faults; mark texts so that lupdate places them in the context they are "
                                     "translated in, run scripts/update-translations and translate:\n"
                                  << faults.join(QLatin1Char('\n')).toStdString();
}

// The ten shared error texts are built before any translator exists.
TEST(RussianCatalogue, SharedTextsKeepTheirSourceWordingWhileOthersAreTranslated)
{
    QTranslator translator;
    ASSERT_TRUE(translator.load(Startup::russianCatalogPath()));
    ASSERT_TRUE(QCoreApplication::installTranslator(&translator));

    using namespace Algorithms::Messages;
    const QString shared[] = {
        noisySignal,  cannotReadFrequencyGrid, cannotReadSParameters, cannotReadZ0,          criticalError,
        noLengthData, noCalculatedData,        notEnoughPorts,        cannotRecallStateFile, vnaExchangeError};
    const char *sources[] = {"The signal is too noisy. Check fixture connections and repeat the measurement.",
                             "Cannot read the frequency grid",
                             "Cannot read S-parameters data",
                             "Cannot read z0 impedance value",
                             "Critical error. Please restart application",
                             "Calculation error. There is no length data",
                             "There is no calculated data",
                             "Not enough number of ports",
                             "Cannot recall state file: ",
                             "The error during data exchange with VNA has been occurred"};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(shared[i], QString::fromUtf8(sources[i]));
        // The catalogue would translate them: the wording is kept by when
        // they are built, not by a missing entry.
        EXPECT_NE(QObject::tr(sources[i]), QString::fromUtf8(sources[i])) << sources[i];
    }

    // A text translated where it is emitted, in its class's context (a
    // class inside a namespace included).
    Algorithms::FixturePort port;
    QSignalSpy errors(&port, &Algorithms::FixturePort::error);
    EXPECT_FALSE(port.convertImpedance());
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors.at(0).at(0).toString(),
              QString::fromUtf8("Недопустимые входные данные для преобразования импеданса"));

    // The tables' row names.
    SyncedVnaDevice proxy;
    CalibrateVnaTableModel calibration(&proxy);
    SetupVnaTableModel setup(&proxy);
    const int name = BaseTableModel::NAME_COLUMN;
    EXPECT_EQ(calibration.data(calibration.index(1, name)).toString(), QString::fromUtf8("Калибровка"));
    EXPECT_EQ(calibration.data(calibration.index(5, name)).toString(), QString::fromUtf8("Импеданс"));
    EXPECT_EQ(setup.data(setup.index(1, name)).toString(), QString::fromUtf8("Тип развёртки"));

    QCoreApplication::removeTranslator(&translator);
    // Without the catalogue the program speaks English.
    Algorithms::FixturePort english;
    QSignalSpy englishErrors(&english, &Algorithms::FixturePort::error);
    english.convertImpedance();
    ASSERT_EQ(englishErrors.count(), 1);
    EXPECT_EQ(englishErrors.at(0).at(0).toString(), QString("Invalid input data for impedance conversion"));
}

// The program's own language options with the built catalogue: -r speaks
// Russian; no option, -e or a file name leave everything English.
TEST(RussianCatalogue, OnlyTheRussianOptionChangesTheLanguage)
{
    struct Case
    {
        QStringList arguments;
        const char *waiting;
    };
    const Case cases[] = {
        {{QStringLiteral("vuk"), QStringLiteral("-r")}, "Ожидание ВАЦ"},
        {{QStringLiteral("vuk"), QStringLiteral("--russian")}, "Ожидание ВАЦ"},
        {{QStringLiteral("vuk")}, "Waiting for VNA"},
        {{QStringLiteral("vuk"), QStringLiteral("-e")}, "Waiting for VNA"},
        {{QStringLiteral("vuk"), QStringLiteral("--english"), QStringLiteral("setup.sta")}, "Waiting for VNA"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        QCommandLineParser parser;
        Startup::LanguageOptions options;
        Startup::processCommandLine(parser, options, c.arguments);
        QTranslator translator;
        Startup::installTranslation(parser, options, translator);
        EXPECT_EQ(QCoreApplication::translate("main", "Waiting for VNA"), QString::fromUtf8(c.waiting));
        QCoreApplication::removeTranslator(&translator);
    }
}

// The Touchstone reader's refusals, from its option-line check (outside any
// class), its line rules and its file check, come out in Russian with the
// catalogue: lupdate must file each in the context it is looked up in.
TEST(RussianCatalogue, TouchstoneRefusalsAreTranslated)
{
    QTranslator translator;
    ASSERT_TRUE(translator.load(Startup::russianCatalogPath()));
    ASSERT_TRUE(QCoreApplication::installTranslator(&translator));
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());

    struct Case
    {
        const char *content;
        const char *reason;
    };
    const Case cases[] = {
        {"# GHz S MA R\n1 0 0 0 0 0 0 0 0\n", "строка 1: строка параметров содержит R без значения"},
        {"# GHz S MA R 50\n1 0 0 0 0 0 0 0 0\n[Two-Port Data Order] 99_99\n",
         "строка 3: неизвестный [Two-Port Data Order] '99_99'"},
        {"# GHz S MA R 50\n", "файл не содержит точек данных"},
    };
    for (const Case &c : cases) {
        const QString path = folder.filePath(QStringLiteral("refused.s2p"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        TouchstoneIO io;
        EXPECT_FALSE(io.read(path)) << c.content;
        EXPECT_TRUE(io.errorString().endsWith(QString::fromUtf8(c.reason)))
            << c.content << " gave: " << io.errorString().toStdString();
    }
    QCoreApplication::removeTranslator(&translator);
}

} // namespace
