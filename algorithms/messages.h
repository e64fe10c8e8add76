#pragma once
// User-visible error texts shared by several modules.
//
// Every source file that includes this header gets its own copy of each text,
// built when the program is loaded: QObject::tr runs before the application
// object and any translator exist, so these texts always keep their source
// wording. Texts used by one module only are written where they are emitted
// and translated there.

#include <QObject>
#include <QString>

namespace Algorithms {
namespace Messages {

static const QString noisySignal =
    QObject::tr("The signal is too noisy. Check fixture connections and repeat the measurement.");
static const QString cannotReadFrequencyGrid = QObject::tr("Cannot read the frequency grid");
static const QString cannotReadSParameters = QObject::tr("Cannot read S-parameters data");
static const QString cannotReadZ0 = QObject::tr("Cannot read z0 impedance value");
static const QString criticalError = QObject::tr("Critical error. Please restart application");
static const QString noLengthData = QObject::tr("Calculation error. There is no length data");
static const QString noCalculatedData = QObject::tr("There is no calculated data");
static const QString notEnoughPorts = QObject::tr("Not enough number of ports");
// The file name is appended after the trailing blank.
static const QString cannotRecallStateFile = QObject::tr("Cannot recall state file: ");
// The command text is appended.
static const QString vnaExchangeError = QObject::tr("The error during data exchange with VNA has been occurred");

} // namespace Messages
} // namespace Algorithms
