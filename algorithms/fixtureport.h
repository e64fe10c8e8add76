#pragma once
// The computed model of one fixture port: the fixture two-port in the versions
// the workflow needs (as calculated, impedance-converted, with an offset), the
// impulse response and residual-reflection gating it was derived from, the
// step response with the fixture impedance, and the reference impedances.
// Everything stored is validated first; refusals are reported on error().

#include "algorithms/gridmode.h"
#include "algorithms/modelnotice.h"
#include "algorithms/sparameters.h"

#include <QMetaType>
#include <QObject>

#include <optional>

namespace Algorithms {

struct ImpulseResponse
{
    ComplexVector values;
    RealVector time; // s
    double delay = 0.0; // s, refined peak time: the fixture delay
    double coarsePeak = 0.0; // s, peak time of the coarse pass

    bool isValid() const;
};

struct Gating
{
    ComplexVector values; // impulse response of the residual reflection
    RealVector time; // s
    double value = 0.0; // its magnitude at the fixture delay

    bool isValid() const;
};

namespace ReflectData {
struct StepResponse
{
    RealVector impedanceProfile; // ohm
    RealVector time; // s
    double referenceTime = 0.0; // s, where the fixture impedance was sampled
    double impedance = 0.0; // ohm

    bool isValid() const;
};
} // namespace ReflectData

// How a fixture model is renormalised after the calculation.
enum class Z0ConversionType : int {
    System = 0, // to the analyser port impedance
    Fixture = 1, // to the fixture impedance from the step response
    User = 2, // to the user-entered impedance
    None = 3,
};

class FixturePort : public QObject
{
    Q_OBJECT
public:
    // Which version of the model is current, named by what was done to the
    // model as calculated. The numbers are the ones the calibration flags
    // shown to QML are derived from.
    enum class DataState : int {
        Default = 0, // the default model, as calculated
        Converted = 1, // the impedance-converted model
        Offset = 2, // the offset model
        OffsetConverted = 3, // the offset model, then impedance-converted
        DutCorrected = 4, // DUT-corrected, based on the default model
        DutCorrectedOffset = 5, // DUT-corrected, based on the offset model
        DutCorrectedConverted = 6, // DUT-corrected and converted, based on the default model
        DutCorrectedOffsetConverted = 7, // DUT-corrected and converted, based on the offset model
    };

    explicit FixturePort(QObject *parent = nullptr);
    // Copies the configuration and every model, impulse and step response;
    // the data state starts at Default and the gating is left empty.
    FixturePort(const FixturePort &source, QObject *parent);

    bool setZ0Impedance(double z0);
    bool setCustomImpedance(double z);
    bool setConversionType(Z0ConversionType type);
    bool setFixtureImpedance(double z);
    bool setImpulseResponse(const ImpulseResponse &impulse);
    bool setDefaultImpulseResponse(const ImpulseResponse &impulse);
    bool setGating(const Gating &gating);
    bool setStepResponse(const ReflectData::StepResponse &stepResponse);
    bool setCalculatedSParameters(const SParametersTwoPort &model);
    bool setDefaultSParameters(const SParametersTwoPort &model);
    bool setConvertedSParameters(const SParametersTwoPort &model);

    bool useDefaultData();
    bool useOffsetData();
    // Moves the reference plane along the fixture by offset seconds (the
    // model scaled as a line (L + offset) / L times as long, L the delay of
    // the default impulse); 0 returns to the default or converted model.
    // A moved model that is not passive is kept and told by offsetNotice.
    bool applyOffset(double offset);
    // The doubt about the last offset model: set when the model moved by
    // applyOffset is not passive, cleared by the next offset that moves the
    // model (0 included) and by reset. It describes the offset model only;
    // whether that is the current model the data state tells.
    const std::optional<ModelNotice> &offsetNotice() const { return m_offsetNotice; }
    // How the notices name this port (for example "the fixture at analyser
    // port 1"); "this port" until set.
    void setNoticeName(const QString &name) { m_noticeName = name; }
    QString noticeName() const;
    // After a DUT correction of the current model: Default becomes
    // DutCorrected (DutCorrectedConverted when the model was also converted),
    // Offset becomes DutCorrectedOffset (DutCorrectedOffsetConverted).
    void markDutCorrected(bool converted);

    // Orientation of the stored models: false when port 1 faces the analyser.
    bool side() const { return m_side; }
    void setSide(bool side) { m_side = side; }

    std::optional<DataState> dataState() const { return m_dataState; }
    std::optional<Z0ConversionType> conversionType() const { return m_conversionType; }
    const std::optional<double> &portZ0() const { return m_portZ0; }
    const std::optional<double> &z0Transform() const { return m_z0Transform; }
    const std::optional<double> &fixtureImpedance() const { return m_fixtureImpedance; }
    const std::optional<double> &customImpedance() const { return m_customImpedance; }
    // The mode of the current model's grid; empty without a current model
    // with a finite grid.
    std::optional<GridMode> gridMode() const;

    const std::optional<SParametersTwoPort> &uncorrectedSParameters() const { return m_current; }
    const std::optional<SParametersTwoPort> &defaultSParameters() const { return m_default; }
    const std::optional<SParametersTwoPort> &convertedSParameters() const { return m_converted; }
    const std::optional<SParametersTwoPort> &offsetSParameters() const { return m_offset; }
    const std::optional<ImpulseResponse> &impulseResponse() const { return m_impulse; }
    const std::optional<ImpulseResponse> &defaultImpulseResponse() const { return m_defaultImpulse; }
    const std::optional<ImpulseResponse> &offsetImpulseResponse() const { return m_offsetImpulse; }
    const std::optional<Gating> &gating() const { return m_gating; }
    const std::optional<ReflectData::StepResponse> &stepResponse() const { return m_stepResponse; }

    std::optional<double> length() const;
    std::optional<double> gatingValue() const;
    std::optional<double> impedance() const;
    std::optional<double> impedanceReferenceLength() const;
    bool isMeasured() const;

    void reset();
    bool swapSides();
    // Renormalises the current model in place to the impedance chosen by
    // the conversion type; the caller stores the converted version.
    bool convertImpedance();

signals:
    void error(QString text);
    void impulseResponseChanged();
    void uncorrectedSParametersChanged();
    void stepResponseChanged();
    void impedanceTransformChanged();
    void gatingChanged();

protected:
    // The passivity doubt about a model moved by an offset; empty when it
    // is passive.
    std::optional<ModelNotice> offsetPassivityNotice(const SParametersTwoPort &model) const;

    bool m_side = false;
    DataState m_dataState = DataState::Default;
    Z0ConversionType m_conversionType = Z0ConversionType::None;
    std::optional<double> m_portZ0;
    std::optional<double> m_z0Transform;
    std::optional<SParametersTwoPort> m_current;
    std::optional<ImpulseResponse> m_impulse;
    std::optional<Gating> m_gating;
    std::optional<ReflectData::StepResponse> m_stepResponse;
    std::optional<double> m_fixtureImpedance;
    std::optional<double> m_customImpedance;
    std::optional<SParametersTwoPort> m_default;
    std::optional<ImpulseResponse> m_defaultImpulse;
    std::optional<SParametersTwoPort> m_converted;
    std::optional<SParametersTwoPort> m_offset;
    std::optional<ImpulseResponse> m_offsetImpulse;
    std::optional<ModelNotice> m_offsetNotice;
    QString m_noticeName;

private:
    // applyOffset (0): back to the converted or default model and the
    // default impulse response, with their signals.
    void useUnoffsetData();
    // Stores a model moved by an offset as current (from the default model,
    // with the given transmission and DUT-side reflection) with the moved
    // impulse delay, and keeps it as the offset version when it is valid.
    void storeOffsetModel(const ComplexVector &transmission, const ComplexVector &reflection, double delay);
};

} // namespace Algorithms

Q_DECLARE_METATYPE(Algorithms::Z0ConversionType)
