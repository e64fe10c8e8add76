#include "pageharness.h"

#include "layoutcheck.h"
#include "tests/support/glossary.h"

#include "analyser-sim/analysersim.h"
#include "app/mainqmlbackend.h"
#include "app/settings.h"
#include "measurement/step.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMutex>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QUrl>
#include <QUuid>
#include <algorithm>

namespace {

const QString loopback = QStringLiteral("127.0.0.1");

// The settings file of the working directory, as Settings opens it.
QString settingsFilePath()
{
    return QDir::toNativeSeparators(QStringLiteral("settings/settings"));
}

// Every warning of the run, counted by text, next to the handler that
// prints them (Quick Test's own).
QtMessageHandler previousHandler = nullptr;
QMutex warningsMutex;
QStringList warnings;

void recordWarning(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg) {
        QMutexLocker lock(&warningsMutex);
        warnings.append(text);
    }
    if (previousHandler)
        previousHandler(type, context, text);
}

} // namespace

PageHarness::PageHarness(QObject *parent) : QObject(parent)
{
    m_simulator = std::make_unique<AnalyserSim::Simulator>();
    if (!m_simulator->start(loopback, 0))
        qFatal("The simulated analyser did not start: %s", qUtf8Printable(m_simulator->errorString()));
    m_port = m_simulator->port();

    // Every test file starts without a settings file; the analyser's
    // address comes from the settings, as in the program.
    QFile::remove(settingsFilePath());
    m_settings = new Settings(this);
    m_settings->setIpAddress(loopback);
    m_settings->setPort(m_port);

    BackendOptions options;
    options.remoteControlPort = 0;
    options.vnaTiming.pollIntervalMs = 100;
    options.vnaTiming.connectTimeoutMs = 1000;
    options.vnaTiming.queryTimeoutMs = 3000;
    m_folder = QDir::current().filePath(QStringLiteral("files-") + QUuid::createUuid().toString(QUuid::Id128));
    QDir().mkpath(m_folder);
    // The analyser state saved around a measurement goes to a file the
    // simulator writes: beside the test binary, another test process would
    // remove or overwrite it.
    Step::setStateBackupDirectory(m_folder);
    // So do the applied correction files and the temporary setup: the
    // program's "tmp" beside the binary is shared by the test processes.
    options.temporaryFolder = QDir(m_folder).filePath(QStringLiteral("tmp"));

    m_backend = new MainQmlBackend(m_settings, this, options);
}

PageHarness::~PageHarness()
{
    delete m_backend;
    m_backend = nullptr;
    delete m_settings;
    m_settings = nullptr;
    m_simulator.reset();
    Step::setStateBackupDirectory(QString());
    QDir(m_folder).removeRecursively();
}

int PageHarness::analyserPort() const
{
    return m_port;
}

void PageHarness::setAnalyserReady(bool ready)
{
    m_simulator->setReady(ready);
}

void PageHarness::stopAnalyser()
{
    m_simulator->stop();
}

bool PageHarness::startAnalyser()
{
    return m_simulator->isListening() || m_simulator->start(loopback, m_port);
}

void PageHarness::setSweepTime(int ms)
{
    m_simulator->setSweepTime(ms);
}

void PageHarness::setPortCount(int count)
{
    m_simulator->setPortCount(static_cast<unsigned>(count));
}

QStringList PageHarness::analyserExecute(const QString &line)
{
    return m_simulator->execute(line);
}

QStringList PageHarness::analyserLog() const
{
    QStringList lines;
    for (const AnalyserSim::LogEntry &entry : m_simulator->log())
        lines << entry.text;
    return lines;
}

void PageHarness::clearAnalyserLog()
{
    m_simulator->clearLog();
}

bool PageHarness::analyserReceived(const QString &prefix) const
{
    for (const AnalyserSim::LogEntry &entry : m_simulator->log())
        if (entry.text.startsWith(prefix, Qt::CaseInsensitive))
            return true;
    return false;
}

QVariant PageHarness::settingsFileValue(const QString &key)
{
    m_settings->save();
    QSettings file(settingsFilePath(), QSettings::IniFormat);
    return file.value(key);
}

QString PageHarness::tempPath(const QString &name) const
{
    return QDir(m_folder).filePath(name);
}

bool PageHarness::fileExists(const QString &path) const
{
    return QFile::exists(path);
}

QString PageHarness::fileUrl(const QString &path) const
{
    return QUrl::fromLocalFile(path).toString();
}

bool PageHarness::grabWindow(QObject *window, const QString &path) const
{
    auto *quickWindow = qobject_cast<QQuickWindow *>(window);
    // A window the windowing system has not shown yet has nothing to grab.
    if (!quickWindow || !quickWindow->isExposed())
        return false;
    return quickWindow->grabWindow().save(path);
}

QString PageHarness::environmentValue(const QString &name) const
{
    return qEnvironmentVariable(name.toLocal8Bit().constData());
}

int PageHarness::warningsContaining(const QString &text) const
{
    // Quick Test installs its own handler for each test file; ours goes in
    // front of whichever is current, from the first call on.
    const QtMessageHandler current = qInstallMessageHandler(recordWarning);
    if (current != recordWarning)
        previousHandler = current;
    QMutexLocker lock(&warningsMutex);
    return int(std::count_if(warnings.cbegin(), warnings.cend(),
                             [&text](const QString &warning) { return warning.contains(text); }));
}

QStringList PageHarness::layoutFaults(QObject *item, QObject *within) const
{
    return LayoutCheck::faults(qobject_cast<QQuickItem *>(item), qobject_cast<QQuickItem *>(within));
}

QStringList PageHarness::englishLeft(QObject *item, const QStringList &skipped) const
{
    static const TestSupport::Glossary glossary =
        TestSupport::readGlossary(QStringLiteral(VUK_SOURCE_DIR "/translations/glossary.tsv"));
    QStringList found = glossary.problems;
    for (const LayoutCheck::ShownText &shown : LayoutCheck::shownTexts(qobject_cast<QQuickItem *>(item))) {
        if (skipped.contains(shown.objectName))
            continue;
        const QStringList words = TestSupport::englishWords(shown.text, glossary);
        if (!words.isEmpty())
            found << shown.where + QStringLiteral(": English left: ") + words.join(QStringLiteral(", "));
    }
    return found;
}
