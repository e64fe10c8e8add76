#pragma once
// What the save tests share: the report of one backend action, and a backend
// whose 2x-thru between analyser ports 1 and 2 has been measured, so that
// every save (setup, correction, raw data, test mode) has something to write.

#include "app/mainqmlbackend.h"
#include "device/stagedfile.h"
#include "device/touchstoneio.h"
#include "measurement/fixturesetups.h"
#include "measurement/measureenums.h"
#include "measurement/transmissionstep.h"
#include "measurement/vukalgorithmssetup.h"
#include "tests/app/backendfixture.h"
#include "tests/support/eventloop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSignalSpy>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

namespace SaveTests {

// What one backend action reported.
struct ActionReport
{
    QStringList errors;
    QStringList messages;
};

inline ActionReport runAction(MainQmlBackend &backend, const std::function<void()> &action)
{
    QSignalSpy errors(&backend, &MainQmlBackend::error);
    QSignalSpy messages(&backend, &MainQmlBackend::message);
    action();
    TestSupport::flush();
    ActionReport report;
    for (const auto &args : errors)
        report.errors << args.at(0).toString();
    for (const auto &args : messages)
        report.messages << args.at(0).toString();
    return report;
}

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A file's bytes without its date line (the minute it was written).
inline QByteArray withoutDate(const QByteArray &bytes)
{
    QByteArray kept;
    for (const QByteArray &line : bytes.split('\n'))
        if (!line.startsWith("! Date: "))
            kept += line + '\n';
    return kept;
}

// The regular files of a folder and their bytes, hidden ones included.
inline std::map<QString, QByteArray> folderFiles(const QString &folder)
{
    std::map<QString, QByteArray> files;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden))
        files[name] = readBytes(dir.filePath(name));
    return files;
}

// The kinds of save, each under one base path.
enum class Save { Setup, Correction, RawData, TestMode };

inline const char *saveName(Save kind)
{
    switch (kind) {
    case Save::Setup:
        return "setup";
    case Save::Correction:
        return "correction";
    case Save::RawData:
        return "raw data";
    case Save::TestMode:
        return "test mode";
    }
    return "";
}

inline void runSave(MainQmlBackend &backend, Save kind, const QString &base)
{
    switch (kind) {
    case Save::Setup:
        backend.saveState(base);
        break;
    case Save::Correction:
        backend.saveCorrectionFiles(base);
        break;
    case Save::RawData:
        backend.saveRawDataFiles(base);
        break;
    case Save::TestMode:
        backend.saveTestModeFiles(base);
        break;
    }
}

// A backend on a 2x-thru of the given number of points whose thru step has
// been measured; every save has its data then.
class MeasuredThru : public BackendFixture
{
protected:
    // Null (with a test failure) when the analyser or the measurement failed.
    MainQmlBackend *measuredBackend(unsigned points = 60)
    {
        sim->execute(QStringLiteral("SENS1:SWE:POIN %1").arg(points));
        sim->execute(QStringLiteral("SENS1:FREQ:STAR 100000000"));
        sim->execute(QStringLiteral("SENS1:FREQ:STOP %1").arg(qint64(points) * 100000000));
        sim->setScene(AnalyserSim::Scene::twoXThru(1, 2));
        MainQmlBackend &b = makeBackend();
        const bool up = TestSupport::waitUntil("the analyser's grid of " + std::to_string(points) + " points", [&] {
            return b.getVnaDevice()->portsCount().has_value() && b.getVnaDevice()->pointsCount() == points;
        });
        EXPECT_TRUE(up);
        if (!up)
            return nullptr;
        TestSupport::flush();
        VukAlgorithmsSetup *setup = b.getFixtureSetups()->setup(0);
        auto *thru = qobject_cast<TransmissionStep *>(setup->steps().at(0).get());
        EXPECT_NE(thru, nullptr);
        if (!thru)
            return nullptr;
        QSignalSpy errors(&b, &MainQmlBackend::error);
        thru->measureFromVna();
        TestSupport::flush();
        const bool measured = thru->thruMeasured() == MeasureEnums::MeasureStatus::MEASURED;
        EXPECT_TRUE(measured) << (errors.isEmpty() ? std::string() : errors.at(0).at(0).toString().toStdString());
        return measured ? &b : nullptr;
    }
};

} // namespace SaveTests
