#pragma once

// Saves the analyser state before a measurement from the analyser and
// restores it afterwards: the state and calibration are stored to files, the
// analyser is preset and the user's sweep settings and calibration are put
// back, so the measurement runs on known settings; restore() reloads the
// user's state and confirms it by reading the settings back. A backup that
// could not be reloaded (the link stayed down) is kept and reloaded before
// the next backup in that folder.

#include "device/syncedvnadevice.h"
#include "device/vnadevice.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

class SyncedVnaDevice;

class DeviceStateBackup
{
    Q_DECLARE_TR_FUNCTIONS(DeviceStateBackup)

public:
    // The files go to the "tmp" subdirectory of `directory` (the application
    // directory when empty).
    explicit DeviceStateBackup(SyncedVnaDevice *device, QString directory = QString());
    ~DeviceStateBackup();

    DeviceStateBackup(const DeviceStateBackup &) = delete;
    DeviceStateBackup &operator=(const DeviceStateBackup &) = delete;

    // GUI thread, before the measurement. False with errorString() set when
    // the state could not be saved (nothing is changed then: a save type
    // already changed is put back); once the preset was sent, a failure
    // reloads the saved state before returning.
    bool save();
    // After the measurement, from the thread that runs it: reloads the saved
    // state and reads the settings back. False with errorString() naming the
    // settings that differ, or telling that the analyser could not be
    // reached (the backup is then kept for the next save()).
    bool restore();

    QString errorString() const { return error; }
    std::optional<VNADevice::SaveType> savedType() const { return m_savedType; }
    QString stateFile() const { return m_stateFile; }
    QString calibrationFile() const { return m_calibrationFile; }

private:
    bool fail(const QString &text);
    void release();
    // Reloads (or, without a state file, only puts back the save type) and
    // returns the text for the user; empty when the settings are as before.
    QString putBack(bool reload);
    // The stages of save(), in their order; each false with the error set.
    bool claimFiles();
    bool restorePending();
    bool readSettingsBefore();
    bool storeFiles();
    bool presetAnalyser();

    SyncedVnaDevice *device;
    std::optional<VNADevice::SaveType> m_savedType;
    VNADevice::Settings m_before;
    QString m_stateFile;
    QString m_calibrationFile;
    QString directory;
    QString error;
    bool claimed = false; // this backup holds its file names
    bool saved = false; // save() succeeded and restore() has not run
};
