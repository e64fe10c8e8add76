#include "measurement/measureenums.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMetaEnum>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>

#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

namespace {

using CorrectionMethod = MeasureEnums::CorrectionMethod;

TEST(MeasureEnums, CorrectionMethodMapsByMeaningBothWaysAndRefusesUnknownValues)
{
    const std::pair<CorrectionMethod, Algorithms::CalcMethod> pairs[] = {
        {CorrectionMethod::TIME_GATING, Algorithms::CalcMethod::TimeGate},
        {CorrectionMethod::BISECT, Algorithms::CalcMethod::Bisection},
        {CorrectionMethod::FILTERING, Algorithms::CalcMethod::Filtering},
    };
    for (const auto &[key, method] : pairs) {
        EXPECT_EQ(MeasureEnums::toCalcMethod(key), method) << int(key);
        EXPECT_EQ(MeasureEnums::fromCalcMethod(method), key) << int(method);
    }
    // Every key the meta-object knows has a method: a key added to the enum
    // without one shows here as well as in the build.
    const QMetaEnum keys = QMetaEnum::fromType<CorrectionMethod>();
    for (int i = 0; i < keys.keyCount(); ++i)
        EXPECT_TRUE(MeasureEnums::toCalcMethod(CorrectionMethod(keys.value(i))).has_value()) << keys.key(i);
    // A number that names no key is no method at all, never some default.
    for (int raw : {-1, 3, 7, 1000}) {
        EXPECT_EQ(MeasureEnums::toCalcMethod(CorrectionMethod(raw)), std::nullopt) << raw;
        EXPECT_THROW(MeasureEnums::fromCalcMethod(Algorithms::CalcMethod(raw)), std::invalid_argument) << raw;
    }
}

TEST(MeasureEnums, Z0ConversionOutOfRangeMeansNoConversion)
{
    EXPECT_EQ(MeasureEnums::toZ0ConversionType(MeasureEnums::Z0Conversion::System),
              Algorithms::Z0ConversionType::System);
    EXPECT_EQ(MeasureEnums::toZ0ConversionType(MeasureEnums::Z0Conversion::Fixture),
              Algorithms::Z0ConversionType::Fixture);
    EXPECT_EQ(MeasureEnums::toZ0ConversionType(MeasureEnums::Z0Conversion::User), Algorithms::Z0ConversionType::User);
    EXPECT_EQ(MeasureEnums::toZ0ConversionType(MeasureEnums::Z0Conversion::None), Algorithms::Z0ConversionType::None);
    for (int raw : {-1, 3, 7, 42})
        EXPECT_EQ(MeasureEnums::toZ0ConversionType(raw), Algorithms::Z0ConversionType::None) << raw;
}

TEST(MeasureEnums, MeasurerStatusAndStandardsSelection)
{
    // The step statuses QML compares as numbers.
    struct Case
    {
        Status measurer;
        MeasureEnums::MeasureStatus step;
        int qmlValue;
    };
    const Case cases[] = {
        {Status::Done, MeasureEnums::MeasureStatus::MEASURED, 1},
        {Status::NotMeasured, MeasureEnums::MeasureStatus::NONE, 0},
        {Status::Failed, MeasureEnums::MeasureStatus::Error, 2},
        {static_cast<Status>(-3), MeasureEnums::MeasureStatus::Error, 2},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(MeasureEnums::fromMeasurerStatus(c.measurer), c.step) << int(c.measurer);
        EXPECT_EQ(int(MeasureEnums::fromMeasurerStatus(c.measurer)), c.qmlValue) << int(c.measurer);
    }

    using State = MeasureEnums::FixturePossibleState;
    EXPECT_EQ(MeasureEnums::possibleState(true, true), State::OPEN_AND_SHORT);
    EXPECT_EQ(int(MeasureEnums::possibleState(true, true)), int(State::OPEN) + int(State::SHORT));
    EXPECT_EQ(MeasureEnums::possibleState(true, false), State::OPEN);
    EXPECT_EQ(MeasureEnums::possibleState(false, true), State::SHORT);
    EXPECT_EQ(MeasureEnums::possibleState(false, false), State::NONE);
}

TEST(MeasureEnums, KeyNamesAndValuesAreThoseStoredInFiles)
{
    struct Case
    {
        QMetaEnum metaEnum;
        const char *key;
        int value;
    };
    const Case cases[] = {
        {QMetaEnum::fromType<MeasureEnums::CorrectionMethod>(), "TIME_GATING", 0},
        {QMetaEnum::fromType<MeasureEnums::CorrectionMethod>(), "BISECT", 1},
        {QMetaEnum::fromType<MeasureEnums::CorrectionMethod>(), "FILTERING", 2},
        {QMetaEnum::fromType<MeasureEnums::Z0Conversion>(), "System", 0},
        {QMetaEnum::fromType<MeasureEnums::Z0Conversion>(), "Fixture", 1},
        {QMetaEnum::fromType<MeasureEnums::Z0Conversion>(), "User", 2},
        {QMetaEnum::fromType<MeasureEnums::Z0Conversion>(), "None", 3},
        {QMetaEnum::fromType<MeasureEnums::MeasureStatus>(), "Error", 2},
        {QMetaEnum::fromType<MeasureEnums::FixtureSide>(), "Left", 1},
        {QMetaEnum::fromType<MeasureEnums::MeasureType>(), "DUT", 2},
        {QMetaEnum::fromType<MeasureEnums::AlgorithmState>(), "SHORT", 2},
        {QMetaEnum::fromType<MeasureEnums::FixtureInput>(), "DIFFERENTIAL", 1},
        {QMetaEnum::fromType<CoreMeasureEnums::RecommendedResult>(), "Warning", 1},
    };
    for (const Case &c : cases) {
        bool ok = false;
        EXPECT_EQ(c.metaEnum.keyToValue(c.key, &ok), c.value) << c.key;
        EXPECT_TRUE(ok) << c.key;
        EXPECT_STREQ(c.metaEnum.valueToKey(c.value), c.key);
        EXPECT_TRUE(c.metaEnum.isScoped()) << c.key;
    }
    // A value without a key, as the state file writer meets it.
    EXPECT_EQ(QMetaEnum::fromType<MeasureEnums::CorrectionMethod>().valueToKey(5), nullptr);
}

// Carries the method through a queued signal declared with the short
// metatype name.
class MethodSender : public QObject
{
    Q_OBJECT
public:
    using CorrectionMethod = MeasureEnums::CorrectionMethod;
signals:
    void methodChanged(CorrectionMethod method);
};

class MethodReceiver : public QObject
{
    Q_OBJECT
public:
    using CorrectionMethod = MeasureEnums::CorrectionMethod;
    MeasureEnums::CorrectionMethod received = MeasureEnums::CorrectionMethod::TIME_GATING;
public slots:
    void onMethod(CorrectionMethod method) { received = method; }
};

class MeasureEnumsQml : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Every set-up repeats the registration.
        MeasureEnums::registerTypes();
        MeasureEnums::registerTypes();
        MeasureEnums::registerTypes();
    }

    std::unique_ptr<QObject> create(const QByteArray &body, QString *errors = nullptr)
    {
        QQmlComponent component(&m_engine);
        component.setData("import QtQml 2.15\nimport MeasureEnums 1.0\nimport CoreMeasureEnums 1.0\n" + body, QUrl());
        std::unique_ptr<QObject> object(component.create());
        if (errors)
            *errors = component.errorString();
        return object;
    }

    QQmlEngine m_engine;
};

TEST_F(MeasureEnumsQml, ScopedValuesOnlyAfterRepeatedRegistration)
{
    QString errors;
    auto object = create(R"(QtObject {
        property var measured: MeasureEnums.MeasureStatus.MEASURED
        property var bisect: MeasureEnums.CorrectionMethod.BISECT
        property var none: MeasureEnums.Z0Conversion.None
        property var both: MeasureEnums.FixturePossibleState.OPEN_AND_SHORT
        property var left: MeasureEnums.FixtureSide.Left
        property var reflect: MeasureEnums.MeasureType.REFLECT
        property var error: CoreMeasureEnums.RecommendedResult.Error
        property var unscoped: MeasureEnums.MEASURED
        property var unscopedCore: CoreMeasureEnums.Warning
    })",
                         &errors);
    ASSERT_TRUE(object) << errors.toStdString();
    EXPECT_EQ(object->property("measured").toInt(), 1);
    EXPECT_EQ(object->property("bisect").toInt(), 1);
    EXPECT_EQ(object->property("none").toInt(), 3);
    EXPECT_EQ(object->property("both").toInt(), 3);
    EXPECT_EQ(object->property("left").toInt(), 1);
    EXPECT_EQ(object->property("reflect").toInt(), 1);
    EXPECT_EQ(object->property("error").toInt(), 2);
    EXPECT_FALSE(object->property("unscoped").isValid());
    EXPECT_FALSE(object->property("unscopedCore").isValid());
}

TEST_F(MeasureEnumsQml, TypesCannotBeCreated)
{
    for (const char *type : {"MeasureEnums", "CoreMeasureEnums"}) {
        QString errors;
        auto object = create(QByteArray(type) + " {}", &errors);
        EXPECT_FALSE(object) << type;
        EXPECT_TRUE(errors.contains("Enum type")) << errors.toStdString();
    }
}

TEST_F(MeasureEnumsQml, CorrectionMethodTravelsInQueuedSignals)
{
    EXPECT_EQ(QMetaType::type("CorrectionMethod"), qMetaTypeId<MeasureEnums::CorrectionMethod>());
    MethodSender sender;
    MethodReceiver receiver;
    ASSERT_TRUE(QObject::connect(&sender, SIGNAL(methodChanged(CorrectionMethod)), &receiver,
                                 SLOT(onMethod(CorrectionMethod)), Qt::QueuedConnection));
    emit sender.methodChanged(MeasureEnums::CorrectionMethod::FILTERING);
    EXPECT_EQ(receiver.received, MeasureEnums::CorrectionMethod::TIME_GATING);
    QCoreApplication::processEvents();
    EXPECT_EQ(receiver.received, MeasureEnums::CorrectionMethod::FILTERING);
}

} // namespace

#include "measureenums_test.moc"
