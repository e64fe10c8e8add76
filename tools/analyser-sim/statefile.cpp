// State and calibration files of the simulated analyser: INI-like text,
// own sections under "SIM\", every other section ignored on load.
#include "analyser-sim/simserver.h"
#include "analyser-sim/simserver_p.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>

#include <map>

namespace AnalyserSim {

namespace {
using Section = std::map<QString, QString>;
using Sections = std::map<QString, Section>; // keyed by upper-case name

const QString analyserSection = QStringLiteral("SIM\\Analyser");
const QString calibrationSection = QStringLiteral("SIM\\Calibration");
QString channelSection(unsigned n)
{
    return QStringLiteral("SIM\\Channel%1").arg(n);
}
QString channelCalibrationSection(unsigned n)
{
    return channelSection(n) + QStringLiteral("\\Calibration");
}

QString flag(bool b)
{
    return b ? QStringLiteral("1") : QStringLiteral("0");
}

QString joinNumbers(const RealVector &v)
{
    QStringList items;
    for (double x : v)
        items << Scpi::number(x);
    return items.join(',');
}

QString joinPorts(const std::vector<unsigned> &ports)
{
    QStringList items;
    for (unsigned p : ports)
        items << QString::number(p);
    return items.join(',');
}

class Writer
{
public:
    void section(const QString &name)
    {
        if (!m_text.isEmpty())
            m_text += '\n';
        m_text += '[' + name + "]\n";
    }
    void value(const QString &key, const QString &value) { m_text += key + '=' + value + '\n'; }
    bool save(const QString &path, QString *error) const
    {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            *error = file.errorString();
            return false;
        }
        // A write that did not all reach the disk (a full disk) must not be
        // committed: the flush is where a small file meets it.
        const QByteArray bytes = m_text.toUtf8();
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            *error = file.errorString();
            file.cancelWriting();
            return false;
        }
        if (!file.commit()) {
            *error = file.errorString();
            return false;
        }
        return true;
    }
    void comment(const QString &text) { m_text += "# " + text + '\n'; }

private:
    QString m_text;
};

void writeCalibration(Writer &w, const Calibration &cal)
{
    w.value("Type", cal.type);
    w.value("Ports", joinPorts(cal.ports));
    w.value("Frequencies", joinNumbers(cal.frequency));
}

// Own sections only ("SIM\..."); false when the file cannot be read.
bool readSections(const QString &path, Sections *out, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot open %1").arg(path);
        return false;
    }
    QTextStream in(&file);
    in.setCodec("UTF-8");
    Section *current = nullptr;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            const QString name = line.mid(1, line.size() - 2).trimmed().toUpper();
            current = name.startsWith(QLatin1String("SIM\\")) ? &(*out)[name] : nullptr;
            continue;
        }
        const int eq = line.indexOf('=');
        if (current && eq > 0)
            current->emplace(line.left(eq).trimmed(), line.mid(eq + 1));
    }
    return true;
}

const Section *sectionOf(const Sections &s, const QString &name)
{
    const auto it = s.find(name.toUpper());
    return it == s.end() ? nullptr : &it->second;
}

std::optional<QString> get(const Section &s, const char *key)
{
    const auto it = s.find(QString::fromLatin1(key));
    return it == s.end() ? std::nullopt : std::optional<QString>(it->second);
}

std::optional<Calibration> readCalibration(const Section &s, unsigned portCount)
{
    Calibration cal;
    cal.type = get(s, "Type").value_or(QString()).trimmed().toUpper();
    if (!calibrationTypes().contains(cal.type))
        return std::nullopt;
    for (const QString &p : get(s, "Ports").value_or(QString()).split(',', Qt::SkipEmptyParts)) {
        const auto port = Scpi::toUnsigned(p);
        if (!port || *port < 1 || *port > portCount)
            return std::nullopt;
        cal.ports.push_back(*port);
    }
    if (cal.ports.size() != calibrationPortCount(cal.type))
        return std::nullopt;
    for (const QString &f : get(s, "Frequencies").value_or(QString()).split(',', Qt::SkipEmptyParts)) {
        const auto v = Scpi::toDouble(f);
        if (!v)
            return std::nullopt;
        cal.frequency.push_back(*v);
    }
    if (cal.frequency.empty())
        return std::nullopt;
    return cal;
}
} // namespace

bool SimServer::writeStateFile(const QString &path, QString *error) const
{
    const bool withCalibration = m_state.saveType == QLatin1String("CSTate")
                                 || m_state.saveType == QLatin1String("CDSTate")
                                 || m_state.saveType == QLatin1String("CMSTate");
    Writer w;
    w.comment(QStringLiteral("Simulated analyser state"));
    w.section(analyserSection);
    w.value("SaveType", m_state.saveType);
    w.value("ActiveChannel", QString::number(m_state.activeChannel));
    w.value("TriggerSource", m_state.triggerSource);
    w.value("Output", flag(m_state.outputEnabled));
    w.value("Impedance", joinNumbers(m_state.impedance));
    for (unsigned n = 1; n <= m_state.channels.size(); ++n) {
        const ChannelState &ch = m_state.channels[n - 1];
        w.section(channelSection(n));
        w.value("SweepType", ch.sweepType);
        w.value("Start", Scpi::number(ch.start));
        w.value("Stop", Scpi::number(ch.stop));
        w.value("Points", QString::number(ch.points));
        w.value("IfBandwidth", Scpi::number(ch.ifBandwidth));
        w.value("Power", Scpi::number(ch.power));
        w.value("Continuous", flag(ch.continuous));
        w.value("Layout", QString::number(ch.layout));
        w.value("Correction", flag(ch.correction));
        w.value("Traces", QString::number(ch.traces.size()));
        for (size_t t = 0; t < ch.traces.size(); ++t)
            w.value(QStringLiteral("Trace%1").arg(t + 1), QStringLiteral("%1,%2,%3")
                                                              .arg(ch.traces[t].parameter)
                                                              .arg(ch.traces[t].sourcePort)
                                                              .arg(ch.traces[t].format));
        w.value("FixtureSimulator", flag(ch.fixtureSimulator));
        w.value("Deembedding", flag(ch.deembedding));
        for (size_t p = 0; p < ch.deembedPorts.size(); ++p) {
            const DeembedPort &dp = ch.deembedPorts[p];
            if (!dp.enabled && dp.file.isEmpty())
                continue;
            w.value(QStringLiteral("DeembedPort%1").arg(p + 1), flag(dp.enabled));
            w.value(QStringLiteral("DeembedFile%1").arg(p + 1), dp.file);
        }
        if (withCalibration && ch.calibration) {
            w.section(channelCalibrationSection(n));
            writeCalibration(w, *ch.calibration);
        }
    }
    return w.save(path, error);
}

bool SimServer::loadStateFile(const QString &path, QString *error)
{
    Sections sections;
    if (!readSections(path, &sections, error))
        return false;
    const Section *analyser = sectionOf(sections, analyserSection);
    if (!analyser) {
        *error = QStringLiteral("%1 holds no analyser state").arg(path);
        return false;
    }
    abortSweep();
    const Section &a = *analyser;
    if (const auto v = get(a, "SaveType"); v && saveTypeKeywords().contains(*v))
        m_state.saveType = *v;
    if (const auto v = get(a, "ActiveChannel"))
        setActiveChannel(Scpi::toUnsigned(*v).value_or(0));
    if (const auto v = get(a, "TriggerSource");
        v && QStringList({"INTernal", "EXTernal", "MANual", "BUS"}).contains(*v))
        m_state.triggerSource = *v;
    if (const auto v = get(a, "Output"))
        m_state.outputEnabled = Scpi::toBool(*v).value_or(m_state.outputEnabled);
    if (const auto v = get(a, "Impedance")) {
        const QStringList items = v->split(',');
        for (int p = 0; p < items.size() && p < int(m_state.portCount); ++p)
            if (const auto z = Scpi::toDouble(items[p]); z && *z >= 0.001 && *z <= 10000)
                m_state.impedance[size_t(p)] = *z;
    }
    for (unsigned n = 1; n <= m_state.channels.size(); ++n) {
        ChannelState &ch = m_state.channels[n - 1];
        m_snapshots[n - 1].reset();
        if (const Section *s = sectionOf(sections, channelSection(n))) {
            if (const auto v = get(*s, "SweepType"); v && QStringList({"LIN", "LOG", "SEGM", "POW"}).contains(*v))
                ch.sweepType = *v;
            if (const auto v = get(*s, "Stop"); v && Scpi::toDouble(*v))
                setStop(ch, *Scpi::toDouble(*v));
            if (const auto v = get(*s, "Start"); v && Scpi::toDouble(*v))
                setStart(ch, *Scpi::toDouble(*v));
            if (const auto v = get(*s, "Points"); v && Scpi::toUnsigned(*v))
                ch.points = qBound(1u, *Scpi::toUnsigned(*v), Defaults::maxPoints);
            if (const auto v = get(*s, "IfBandwidth"); v && Scpi::toDouble(*v))
                ch.ifBandwidth = qBound(Defaults::minIfBandwidth, *Scpi::toDouble(*v), Defaults::maxIfBandwidth);
            if (const auto v = get(*s, "Power"); v && Scpi::toDouble(*v))
                ch.power = qBound(Defaults::minPower, *Scpi::toDouble(*v), Defaults::maxPower);
            if (const auto v = get(*s, "Continuous"))
                ch.continuous = Scpi::toBool(*v).value_or(ch.continuous);
            if (const auto v = get(*s, "Layout"); v && Scpi::toUnsigned(*v))
                ch.layout = *Scpi::toUnsigned(*v);
            if (const auto v = get(*s, "Correction"))
                ch.correction = Scpi::toBool(*v).value_or(ch.correction);
            if (const auto v = get(*s, "Traces"); v && Scpi::toUnsigned(*v)) {
                ch.traces.assign(qBound(1u, *Scpi::toUnsigned(*v), Defaults::maxTraces), TraceState{});
                for (size_t t = 0; t < ch.traces.size(); ++t) {
                    const QStringList parts =
                        get(*s, qPrintable(QStringLiteral("Trace%1").arg(t + 1))).value_or(QString()).split(',');
                    if (parts.size() != 3)
                        continue;
                    ch.traces[t].parameter = parts[0].toUpper();
                    ch.traces[t].sourcePort = Scpi::toUnsigned(parts[1]).value_or(1);
                    ch.traces[t].format = parts[2];
                }
            }
            if (const auto v = get(*s, "FixtureSimulator"))
                ch.fixtureSimulator = Scpi::toBool(*v).value_or(false);
            if (const auto v = get(*s, "Deembedding"))
                ch.deembedding = Scpi::toBool(*v).value_or(false);
            for (unsigned p = 1; p <= m_state.portCount; ++p) {
                DeembedPort &dp = ch.deembedPorts[p - 1];
                dp.enabled = Scpi::toBool(get(*s, qPrintable(QStringLiteral("DeembedPort%1").arg(p))).value_or("0"))
                                 .value_or(false);
                dp.file = get(*s, qPrintable(QStringLiteral("DeembedFile%1").arg(p))).value_or(QString());
                loadDeembedFile(n, p);
            }
        }
        if (const Section *s = sectionOf(sections, channelCalibrationSection(n))) {
            if (auto cal = readCalibration(*s, m_state.portCount))
                ch.calibration = std::move(cal);
            else
                pushError(-250, QStringLiteral("Mass storage error; bad calibration of channel %1").arg(n));
        }
    }
    return true;
}

bool SimServer::writeCalibrationFile(unsigned channel, const QString &path, QString *error) const
{
    const ChannelState &ch = m_state.channels[channel - 1];
    Writer w;
    w.comment(QStringLiteral("Simulated analyser calibration"));
    w.section(calibrationSection);
    w.value("Channel", QString::number(channel));
    if (ch.calibration)
        writeCalibration(w, *ch.calibration);
    else
        w.value("Type", QStringLiteral("NONE"));
    return w.save(path, error);
}

bool SimServer::loadCalibrationFile(unsigned channel, const QString &path, QString *error)
{
    Sections sections;
    if (!readSections(path, &sections, error))
        return false;
    const Section *s = sectionOf(sections, calibrationSection);
    if (!s) {
        *error = QStringLiteral("%1 holds no calibration").arg(path);
        return false;
    }
    ChannelState &ch = m_state.channels[channel - 1];
    if (get(*s, "Type").value_or(QString()).trimmed().toUpper() == QLatin1String("NONE")) {
        ch.calibration.reset();
        return true;
    }
    auto cal = readCalibration(*s, m_state.portCount);
    if (!cal) {
        *error = QStringLiteral("%1: bad calibration").arg(path);
        return false;
    }
    ch.calibration = std::move(cal);
    return true;
}

} // namespace AnalyserSim
