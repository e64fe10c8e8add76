#include "measurement/measureenums.h"

#include <QQmlEngine>

Algorithms::CalcMethod MeasureEnums::toCalcMethod(CorrectionMethod method)
{
    return toCalcMethod(int(method));
}

Algorithms::CalcMethod MeasureEnums::toCalcMethod(int method)
{
    switch (method) {
    case int(CorrectionMethod::TIME_GATING):
        return Algorithms::CalcMethod::TimeGate;
    case int(CorrectionMethod::BISECT):
        return Algorithms::CalcMethod::Bisection;
    default:
        return Algorithms::CalcMethod::Filtering;
    }
}

Algorithms::Z0ConversionType MeasureEnums::toZ0ConversionType(Z0Conversion conversion)
{
    return toZ0ConversionType(int(conversion));
}

Algorithms::Z0ConversionType MeasureEnums::toZ0ConversionType(int conversion)
{
    switch (conversion) {
    case int(Z0Conversion::System):
        return Algorithms::Z0ConversionType::System;
    case int(Z0Conversion::Fixture):
        return Algorithms::Z0ConversionType::Fixture;
    case int(Z0Conversion::User):
        return Algorithms::Z0ConversionType::User;
    default:
        return Algorithms::Z0ConversionType::None;
    }
}

MeasureEnums::MeasureStatus MeasureEnums::fromMeasurerStatus(Status status)
{
    switch (status) {
    case Status::Done:
        return MeasureStatus::MEASURED;
    case Status::NotMeasured:
        return MeasureStatus::NONE;
    default:
        return MeasureStatus::Error;
    }
}

MeasureEnums::FixturePossibleState MeasureEnums::possibleState(bool openEnabled, bool shortEnabled)
{
    int state = int(FixturePossibleState::NONE);
    if (openEnabled)
        state |= int(FixturePossibleState::OPEN);
    if (shortEnabled)
        state |= int(FixturePossibleState::SHORT);
    return FixturePossibleState(state);
}

void MeasureEnums::registerTypes()
{
    const QString reason = QStringLiteral("Enum type");
    qmlRegisterUncreatableMetaObject(MeasureEnums::staticMetaObject, "MeasureEnums", 1, 0, "MeasureEnums", reason);
    qmlRegisterUncreatableMetaObject(CoreMeasureEnums::staticMetaObject, "CoreMeasureEnums", 1, 0, "CoreMeasureEnums",
                                     reason);
    qRegisterMetaType<MeasureEnums::CorrectionMethod>("CorrectionMethod");
}
