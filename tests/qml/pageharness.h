#pragma once
// The program's objects behind the pages under test: a simulated analyser
// on an ephemeral port, a fresh settings object and a real backend whose
// analyser proxy talks to that simulator. One harness per test file (per QML
// engine); QML reaches it as "harness", next to "backend" and "settings".

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class MainQmlBackend;
class Settings;

namespace AnalyserSim {
class Simulator;
}

class PageHarness : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int analyserPort READ analyserPort CONSTANT)

public:
    explicit PageHarness(QObject *parent = nullptr);
    // The backend goes first (it may still save a setup through the
    // analyser), then the settings, then the simulator.
    ~PageHarness() override;

    MainQmlBackend *backend() const { return m_backend; }
    Settings *settings() const { return m_settings; }
    int analyserPort() const;

    // The simulated analyser.
    Q_INVOKABLE void setAnalyserReady(bool ready);
    Q_INVOKABLE void stopAnalyser();
    Q_INVOKABLE bool startAnalyser();
    Q_INVOKABLE void setSweepTime(int ms);
    Q_INVOKABLE void setPortCount(int count);
    // Runs one line on the simulator (control commands "SIM:..." included)
    // and returns its reply lines.
    Q_INVOKABLE QStringList analyserExecute(const QString &line);
    Q_INVOKABLE QStringList analyserLog() const;
    Q_INVOKABLE void clearAnalyserLog();
    // Whether some received line starts with the text.
    Q_INVOKABLE bool analyserReceived(const QString &prefix) const;

    // Saves the settings and reads one key back from the settings file;
    // undefined when the key is absent or unset.
    Q_INVOKABLE QVariant settingsFileValue(const QString &key);

    // A path inside a folder private to this harness.
    Q_INVOKABLE QString tempPath(const QString &name) const;
    Q_INVOKABLE bool fileExists(const QString &path) const;
    // Saves what a window shows to an image file (PNG by the extension).
    Q_INVOKABLE bool grabWindow(QObject *window, const QString &path) const;

    // How many warnings since the first call of this test file contain the
    // text (the first call starts the count).
    Q_INVOKABLE int warningsContaining(const QString &text) const;

    // The geometry faults of what an item shows (layoutcheck.h), one line
    // each; empty when everything fits. With within, the item must also lie
    // inside that one (a popup inside the window's content).
    Q_INVOKABLE QStringList layoutFaults(QObject *item, QObject *within = nullptr) const;
    // The English words left in the texts an item shows, by the glossary of
    // the Russian catalogue, one line per text that has any; texts of items
    // named in skipped are not looked at.
    Q_INVOKABLE QStringList englishLeft(QObject *item, const QStringList &skipped) const;

    // An environment variable of the test run, empty when unset.
    Q_INVOKABLE QString environmentValue(const QString &name) const;

    // The URL a file dialog answers for a local path.
    Q_INVOKABLE QString fileUrl(const QString &path) const;

private:
    std::unique_ptr<AnalyserSim::Simulator> m_simulator;
    quint16 m_port = 0;
    Settings *m_settings = nullptr;
    MainQmlBackend *m_backend = nullptr;
    QString m_folder;
};
