#pragma once
// The small enumerations shared by the workflow, its QML pages, the state
// file sections and the remote commands. The classes hold no instances; they
// carry the enums into the meta-object system and QML, where the values are
// addressed only in scoped form (MeasureEnums.MeasureStatus.MEASURED). QML
// compares the numbers and the state file stores the key names of
// CorrectionMethod and Z0Conversion: neither may change.

#include "algorithms/fixtureport.h"
#include "algorithms/processmethod.h"
#include "measurement/measurerstatus.h"

#include <QMetaType>
#include <QObject>

#include <optional>

class MeasureEnums
{
    Q_GADGET
    Q_CLASSINFO("RegisterEnumClassesUnscoped", "false")

public:
    enum class FixtureSide : int {
        Right = 0, // B side
        Left = 1, // A side
        SingleReflect = 2,
    };
    Q_ENUM(FixtureSide)

    enum class MeasureStatus : int {
        NONE = 0,
        MEASURED = 1,
        Error = 2,
    };
    Q_ENUM(MeasureStatus)

    // Bit-combinable: OPEN_AND_SHORT is OPEN + SHORT.
    enum class FixturePossibleState : int {
        NONE = 0,
        OPEN = 1,
        SHORT = 2,
        OPEN_AND_SHORT = 3,
    };
    Q_ENUM(FixturePossibleState)

    enum class MeasureType : int {
        TRANSMISSION = 0,
        REFLECT = 1,
        DUT = 2,
    };
    Q_ENUM(MeasureType)

    enum class AlgorithmState : int {
        THRU = 0,
        OPEN = 1,
        SHORT = 2,
    };
    Q_ENUM(AlgorithmState)

    enum class FixtureInput : int {
        SINGLE = 0,
        DIFFERENTIAL = 1,
    };
    Q_ENUM(FixtureInput)

    // How QML, the state file and the remote commands name the correction
    // method; below the set-up list it is Algorithms::CalcMethod. Numbered
    // differently: convert by meaning, through toCalcMethod and
    // fromCalcMethod only.
    enum class CorrectionMethod : int {
        TIME_GATING = 0,
        BISECT = 1,
        FILTERING = 2,
    };
    Q_ENUM(CorrectionMethod)

    enum class Z0Conversion : int {
        System = 0,
        Fixture = 1,
        User = 2,
        None = 3,
    };
    Q_ENUM(Z0Conversion)

    MeasureEnums() = delete;

    // The method a value names; none for a value without a name, which
    // callers refuse rather than run as some other method.
    static std::optional<Algorithms::CalcMethod> toCalcMethod(CorrectionMethod method);
    // The key of a method; throws std::invalid_argument for a value that is
    // no CalcMethod (a programming error: C++ holds only named methods).
    static CorrectionMethod fromCalcMethod(Algorithms::CalcMethod method);

    // 0, 1 and 2 keep their meaning; every other value means no conversion.
    static Algorithms::Z0ConversionType toZ0ConversionType(Z0Conversion conversion);
    static Algorithms::Z0ConversionType toZ0ConversionType(int conversion);

    // A measurer's status: done is measured, not measured is none, and
    // failed (or any value without a name) is an error.
    static MeasureStatus fromMeasurerStatus(Status status);

    // The standards a step measures, from its open and short switches.
    static FixturePossibleState possibleState(bool openEnabled, bool shortEnabled);

    // Registers the QML modules "MeasureEnums" and "CoreMeasureEnums" (1.0,
    // uncreatable, reason "Enum type") and the metatype name
    // "CorrectionMethod" for queued signals. Safe to repeat.
    static void registerTypes();
};

class CoreMeasureEnums
{
    Q_GADGET
    Q_CLASSINFO("RegisterEnumClassesUnscoped", "false")

public:
    // The verdict of a check on an entered or read value.
    enum class RecommendedResult : int {
        Correct = 0,
        Warning = 1,
        Error = 2,
    };
    Q_ENUM(RecommendedResult)

    CoreMeasureEnums() = delete;
};
