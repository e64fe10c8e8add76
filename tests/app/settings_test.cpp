#include "app/settings.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

namespace {

// Runs each test in a fresh working directory, since the settings file is
// found relative to it.
class SettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    }
    void TearDown() override { QDir::setCurrent(m_previous); }

    QString filePath() const { return m_dir.filePath("settings/settings"); }

    void writeFile(const QByteArray &text)
    {
        QDir(m_dir.path()).mkpath("settings");
        QFile file(filePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(text), text.size());
        // QSettings keeps a file's contents while its size and time stay the
        // same: a file of another text but the same size, written within the
        // same second, would be taken for the one read before. Each file of a
        // test gets a time of its own, set after the text is on the disk (a
        // flush at close would otherwise give it the present time again).
        ASSERT_TRUE(file.flush());
        m_fileTime = m_fileTime.isValid() ? m_fileTime.addSecs(-10) : QDateTime::currentDateTime().addSecs(-10);
        ASSERT_TRUE(file.setFileTime(m_fileTime, QFileDevice::FileModificationTime));
    }

    QString readFile() const
    {
        QFile file(filePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll());
    }

    QTemporaryDir m_dir;
    QDateTime m_fileTime;
    QString m_previous;
};

const char *const kProperties[] = {"darkTheme", "showHover", "saveUserSetup", "loadedStateFile",
                                   "ipAddress", "port",      "scalingFactor"};

// An unset value leaves no key in the file (no marker), and nothing else is
// written for it.
TEST_F(SettingsTest, NoFileLeavesEverythingUnsetAndExitWritesNoKeys)
{
    {
        Settings settings;
        for (const char *name : kProperties)
            EXPECT_FALSE(settings.property(name).isValid()) << name;
    }
    EXPECT_EQ(readFile().trimmed(), QString()) << readFile().toStdString();

    Settings again;
    for (const char *name : kProperties)
        EXPECT_FALSE(again.property(name).isValid()) << name;
    // A value made unset again leaves the file.
    again.setProperty("ipAddress", "192.0.2.1");
    again.save();
    EXPECT_TRUE(readFile().contains("ipAddress=192.0.2.1")) << readFile().toStdString();
    again.setProperty("ipAddress", QVariant());
    again.save();
    EXPECT_EQ(readFile().trimmed(), QString()) << readFile().toStdString();
}

TEST_F(SettingsTest, ValuesSurviveARestartWithTheirTypes)
{
    {
        Settings settings;
        settings.setProperty("darkTheme", true);
        settings.setProperty("showHover", false);
        settings.setProperty("saveUserSetup", true);
        settings.setProperty("loadedStateFile", "bench 3");
        settings.setProperty("ipAddress", "192.0.2.7");
        settings.setProperty("port", 5025);
        settings.setProperty("scalingFactor", "1.25");
    }
    Settings settings;
    EXPECT_EQ(settings.property("darkTheme"), QVariant(true));
    EXPECT_EQ(settings.property("darkTheme").userType(), int(QMetaType::Bool));
    EXPECT_EQ(settings.property("showHover"), QVariant(false));
    EXPECT_EQ(settings.property("showHover").userType(), int(QMetaType::Bool));
    EXPECT_EQ(settings.property("saveUserSetup"), QVariant(true));
    EXPECT_EQ(settings.property("loadedStateFile"), QVariant("bench 3"));
    EXPECT_EQ(settings.property("ipAddress"), QVariant("192.0.2.7"));
    EXPECT_EQ(settings.property("port").userType(), int(QMetaType::UInt));
    EXPECT_EQ(settings.property("port").toUInt(), 5025u);
    EXPECT_EQ(settings.property("scalingFactor"), QVariant("1.25"));
    ASSERT_TRUE(settings.port.hasValue());
    EXPECT_EQ(*settings.port, 5025u);
}

TEST_F(SettingsTest, FileValuesAreConvertedAndBadOnesBecomeTheDefault)
{
    struct Case
    {
        const char *fileText;
        const char *property;
        QVariant expected;
    };
    const Case cases[] = {
        {"[Network]\nport=abc\n", "port", QVariant(0u)},
        {"[Network]\nport=5025\n", "port", QVariant(5025u)},
        {"[Network]\nport=-1\n", "port", QVariant(0u)},
        {"[Network]\nport=70000\n", "port", QVariant(0u)},
        {"[Network]\nport=65535\n", "port", QVariant(65535u)},
        {"[Network]\nport=50.5\n", "port", QVariant(0u)},
        {"[General]\nisDarkTheme=true\n", "darkTheme", QVariant(true)},
        {"[General]\nisDarkTheme=false\n", "darkTheme", QVariant(false)},
        {"[General]\nisDarkTheme=no\n", "darkTheme", QVariant(false)},
        {"[General]\nshowHover=garbage\n", "showHover", QVariant(false)},
        {"[General]\nloadedStateFile=\n", "loadedStateFile", QVariant(QString(""))},
        // As earlier versions wrote the group.
        {"[%General]\nsaveUserSetup=true\n", "saveUserSetup", QVariant(true)},
        {"[Display]\nscalingFactor=1.5\n", "scalingFactor", QVariant("1.5")},
    };
    for (const Case &c : cases) {
        writeFile(c.fileText);
        Settings settings;
        const QVariant value = settings.property(c.property);
        EXPECT_TRUE(value.isValid()) << c.fileText;
        EXPECT_EQ(value.userType(), c.expected.userType()) << c.fileText;
        EXPECT_EQ(value, c.expected) << c.fileText;
    }
}

TEST_F(SettingsTest, EmptyStateFileNameCountsAsSet)
{
    writeFile("[General]\nloadedStateFile=\n");
    Settings settings;
    ASSERT_TRUE(settings.loadedStateFile.hasValue());
    EXPECT_EQ(QString("tmp-%1.sta").arg(*settings.loadedStateFile), QString("tmp-.sta"));
}

// A file written by hand is read and saved back with the program's three
// groups only, each key once, the changed values in place, a value that
// became unset gone and nothing added. (The INI writer keeps an order of
// its own: "[General]" first, then the groups and their keys by name.)
TEST_F(SettingsTest, HandWrittenFileIsReadChangedAndSavedWithItsOwnGroupsOnly)
{
    writeFile("[General]\nisDarkTheme=false\nshowHover=true\nsaveUserSetup=true\nloadedStateFile=bench\n\n"
              "[Network]\nipAddress=192.0.2.7\nport=5030\n\n"
              "[Display]\nscalingFactor=1.25\n");
    {
        Settings settings;
        EXPECT_EQ(settings.property("darkTheme"), QVariant(false));
        EXPECT_EQ(settings.property("showHover"), QVariant(true));
        EXPECT_EQ(settings.property("saveUserSetup"), QVariant(true));
        EXPECT_EQ(settings.property("loadedStateFile"), QVariant(QString("bench")));
        EXPECT_EQ(settings.property("ipAddress"), QVariant(QString("192.0.2.7")));
        EXPECT_EQ(settings.property("port"), QVariant(5030u));
        EXPECT_EQ(settings.property("scalingFactor"), QVariant(QString("1.25")));

        settings.setProperty("darkTheme", true);
        settings.setProperty("port", 5031);
        settings.setProperty("scalingFactor", "1.5");
        settings.setProperty("loadedStateFile", QVariant());
    }
    EXPECT_EQ(readFile(), QString("[General]\nisDarkTheme=true\nsaveUserSetup=true\nshowHover=true\n\n"
                                  "[Display]\nscalingFactor=1.5\n\n"
                                  "[Network]\nipAddress=192.0.2.7\nport=5031\n"));
    Settings again;
    EXPECT_EQ(again.property("darkTheme"), QVariant(true));
    EXPECT_EQ(again.property("port"), QVariant(5031u));
    EXPECT_FALSE(again.property("loadedStateFile").isValid());
}

// A file of an earlier version keeps the General keys in "[%General]" with
// markers for unset values; it is read, and the next save leaves the
// program's own groups only.
TEST_F(SettingsTest, EarlierVersionsFileIsReadAndRewrittenWithoutItsGroupAndMarkers)
{
    writeFile("[%General]\nisDarkTheme=true\nshowHover=@Invalid()\nsaveUserSetup=true\nloadedStateFile=bench\n\n"
              "[Network]\nipAddress=@Invalid()\nport=5025\n\n"
              "[Display]\nscalingFactor=@Invalid()\n");
    {
        Settings settings;
        EXPECT_EQ(settings.property("darkTheme"), QVariant(true));
        EXPECT_FALSE(settings.property("showHover").isValid());
        EXPECT_EQ(settings.property("loadedStateFile"), QVariant(QString("bench")));
        EXPECT_FALSE(settings.property("ipAddress").isValid());
        EXPECT_EQ(settings.property("port"), QVariant(5025u));
    }
    const QString text = readFile();
    EXPECT_FALSE(text.contains("%General")) << text.toStdString();
    EXPECT_FALSE(text.contains("@Invalid")) << text.toStdString();
    EXPECT_EQ(text.count("isDarkTheme="), 1) << text.toStdString();
    Settings again;
    EXPECT_EQ(again.property("darkTheme"), QVariant(true));
    EXPECT_EQ(again.property("saveUserSetup"), QVariant(true));
    EXPECT_EQ(again.property("loadedStateFile"), QVariant(QString("bench")));
    EXPECT_EQ(again.property("port"), QVariant(5025u));
}

// A "[General]" section added by hand to a file an earlier version wrote is
// the newer word.
TEST_F(SettingsTest, HandWrittenGeneralSectionWinsOverTheEarlierGroup)
{
    writeFile("[%General]\nisDarkTheme=true\nshowHover=true\n\n[General]\nisDarkTheme=false\n");
    {
        Settings settings;
        EXPECT_EQ(settings.property("darkTheme"), QVariant(false));
        EXPECT_EQ(settings.property("showHover"), QVariant(true));
    }
    EXPECT_EQ(readFile(), QString("[General]\nisDarkTheme=false\nshowHover=true\n"));
}

TEST_F(SettingsTest, NotifySignalsFireOnlyOnChangeButUndefinedAlwaysFiresWhenUnset)
{
    Settings settings;
    QSignalSpy dark(&settings, &Settings::darkThemeChanged);
    settings.setProperty("darkTheme", true);
    settings.setProperty("darkTheme", true);
    EXPECT_EQ(dark.count(), 1);
    settings.setProperty("darkTheme", "true"); // compares equal after conversion
    EXPECT_EQ(dark.count(), 1);
    settings.setProperty("darkTheme", false);
    EXPECT_EQ(dark.count(), 2);
    settings.setProperty("darkTheme", QVariant());
    EXPECT_EQ(dark.count(), 3);
    EXPECT_FALSE(settings.property("darkTheme").isValid());

    QSignalSpy hover(&settings, &Settings::showHowerChanged);
    settings.setProperty("showHover", QVariant());
    settings.setProperty("showHover", QVariant());
    EXPECT_EQ(hover.count(), 2);
    EXPECT_FALSE(settings.showHover.hasValue());

    QSignalSpy port(&settings, &Settings::portChanged);
    settings.setProperty("port", 5025);
    settings.setProperty("port", "5025");
    settings.setProperty("port", 5025u);
    EXPECT_EQ(port.count(), 1);
    settings.setProperty("port", "oops");
    EXPECT_EQ(port.count(), 2);
    EXPECT_EQ(settings.property("port"), QVariant(0u));

    // Each property has its own signal.
    QSignalSpy ip(&settings, &Settings::ipAddressChanged);
    QSignalSpy scaling(&settings, &Settings::scalingFactorChanged);
    QSignalSpy state(&settings, &Settings::loadedStateFileChanged);
    QSignalSpy save(&settings, &Settings::saveUserSetupChanged);
    settings.setProperty("ipAddress", "127.0.0.1");
    settings.setProperty("scalingFactor", "2");
    settings.setProperty("loadedStateFile", "a");
    settings.setProperty("saveUserSetup", true);
    EXPECT_EQ(ip.count(), 1);
    EXPECT_EQ(scaling.count(), 1);
    EXPECT_EQ(state.count(), 1);
    EXPECT_EQ(save.count(), 1);
    EXPECT_EQ(dark.count(), 3);
}

TEST_F(SettingsTest, PortWritesOutsideTheTcpRangeBecomeZero)
{
    const QVariant bad[] = {
        QVariant(-1),    QVariant(70000), QVariant(5025.5), QVariant("-5"), QVariant(qulonglong(1) << 40),
        QVariant(qInf())};
    for (const QVariant &value : bad) {
        Settings settings;
        settings.setProperty("port", 1234);
        settings.setProperty("port", value);
        EXPECT_EQ(settings.property("port"), QVariant(0u)) << value.toString().toStdString();
    }
    Settings settings;
    settings.setProperty("port", 8080.0);
    EXPECT_EQ(settings.property("port"), QVariant(8080u));
}

TEST_F(SettingsTest, ClearEmptiesTheFileButTheDestructorWritesTheValuesBack)
{
    {
        Settings settings;
        settings.setProperty("ipAddress", "10.1.2.3");
        settings.setProperty("port", 5025);
        settings.save();
        settings.clear();
        settings.settings.sync();
        EXPECT_FALSE(readFile().contains("ipAddress"));
        EXPECT_EQ(settings.property("ipAddress"), QVariant("10.1.2.3"));
    }
    EXPECT_TRUE(readFile().contains("ipAddress=10.1.2.3"));
    Settings settings;
    EXPECT_EQ(settings.property("port"), QVariant(5025u));
}

TEST_F(SettingsTest, DirectWriteOfScalingFactorIsSavedWithoutASignal)
{
    {
        Settings settings;
        QSignalSpy spy(&settings, &Settings::scalingFactorChanged);
        settings.scalingFactor = QString("1.5");
        EXPECT_EQ(spy.count(), 0);
    }
    Settings settings;
    EXPECT_EQ(settings.property("scalingFactor"), QVariant("1.5"));
}

TEST_F(SettingsTest, QmlSeesUndefinedAndWritesThroughTheContextProperty)
{
    auto settings = std::make_unique<Settings>();
    QQmlEngine engine;
    engine.rootContext()->setContextProperty("settings", settings.get());
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQml 2.15
        QtObject {
            property bool darkWasUndefined: settings.darkTheme === undefined
            property bool portWasUndefined: settings.port === undefined
            property int changes: 0
            property var conn: Connections {
                target: settings
                function onShowHowerChanged() { changes++ }
            }
            function apply() {
                settings.darkTheme = true
                settings.port = 5026
                settings.ipAddress = "127.0.0.1"
                settings.showHover = true
                settings.showHover = true
                settings.showHover = undefined
                return settings.port + 1
            }
        })",
                      QUrl());
    std::unique_ptr<QObject> root(component.create());
    ASSERT_TRUE(root) << component.errorString().toStdString();
    EXPECT_TRUE(root->property("darkWasUndefined").toBool());
    EXPECT_TRUE(root->property("portWasUndefined").toBool());
    QVariant result;
    ASSERT_TRUE(QMetaObject::invokeMethod(root.get(), "apply", Q_RETURN_ARG(QVariant, result)));
    EXPECT_EQ(result.toInt(), 5027);
    EXPECT_EQ(root->property("changes").toInt(), 2);
    EXPECT_EQ(settings->property("darkTheme"), QVariant(true));
    EXPECT_EQ(settings->property("port"), QVariant(5026u));
    EXPECT_FALSE(settings->showHover.hasValue());
    root.reset();
    settings.reset();

    Settings reread;
    EXPECT_EQ(reread.property("ipAddress"), QVariant("127.0.0.1"));
    EXPECT_EQ(reread.property("port"), QVariant(5026u));
}

} // namespace
