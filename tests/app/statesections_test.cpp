// The program's sections of the analyser state file: every key of the tables
// goes to the file and comes back, the text is the one earlier versions
// wrote, and a save and a recall through the backend carry every key.

#include "analyser-sim/analysersim.h"
#include "app/mainqmlbackend.h"
#include "app/settings.h"
#include "app/setupvnatable.h"
#include "app/statesections.h"
#include "app/vnastateio.h"
#include "device/syncedvnadevice.h"
#include "measurement/fixture.h"
#include "measurement/fixturesetups.h"
#include "measurement/step.h"
#include "measurement/vnafixtureconnection.h"
#include "measurement/vukalgorithmssetup.h"
#include "tests/app/backendfixture.h"
#include "tests/support/eventloop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>
#include <ostream>
#include <utility>
#include <vector>

namespace StateSections {

// Failure reports show the records as the file would hold them.
void PrintTo(const Settings &values, std::ostream *out)
{
    *out << text(values).toStdString();
}

void PrintTo(const Setup &values, std::ostream *out)
{
    *out << text(0, values).toStdString();
}

void PrintTo(const Info &values, std::ostream *out)
{
    *out << text(values).toStdString();
}

} // namespace StateSections

namespace {

using StateSections::hasSettings;
using StateSections::Info;
using StateSections::infoKeys;
using StateSections::infoOf;
using StateSections::Reader;
using StateSections::readInfo;
using StateSections::readSettings;
using StateSections::readSetup;
using StateSections::Settings;
using StateSections::settingsKeys;
using SetupValues = StateSections::Setup;
using StateSections::setupKeys;
using StateSections::snapshot;
using StateSections::text;
using StateSections::write;
using Method = MeasureEnums::CorrectionMethod;
using Z0 = MeasureEnums::Z0Conversion;

// The sections of one 2x-thru set-up on a 4-port analyser (fixture A on
// ports 0 and 1, fixture B on 2 and 3), with the given method and user Z0.
QString oneSetupText(const QString &method, const QString &userZ0)
{
    return QStringLiteral("[VUK\\Settings]\n"
                          "SetupCount=1\n"
                          "MeasureMethod=%1\n"
                          "LowPassCheck=true\n"
                          "Z0ConversionType=System\n"
                          "UserZ0=%2\n"
                          "\n"
                          "[VUK\\Settings\\FixtureSetup0]\n"
                          "FixtureAEnabled=true\n"
                          "FixtureAPortsCount=2\n"
                          "FixtureBEnabled=true\n"
                          "FixtureBPortsCount=2\n"
                          "ABEnabled=true\n"
                          "AAuxEnabled=false\n"
                          "BAuxEnabled=false\n"
                          "DutEnabled=false\n"
                          "FixtureAPort0=0\n"
                          "FixtureAPort1=1\n"
                          "FixtureBPort0=2\n"
                          "FixtureBPort1=3\n"
                          "FixtureAAuxPort0=2\n"
                          "FixtureAAuxPort1=3\n"
                          "FixtureBAuxPort0=0\n"
                          "FixtureBAuxPort1=1\n"
                          "\n"
                          "[VUK\\SetupsInfo]\n"
                          "MinimumRequiredPortCount=4\n"
                          "\n")
        .arg(method, userZ0);
}

// The lines of a key in a section's text (for a port list, the lines of its
// numbered entries).
QStringList linesOf(const QString &text, const QString &key)
{
    QStringList lines;
    const QRegularExpression line(QStringLiteral("^%1\\d*=.*$").arg(QRegularExpression::escape(key)),
                                  QRegularExpression::MultilineOption);
    auto it = line.globalMatch(text);
    while (it.hasNext())
        lines << it.next().captured(0);
    return lines;
}

// The keys whose lines differ between two texts of one section.
QSet<QString> changedKeys(const QString &a, const QString &b, const QStringList &keys)
{
    QSet<QString> changed;
    for (const QString &key : keys)
        if (linesOf(a, key) != linesOf(b, key))
            changed << key;
    return changed;
}

QSet<QString> all(const QStringList &keys)
{
    return QSet<QString>(keys.begin(), keys.end());
}

Settings someSettings()
{
    Settings values;
    values.setupCount = 2;
    values.correctionMethod = Method::BISECT;
    values.lowPassCheck = false;
    values.z0ConversionType = Z0::User;
    values.userZ0 = 42.5;
    return values;
}

// Two set-ups that between them leave no key at its default.
std::vector<SetupValues> someSetups()
{
    SetupValues first;
    first.leftEnabled = false;
    first.leftPorts = 3;
    first.rightPorts = 2;
    first.abThru = false;
    first.aa = false;
    first.left = {2, 0, 5};
    first.right = {1, 3};
    first.leftAux = {4, 6, 7};
    first.rightAux = {7, 2};
    SetupValues second;
    second.rightEnabled = false;
    second.bb = false;
    second.abDut = false;
    second.left = {1};
    second.right = {0};
    second.leftAux = {0};
    second.rightAux = {1};
    return {first, second};
}

TEST(StateSections, EveryKeyOfEveryTableComesBackAsWritten)
{
    const Settings settings = someSettings();
    const std::vector<SetupValues> setups = someSetups();
    const Info info = infoOf(setups);
    EXPECT_EQ(info.minimumRequiredPortCount, 8u) << "port index 7 is the highest";

    // Every key holds something else than a default record would write.
    EXPECT_EQ(changedKeys(text(settings), text(Settings()), settingsKeys()), all(settingsKeys()));
    EXPECT_EQ(changedKeys(text(0, setups[0]) + text(0, setups[1]), text(0, SetupValues()), setupKeys()),
              all(setupKeys()));
    EXPECT_EQ(changedKeys(text(info), text(Info()), infoKeys()), all(infoKeys()));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.sta"));
    {
        VnaStateIO io(path);
        ASSERT_TRUE(io.open(QIODevice::WriteOnly));
        write(io, settings);
        for (int n = 0; n < 2; ++n)
            write(io, n, setups[size_t(n)]);
        write(io, info);
        ASSERT_TRUE(io.flush());
    }
    // The file holds what text gives.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), text(settings) + text(0, setups[0]) + text(1, setups[1]) + text(info));

    VnaStateIO io(path);
    ASSERT_TRUE(io.open(QIODevice::ReadOnly));
    Reader reader(io);
    EXPECT_TRUE(hasSettings(reader));
    EXPECT_EQ(readSettings(reader), settings);
    EXPECT_EQ(readSetup(reader, 0), setups[0]);
    EXPECT_EQ(readSetup(reader, 1), setups[1]);
    EXPECT_EQ(readInfo(reader), info);
    EXPECT_FALSE(reader.failed());
    // A set-up the file holds nothing for gets the recall's defaults: every
    // side enabled, one port each, attached to port index 0.
    SetupValues missing;
    missing.left = missing.right = missing.leftAux = missing.rightAux = {0};
    EXPECT_EQ(readSetup(reader, 2), missing);
}

// A recall reads the file once, whatever it holds: a lookup answers what a
// scan from the start finds first, a section that comes again goes on where
// it left off, and a line longer than the reader holds counts by its start.
TEST(StateSections, ALookupFindsWhatTheFirstScanOfTheFileWould)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.sta"));
    const QByteArray longValue(200000, 'y');
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("analyser state\n[VUK\\Settings]\nSetupCount=1\n[Other]\nSetupCount=7\nMeasureMethod=FILTERING\n"
                   "[VUK\\Settings]\nSetupCount=2\nMeasureMethod=BISECT\nX="
                   + longValue + "\nUserZ0=5\n[" + QByteArray(100000, 'z') + "]\nLowPassCheck=false\n");
    }
    VnaStateIO io(path);
    ASSERT_TRUE(io.open(QIODevice::ReadOnly));
    const QString settings = QStringLiteral("VUK\\Settings");
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        EXPECT_EQ(io.value(settings, QStringLiteral("SetupCount")), QStringLiteral("1"));
        EXPECT_EQ(io.value(settings, QStringLiteral("MeasureMethod")), QStringLiteral("BISECT"));
        EXPECT_EQ(io.value(QStringLiteral("Other"), QStringLiteral("MeasureMethod")), QStringLiteral("FILTERING"));
        // The first 64 KiB of the line, its key and "=" among them.
        const auto cut = io.value(settings, QStringLiteral("X"));
        ASSERT_TRUE(cut.has_value());
        EXPECT_EQ(cut->size(), 64 * 1024 - 2);
        EXPECT_EQ(io.value(settings, QStringLiteral("UserZ0")), QStringLiteral("5"));
        // The long section line closed the section.
        EXPECT_FALSE(io.value(settings, QStringLiteral("LowPassCheck")).has_value());
    }
}

// The user impedance comes back as the number it names; text that names
// none (a word, or "nan" and "inf", which the number parser takes) gives 0.
TEST(StateSections, TheUserImpedanceIsAFiniteNumberOrZero)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.sta"));
    const std::vector<std::pair<QByteArray, double>> cases = {
        {"47.5", 47.5}, {"1e3", 1000.0}, {"fifty", 0.0}, {"nan", 0.0}, {"inf", 0.0}, {"-inf", 0.0}, {"", 0.0},
    };
    for (const auto &[written, expected] : cases) {
        SCOPED_TRACE(written.toStdString());
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("[VUK\\Settings]\nSetupCount=1\nUserZ0=" + written + "\n");
        }
        VnaStateIO io(path);
        ASSERT_TRUE(io.open(QIODevice::ReadOnly));
        Reader reader(io);
        EXPECT_EQ(readSettings(reader).userZ0, expected);
        EXPECT_FALSE(reader.failed());
    }
}

TEST(StateSections, TheTextIsTheOneSavedSetupsHold)
{
    Settings settings;
    settings.setupCount = 1;
    settings.correctionMethod = Method::FILTERING;
    settings.userZ0 = 50.0;
    SetupValues setup;
    setup.aa = false;
    setup.bb = false;
    setup.abDut = false;
    setup.leftPorts = 2;
    setup.rightPorts = 2;
    setup.left = {0, 1};
    setup.right = {2, 3};
    setup.leftAux = {2, 3};
    setup.rightAux = {0, 1};
    const QString expected = oneSetupText(QStringLiteral("FILTERING"), QStringLiteral("50"));
    EXPECT_EQ(text(settings) + text(0, setup) + text(infoOf({setup})), expected);

    // A value without a key name, and six significant digits.
    settings.correctionMethod = static_cast<Method>(7);
    settings.userZ0 = 1234.56789;
    EXPECT_TRUE(text(settings).contains(QStringLiteral("MeasureMethod=---\n")));
    EXPECT_TRUE(text(settings).contains(QStringLiteral("UserZ0=1234.57\n")));
}

TEST(StateSections, TheRequiredPortCountCoversTheHighestPortAndTheLargestFixture)
{
    SetupValues highPort;
    highPort.left = {0, 3};
    SetupValues largeFixture;
    largeFixture.leftPorts = 4;
    largeFixture.left = {0, 1};
    EXPECT_EQ(infoOf({highPort}).minimumRequiredPortCount, 4u);
    EXPECT_EQ(infoOf({largeFixture}).minimumRequiredPortCount, 4u);
    EXPECT_EQ(infoOf({}).minimumRequiredPortCount, 1u);
}

// ---------------------------------------------------------------------------
// Through the backend: the analyser writes its state, the program appends.

class StateFile : public BackendFixture
{
protected:
    void SetUp() override
    {
        BackendFixture::SetUp();
        if (HasFatalFailure())
            return;
        makeBackend();
        ASSERT_TRUE(TestSupport::waitUntil("the analyser's port count",
                                           [&] { return backend->getVnaDevice()->portsCount() == 4u; }));
        TestSupport::flush();
    }

    Settings currentSettings() const
    {
        FixtureSetups *setups = backend->getFixtureSetups();
        Settings values;
        values.setupCount = uint(setups->getCount());
        values.correctionMethod = setups->getCorrectionMethod();
        values.lowPassCheck = backend->getSetupVnaTable()->lowPassCheck();
        values.z0ConversionType = setups->getZ0ConversionType();
        values.userZ0 = setups->getUserZ0();
        return values;
    }

    std::vector<SetupValues> currentSetups() const
    {
        std::vector<SetupValues> values;
        FixtureSetups *setups = backend->getFixtureSetups();
        for (int n = 0; n < setups->getCount(); ++n)
            values.push_back(snapshot(*setups->setup(n)));
        return values;
    }

    // Runs a save or a recall; true when it reported its message and no error.
    bool run(const std::function<void()> &action)
    {
        QSignalSpy errors(backend.get(), &MainQmlBackend::error);
        QSignalSpy messages(backend.get(), &MainQmlBackend::message);
        action();
        TestSupport::flush();
        for (const auto &error : errors)
            ADD_FAILURE() << error.at(0).toString().toStdString();
        return errors.isEmpty() && messages.count() == 1;
    }

    static void attach(VNAFixtureConnection *side, const std::vector<uint> &ports)
    {
        for (size_t i = 0; i < ports.size(); ++i)
            side->setAttachedVnaPort(i, ports[i]);
    }
};

// Two states, since the DUT step needs time gating: between them every key
// of the settings and set-up sections leaves its value after a preset.
TEST_F(StateFile, ASavedSetupComesBackWithEveryKeyAfterAPreset)
{
    FixtureSetups *setups = backend->getFixtureSetups();
    auto *table = backend->getSetupVnaTable();
    const SetupValues fresh = currentSetups().at(0);
    QSet<QString> changedSettings;
    QSet<QString> changedSetups;

    struct Case
    {
        const char *name;
        std::function<void()> configure;
    };
    const std::vector<Case> cases = {
        {"filtering, A as a thru with its aux side",
         [&] {
             setups->setCorrectionMethod(Method::FILTERING);
             setups->setZ0ConversionType(Z0::User);
             setups->setUserZ0(42.5);
             table->setLowPassCheck(false);
             VukAlgorithmsSetup *first = setups->setup(0);
             first->leftFixtureConn()->fixture()->setPortsCount(2);
             first->rightFixtureConn()->fixture()->setPortsCount(2);
             first->setAaConnectionEnabled(true);
             attach(first->leftFixtureConn(), {3, 2});
             attach(first->rightFixtureConn(), {1, 0});
             attach(first->leftFixtureAuxConn(), {0, 1});
             attach(first->rightFixtureAuxConn(), {2, 3});
             setups->addSetup();
             setups->setup(1)->setRightFixtureEnabled(false);
         }},
        {"time gating with the DUT step, B as a thru with its aux side",
         [&] {
             setups->setZ0ConversionType(Z0::Fixture);
             setups->setUserZ0(75.0);
             setups->setup(0)->setLeftFixtureEnabled(false);
             setups->setup(0)->setAbDutConnectionEnabled(true);
             setups->addSetup();
             setups->setup(1)->setBbConnectionEnabled(true);
             setups->setup(1)->setAbDutConnectionEnabled(true);
         }},
    };

    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend->preset();
        table->setLowPassCheck(true);
        TestSupport::flush();
        c.configure();
        TestSupport::flush();
        const Settings saved = currentSettings();
        const std::vector<SetupValues> savedSetups = currentSetups();
        const QString path = workDir.filePath(QStringLiteral("setup%1.sta").arg(index++));
        ASSERT_TRUE(run([&] { backend->saveState(path); }));

        // Back to a fresh program, with the low-pass check the other way.
        backend->preset();
        table->setLowPassCheck(!saved.lowPassCheck);
        TestSupport::flush();
        const Settings before = currentSettings();
        ASSERT_TRUE(run([&] { backend->loadState(path); }));
        TestSupport::flush();

        EXPECT_EQ(currentSettings(), saved);
        EXPECT_EQ(currentSetups(), savedSetups);
        changedSettings += changedKeys(text(saved), text(before), settingsKeys());
        for (size_t n = 0; n < savedSetups.size(); ++n)
            changedSetups += changedKeys(text(0, savedSetups[n]), text(0, fresh), setupKeys());
    }
    EXPECT_EQ(changedSettings, all(settingsKeys()));
    EXPECT_EQ(changedSetups, all(setupKeys()));
}

// What a save appends after the analyser's own content, for a known state.
TEST_F(StateFile, TheAppendedSectionsAreTheStoredText)
{
    FixtureSetups *setups = backend->getFixtureSetups();
    setups->setCorrectionMethod(Method::BISECT);
    setups->setUserZ0(12.25);
    VukAlgorithmsSetup *setup = setups->setup(0);
    setup->leftFixtureConn()->fixture()->setPortsCount(2);
    setup->rightFixtureConn()->fixture()->setPortsCount(2);
    TestSupport::flush();
    const QString path = workDir.filePath(QStringLiteral("known.sta"));
    ASSERT_TRUE(run([&] { backend->saveState(path); }));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(file.readAll());
    const int start = content.indexOf(QStringLiteral("[VUK\\Settings]"));
    ASSERT_GT(start, 0) << "the analyser's content comes first";
    // The ports as the set-up assigns them on a 4-port analyser.
    EXPECT_EQ(content.mid(start), oneSetupText(QStringLiteral("BISECT"), QStringLiteral("12.25")));
}

} // namespace
