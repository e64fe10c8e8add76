#include "app/statesections.h"

#include "app/vnastateio.h"
#include "device/taskprogress.h"
#include "device/vnadevice.h"
#include "measurement/fixture.h"
#include "measurement/vnafixtureconnection.h"
#include "measurement/vukalgorithmssetup.h"

#include <QMetaEnum>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>

namespace StateSections {

namespace {

// No analyser has more ports than this, so no valid file holds more set-ups,
// more ports per fixture or a higher port index.
constexpr uint portsLimit = VNADevice::maxPortsCount;

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// The enum's key name, "---" for a value without one.
template<typename Enum>
QString enumText(Enum value)
{
    const char *key = QMetaEnum::fromType<Enum>().valueToKey(static_cast<int>(value));
    return key ? QString::fromLatin1(key) : QStringLiteral("---");
}

// The value of a key name; the enum's 0 when missing or no key.
template<typename Enum>
Enum enumValue(const std::optional<QString> &text)
{
    if (!text)
        return Enum{};
    bool ok = false;
    const int value = QMetaEnum::fromType<Enum>().keyToValue(text->toLatin1().constData(), &ok);
    return ok ? static_cast<Enum>(value) : Enum{};
}

// The number; 0 when missing or not a number ("nan" and "inf" included: no
// impedance is either).
double decimalValue(const std::optional<QString> &text)
{
    if (!text)
        return 0.0;
    bool ok = false;
    const double value = text->toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

// Where the lines of a section go: the file, or a text.
using LineSink = std::function<void(const QString &key, const QString &value)>;

// One key of a section whose values are the record V: how its line (or, for
// a port list, its numbered lines) is written and how it is read back.
template<typename V>
struct Key
{
    const char *name;
    void (*write)(const LineSink &line, const QString &key, const V &values);
    void (*read)(Reader &reader, const QString &section, const QString &key, V &values);
};

// "true" or "false".
template<typename V, bool V::*member>
constexpr Key<V> flagKey(const char *name)
{
    return {name,
            [](const LineSink &line, const QString &key, const V &values) { line(key, boolText(values.*member)); },
            [](Reader &reader, const QString &section, const QString &key, V &values) {
                values.*member = reader.flag(section, key);
            }};
}

// A whole number from 0 to limit in decimal; fallback when missing.
template<typename V, uint V::*member, uint fallback, uint limit>
constexpr Key<V> numberKey(const char *name)
{
    return {
        name,
        [](const LineSink &line, const QString &key, const V &values) { line(key, QString::number(values.*member)); },
        [](Reader &reader, const QString &section, const QString &key, V &values) {
            values.*member = reader.number(section, key, fallback, limit);
        }};
}

// The key name of an enum value.
template<typename V, typename Enum, Enum V::*member>
constexpr Key<V> enumKey(const char *name)
{
    return {name,
            [](const LineSink &line, const QString &key, const V &values) { line(key, enumText(values.*member)); },
            [](Reader &reader, const QString &section, const QString &key, V &values) {
                values.*member = enumValue<Enum>(reader.text(section, key));
            }};
}

// A number with six significant digits.
template<typename V, double V::*member>
constexpr Key<V> decimalKey(const char *name)
{
    return {name,
            [](const LineSink &line, const QString &key, const V &values) {
                line(key, QString::number(values.*member, 'g', 6));
            },
            [](Reader &reader, const QString &section, const QString &key, V &values) {
                values.*member = decimalValue(reader.text(section, key));
            }};
}

// Analyser port indices entry by entry, the key stem followed by the entry's
// index; as many entries are read as count holds (0 for a missing one).
template<typename V, std::vector<uint> V::*member, uint V::*count>
constexpr Key<V> portsKey(const char *stem)
{
    return {stem,
            [](const LineSink &line, const QString &key, const V &values) {
                const std::vector<uint> &ports = values.*member;
                for (size_t i = 0; i < ports.size(); ++i)
                    line(key + QString::number(i), QString::number(ports[i]));
            },
            [](Reader &reader, const QString &section, const QString &key, V &values) {
                std::vector<uint> &ports = values.*member;
                ports.clear();
                ports.reserve(values.*count);
                for (uint i = 0; i < values.*count && !reader.failed(); ++i)
                    ports.push_back(reader.number(section, key + QString::number(i), 0, portsLimit - 1));
            }};
}

using CorrectionMethod = MeasureEnums::CorrectionMethod;
using Z0Conversion = MeasureEnums::Z0Conversion;

constexpr Key<Settings> settingsTable[] = {
    numberKey<Settings, &Settings::setupCount, 0, portsLimit>("SetupCount"),
    enumKey<Settings, CorrectionMethod, &Settings::correctionMethod>("MeasureMethod"),
    flagKey<Settings, &Settings::lowPassCheck>("LowPassCheck"),
    enumKey<Settings, Z0Conversion, &Settings::z0ConversionType>("Z0ConversionType"),
    decimalKey<Settings, &Settings::userZ0>("UserZ0"),
};

// The counts come before the lists they size.
constexpr Key<Setup> setupTable[] = {
    flagKey<Setup, &Setup::leftEnabled>("FixtureAEnabled"),
    numberKey<Setup, &Setup::leftPorts, 1, portsLimit>("FixtureAPortsCount"),
    flagKey<Setup, &Setup::rightEnabled>("FixtureBEnabled"),
    numberKey<Setup, &Setup::rightPorts, 1, portsLimit>("FixtureBPortsCount"),
    flagKey<Setup, &Setup::abThru>("ABEnabled"),
    flagKey<Setup, &Setup::aa>("AAuxEnabled"),
    flagKey<Setup, &Setup::bb>("BAuxEnabled"),
    flagKey<Setup, &Setup::abDut>("DutEnabled"),
    portsKey<Setup, &Setup::left, &Setup::leftPorts>("FixtureAPort"),
    portsKey<Setup, &Setup::right, &Setup::rightPorts>("FixtureBPort"),
    portsKey<Setup, &Setup::leftAux, &Setup::leftPorts>("FixtureAAuxPort"),
    portsKey<Setup, &Setup::rightAux, &Setup::rightPorts>("FixtureBAuxPort"),
};

constexpr Key<Info> infoTable[] = {
    numberKey<Info, &Info::minimumRequiredPortCount, 0, portsLimit>("MinimumRequiredPortCount"),
};

template<typename V, size_t N>
QStringList keysOf(const Key<V> (&table)[N])
{
    QStringList keys;
    for (const Key<V> &key : table)
        keys << QLatin1String(key.name);
    return keys;
}

template<typename V, size_t N>
void writeKeys(const Key<V> (&table)[N], const V &values, const LineSink &line)
{
    for (const Key<V> &key : table)
        key.write(line, QLatin1String(key.name), values);
}

template<typename V, size_t N>
void writeSection(VnaStateIO &io, const QString &section, const Key<V> (&table)[N], const V &values)
{
    io.writeSection(section);
    writeKeys(table, values, [&io](const QString &key, const QString &value) { io.writeValue(key, value); });
    io.writeEmptyLine();
}

template<typename V, size_t N>
QString sectionText(const QString &section, const Key<V> (&table)[N], const V &values)
{
    QString text = QLatin1Char('[') + section + QStringLiteral("]\n");
    writeKeys(table, values, [&text](const QString &key, const QString &value) {
        text += key + QLatin1Char('=') + value + QLatin1Char('\n');
    });
    return text + QLatin1Char('\n');
}

// Stops at the first invalid value: what follows keeps its default.
template<typename V, size_t N>
V readSection(Reader &reader, const QString &section, const Key<V> (&table)[N])
{
    V values;
    for (const Key<V> &key : table) {
        if (reader.failed())
            break;
        key.read(reader, section, QLatin1String(key.name), values);
    }
    return values;
}

// Overwrites every current entry of the connection's list; entries the
// values do not hold become 0.
void applyPorts(VNAFixtureConnection *connection, const std::vector<uint> &ports)
{
    const int count = connection->attachedPorts().size();
    for (int i = 0; i < count; ++i) {
        const size_t index = static_cast<size_t>(i);
        connection->setAttachedVnaPort(index, index < ports.size() ? ports[index] : 0u);
    }
}

const QRegularExpression wholeNumber(QStringLiteral("^\\s*[+-]?\\d+\\s*$"));

} // namespace

bool Settings::operator==(const Settings &other) const
{
    return std::tie(setupCount, correctionMethod, lowPassCheck, z0ConversionType, userZ0)
           == std::tie(other.setupCount, other.correctionMethod, other.lowPassCheck, other.z0ConversionType,
                       other.userZ0);
}

bool Setup::operator==(const Setup &other) const
{
    return std::tie(leftEnabled, leftPorts, rightEnabled, rightPorts, abThru, aa, bb, abDut, left, right, leftAux,
                    rightAux)
           == std::tie(other.leftEnabled, other.leftPorts, other.rightEnabled, other.rightPorts, other.abThru, other.aa,
                       other.bb, other.abDut, other.left, other.right, other.leftAux, other.rightAux);
}

bool Info::operator==(const Info &other) const
{
    return minimumRequiredPortCount == other.minimumRequiredPortCount;
}

QString settingsSection()
{
    return QStringLiteral("VUK\\Settings");
}

QString setupSection(int n)
{
    return QStringLiteral("VUK\\Settings\\FixtureSetup") + QString::number(n);
}

QString infoSection()
{
    return QStringLiteral("VUK\\SetupsInfo");
}

QStringList settingsKeys()
{
    return keysOf(settingsTable);
}

QStringList setupKeys()
{
    return keysOf(setupTable);
}

QStringList infoKeys()
{
    return keysOf(infoTable);
}

Setup snapshot(const VukAlgorithmsSetup &setup)
{
    Setup values;
    values.leftEnabled = setup.leftFixtureEnabled();
    values.leftPorts = setup.leftFixtureConn()->fixture()->portsCount();
    values.rightEnabled = setup.rightFixtureEnabled();
    values.rightPorts = setup.rightFixtureConn()->fixture()->portsCount();
    values.abThru = setup.abThruConnectionEnabled();
    values.aa = setup.aaConnectionEnabled();
    values.bb = setup.bbConnectionEnabled();
    values.abDut = setup.abDutConnectionEnabled();
    values.left = setup.leftFixtureConn()->attachedPorts().items();
    values.right = setup.rightFixtureConn()->attachedPorts().items();
    values.leftAux = setup.leftFixtureAuxConn()->attachedPorts().items();
    values.rightAux = setup.rightFixtureAuxConn()->attachedPorts().items();
    return values;
}

void apply(VukAlgorithmsSetup &setup, const Setup &values, TaskProgress &progress)
{
    setup.setLeftFixtureEnabled(values.leftEnabled);
    progress.step();
    setup.leftFixtureConn()->fixture()->setPortsCount(values.leftPorts);
    progress.step();
    setup.setRightFixtureEnabled(values.rightEnabled);
    progress.step();
    setup.rightFixtureConn()->fixture()->setPortsCount(values.rightPorts);
    progress.step();
    setup.setAbThruConnectionEnabled(values.abThru);
    progress.step();
    setup.setAaConnectionEnabled(values.aa);
    progress.step();
    setup.setBbConnectionEnabled(values.bb);
    progress.step();
    setup.setAbDutConnectionEnabled(values.abDut);
    progress.step();
    applyPorts(setup.leftFixtureConn(), values.left);
    applyPorts(setup.rightFixtureConn(), values.right);
    progress.step();
    applyPorts(setup.leftFixtureAuxConn(), values.leftAux);
    applyPorts(setup.rightFixtureAuxConn(), values.rightAux);
}

Info infoOf(const std::vector<Setup> &setups)
{
    uint largestPort = 0;
    uint largestFixture = 0;
    for (const Setup &setup : setups) {
        for (const auto *ports : {&setup.left, &setup.right, &setup.leftAux, &setup.rightAux})
            for (uint port : *ports)
                largestPort = std::max(largestPort, port);
        largestFixture = std::max({largestFixture, setup.leftPorts, setup.rightPorts});
    }
    return Info{std::max(largestPort + 1, largestFixture)};
}

void write(VnaStateIO &io, const Settings &values)
{
    writeSection(io, settingsSection(), settingsTable, values);
}

void write(VnaStateIO &io, int n, const Setup &values)
{
    writeSection(io, setupSection(n), setupTable, values);
}

void write(VnaStateIO &io, const Info &values)
{
    writeSection(io, infoSection(), infoTable, values);
}

QString text(const Settings &values)
{
    return sectionText(settingsSection(), settingsTable, values);
}

QString text(int n, const Setup &values)
{
    return sectionText(setupSection(n), setupTable, values);
}

QString text(const Info &values)
{
    return sectionText(infoSection(), infoTable, values);
}

std::optional<QString> Reader::text(const QString &section, const QString &key)
{
    return m_io.value(section, key);
}

uint Reader::number(const QString &section, const QString &key, uint fallback, uint limit)
{
    const std::optional<QString> value = text(section, key);
    if (!value)
        return fallback;
    bool ok = false;
    const qlonglong number = value->toLongLong(&ok);
    if (ok && number >= 0 && number <= static_cast<qlonglong>(limit))
        return static_cast<uint>(number);
    // A signed whole number too long for toLongLong is out of range too.
    if ((ok || wholeNumber.match(*value).hasMatch()) && !m_invalid)
        m_invalid = Invalid{section, key, *value};
    return fallback;
}

bool Reader::flag(const QString &section, const QString &key)
{
    const std::optional<QString> value = text(section, key);
    return !(value && *value == QLatin1String("false"));
}

bool hasSettings(Reader &reader)
{
    // The first key of the first section, which every save writes.
    return reader.text(settingsSection(), QLatin1String(settingsTable[0].name)).has_value();
}

Settings readSettings(Reader &reader)
{
    return readSection(reader, settingsSection(), settingsTable);
}

Setup readSetup(Reader &reader, int n)
{
    return readSection(reader, setupSection(n), setupTable);
}

Info readInfo(Reader &reader)
{
    return readSection(reader, infoSection(), infoTable);
}

} // namespace StateSections
