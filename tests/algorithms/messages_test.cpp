#include "algorithms/messages.h"

#include <QCoreApplication>
#include <QTranslator>

#include <gtest/gtest.h>

namespace {

// A translator that "translates" every text of every context.
class PrefixTranslator : public QTranslator
{
public:
    QString translate(const char *, const char *sourceText, const char * = nullptr, int = -1) const override
    {
        return QStringLiteral("XX ") + QString::fromUtf8(sourceText);
    }
    bool isEmpty() const override { return false; }
};

struct SharedText
{
    const QString &text;
    const char *source;
};

const SharedText kSharedTexts[] = {
    {Algorithms::Messages::noisySignal,
     "The signal is too noisy. Check fixture connections and repeat the measurement."},
    {Algorithms::Messages::cannotReadFrequencyGrid, "Cannot read the frequency grid"},
    {Algorithms::Messages::cannotReadSParameters, "Cannot read S-parameters data"},
    {Algorithms::Messages::cannotReadZ0, "Cannot read z0 impedance value"},
    {Algorithms::Messages::criticalError, "Critical error. Please restart application"},
    {Algorithms::Messages::noLengthData, "Calculation error. There is no length data"},
    {Algorithms::Messages::noCalculatedData, "There is no calculated data"},
    {Algorithms::Messages::notEnoughPorts, "Not enough number of ports"},
    {Algorithms::Messages::cannotRecallStateFile, "Cannot recall state file: "},
    {Algorithms::Messages::vnaExchangeError, "The error during data exchange with VNA has been occurred"},
};

} // namespace

TEST(Messages, SharedTextsKeepSourceWordingWhileCallSiteTextsAreTranslated)
{
    PrefixTranslator translator;
    ASSERT_TRUE(QCoreApplication::installTranslator(&translator));
    for (const auto &shared : kSharedTexts) {
        EXPECT_EQ(shared.text, QString::fromUtf8(shared.source));
        // The same source translated now, at a call site, is looked up.
        EXPECT_EQ(QObject::tr(shared.source), QStringLiteral("XX ") + shared.source);
    }
    QCoreApplication::removeTranslator(&translator);
}

TEST(Messages, StateFileTextKeepsItsTrailingBlankBeforeTheFileName)
{
    EXPECT_EQ(Algorithms::Messages::cannotRecallStateFile + "a.sta", QStringLiteral("Cannot recall state file: a.sta"));
}
