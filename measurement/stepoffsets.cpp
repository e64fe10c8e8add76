#include "measurement/stepoffsets.h"

#include "measurement/logging.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/qmlfixtureport.h"
#include "measurement/vnafixtureconnection.h"

#include <QDebug>
#include <QLocale>

namespace StepOffsets {

QString secondsText(double seconds)
{
    return QStringLiteral("%1s").arg(QString::number(seconds, 'g', QLocale::FloatingPointShortest));
}

std::optional<double> meanDelay(const VNAFixtureConnection *side, const char *tag, DelayFailure *failure)
{
    const auto fail = [failure](DelayFailure why) {
        if (failure)
            *failure = why;
        return std::optional<double>();
    };
    if (!side || side->measureData().size() == 0)
        return fail(DelayFailure::NoPorts);
    double sum = 0.0;
    const auto &ports = side->measureData().items();
    for (const auto &port : ports) {
        qCDebug(lcMeasurement) << tag << port->measuredPort();
        const auto length = port->measureData()->length();
        if (!length)
            return fail(DelayFailure::NoLength);
        sum += *length;
    }
    return sum / static_cast<double>(ports.size());
}

} // namespace StepOffsets
