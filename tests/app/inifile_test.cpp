#include "app/rawdatafiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

// The test-mode parameters are written as text of the program's own (so that
// the file goes through the same staged write as every other file); QSettings
// must read back every key and value as it would have written them.
TEST(IniFileText, QSettingsReadsBackEveryKeyAndValue)
{
    const QList<QPair<QString, QVariant>> values = {
        {QStringLiteral("Mode"), QStringLiteral("LOW")},
        {QStringLiteral("Min_gate_time"), QStringLiteral("-200 ps")},
        {QStringLiteral("4_x_Rise_time"), QStringLiteral("0.59 n")},
        {QStringLiteral("Coefficient_N"), 4},
        {QStringLiteral("Kaiser_Beta_X"), 6.0},
        {QStringLiteral("Coefficient_Nrt"), 0.89},
        {QStringLiteral("Flag"), true},
        {QStringLiteral("Nothing"), QVariant()},
        {QStringLiteral("Коэффициент_N"), QStringLiteral("Ом")},
        {QStringLiteral("with/slash"), QStringLiteral("a")},
        {QStringLiteral("per%cent and blank"), QStringLiteral("b")},
        {QStringLiteral("list"), QStringLiteral("a,b")},
        {QStringLiteral("semicolon"), QStringLiteral("a;b")},
        {QStringLiteral("equals"), QStringLiteral("a=b")},
        {QStringLiteral("blanks"), QStringLiteral(" lead and trail ")},
        {QStringLiteral("quotes"), QStringLiteral("say \"hi\" \\ back")},
        {QStringLiteral("micro"), QStringLiteral("1.5 \u00b5s")},
        {QStringLiteral("control"), QStringLiteral("tab\there\x01"
                                                   "0")},
        {QStringLiteral("at"), QStringLiteral("@String(x)")},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run_ParametersTestMode.ini"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(iniFileText(QStringLiteral("PARAMETERS"), values));
    }
    QSettings ini(path, QSettings::IniFormat);
    ASSERT_EQ(ini.status(), QSettings::NoError);
    ini.beginGroup(QStringLiteral("PARAMETERS"));
    EXPECT_EQ(ini.allKeys().size(), values.size()); // "with/slash" is a key of a subgroup
    for (const auto &[key, value] : values) {
        SCOPED_TRACE(key.toStdString());
        ASSERT_TRUE(ini.contains(key));
        EXPECT_EQ(ini.value(key).isValid(), value.isValid());
        EXPECT_EQ(ini.value(key).toString(), value.toString());
    }
}

} // namespace
