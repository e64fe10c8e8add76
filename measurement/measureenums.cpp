#include "measurement/measureenums.h"

#include <QQmlEngine>

#include <stdexcept>
#include <string>

// Both switches name every value without a default, so a value added to
// either enum fails to compile (-Wswitch) until it is given its partner.
std::optional<Algorithms::CalcMethod> MeasureEnums::toCalcMethod(CorrectionMethod method)
{
    switch (method) {
    case CorrectionMethod::TIME_GATING:
        return Algorithms::CalcMethod::TimeGate;
    case CorrectionMethod::BISECT:
        return Algorithms::CalcMethod::Bisection;
    case CorrectionMethod::FILTERING:
        return Algorithms::CalcMethod::Filtering;
    }
    return std::nullopt;
}

MeasureEnums::CorrectionMethod MeasureEnums::fromCalcMethod(Algorithms::CalcMethod method)
{
    switch (method) {
    case Algorithms::CalcMethod::TimeGate:
        return CorrectionMethod::TIME_GATING;
    case Algorithms::CalcMethod::Bisection:
        return CorrectionMethod::BISECT;
    case Algorithms::CalcMethod::Filtering:
        return CorrectionMethod::FILTERING;
    }
    throw std::invalid_argument("MeasureEnums::fromCalcMethod: unknown correction method "
                                + std::to_string(static_cast<int>(method)));
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
