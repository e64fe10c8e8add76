#include "automation/server/errorcodes.h"

#include "automation/server/logging.h"

#include <QDebug>

namespace Korvel {
namespace Automation {

const QHash<int, QString> &errorMessages()
{
    static const QHash<int, QString> table = {
        {100, QStringLiteral("Command error")},
        {101, QStringLiteral("Unmatched quote")},
        {102, QStringLiteral("Unmatched bracket")},
        {103, QStringLiteral("Invalid value in numeric list")},
        {104, QStringLiteral("Data type error")},
        {105, QStringLiteral("GET not allowed")},
        {106, QStringLiteral("Numeric parameter overflow")},
        {107, QStringLiteral("Wrong units in numeric data")},
        {108, QStringLiteral("Parameter not allowed")},
        {109, QStringLiteral("Missing parameter")},
        {110, QStringLiteral("Command header error")},
        {114, QStringLiteral("Header suffix out of range")},
        {115, QStringLiteral("Input buffer is full")},
        {117, QStringLiteral("Invalid number of dimensions in a channel list")},
        {130, QStringLiteral("Suffix eror")},
        {177, QStringLiteral("No entry in list to retrieve (number list or channel list)")},
        {178, QStringLiteral("Too many dimensions in entry to be returned in parameters")},
        {195, QStringLiteral("DESIGN ERROR: Too many numeric suffices in Command Spec")},
        {199, QStringLiteral("No Input Command to parse")},
        {200, QStringLiteral("Execution error")},
        {201, QStringLiteral("Invalid channel index")},
        {202, QStringLiteral("Invalid trace index")},
        {203, QStringLiteral("Invalid marker index")},
        {204, QStringLiteral("Marker is not active")},
        {205, QStringLiteral("Invalid save type specifier")},
        {206, QStringLiteral("Invalid sweep type specifier")},
        {207, QStringLiteral("Invalid trigger source specifier")},
        {208, QStringLiteral("Invalid measurement parameter specifier")},
        {209, QStringLiteral("Invalid format specifier")},
        {211, QStringLiteral("Trigger ignored")},
        {212, QStringLiteral("Invalid trigger source")},
        {213, QStringLiteral("Init ignored")},
        {215, QStringLiteral("Invalid segment data")},
        {216, QStringLiteral("Invalid standard type specifier")},
        {220, QStringLiteral("Parameter error")},
        {221, QStringLiteral("Invalid port index")},
        {222, QStringLiteral("Data out of range")},
        {224, QStringLiteral("Illegal parameter value")},
        {240, QStringLiteral("Analyzer not ready")},
        {256, QStringLiteral("File name not found")},
        {260, QStringLiteral("Invalid setup index")},
        {261, QStringLiteral("Invalid step index")},
        {262, QStringLiteral("Invalid step connection")},
        {263, QStringLiteral("Step not measured")},
        {264, QStringLiteral("Offset not enable")},
        {265, QStringLiteral("Measure OPEN not enable")},
        {266, QStringLiteral("Measure SHORT not enable")},
        {267, QStringLiteral("Reflection offset not enable")},
        {268, QStringLiteral("Step type is not defined in the scpi automation module")},
        {269, QStringLiteral("Fixture not enable")},
        {270, QStringLiteral("Connection not enable")},
        {271, QStringLiteral("Invalid calculation method type")},
        {272, QStringLiteral("Invalid number of ports")},
        {273, QStringLiteral("Invalid sweep type")},
        {274, QStringLiteral("Invalid bandwidth")},
        {275, QStringLiteral("Invalid frequency")},
        {276, QStringLiteral("Invalid frequency step")},
        {277, QStringLiteral("Invalid output power")},
        {278, QStringLiteral("Invalid sweep points number")},
        {279, QStringLiteral("Low pass mode not enable")},
        {280, QStringLiteral("Low pass mode is ignored")},
        {281, QStringLiteral("Invalid Z0 error")},
        {282, QStringLiteral("Invalid calibration type")},
        {283, QStringLiteral("Invalid electrical length")},
        {284, QStringLiteral("Invalid impedance")},
        {285, QStringLiteral("Invalid gating")},
        {286, QStringLiteral("Delete error")},
        {288, QStringLiteral("Root application error")},
        {289, QStringLiteral("Fixture model has notices")},
        {400, QStringLiteral("Query error")},
        {403, QStringLiteral("Query no data")},
        {404, QStringLiteral("Query truncated")},
        {410, QStringLiteral("Query INTERRUPTED")},
    };
    return table;
}

void buildErrorMessages()
{
    (void)errorMessages();
}

QString errorText(int code)
{
    return errorMessages().value(code);
}

QString errorQueryAnswer(int code)
{
    if (code == 0)
        return QStringLiteral("0, No error");
    return QStringLiteral("-%1, %2").arg(code).arg(errorText(code));
}

void logCommandError(int code)
{
    QString line = QStringLiteral("CMD error %1").arg(code);
    const QString text = errorText(code);
    if (!text.isEmpty())
        line += QLatin1Char(' ') + text;
    qCWarning(lcAutomation).noquote() << line;
}

} // namespace Automation
} // namespace Korvel
