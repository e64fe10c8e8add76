#pragma once
// The program's sections of the analyser state file, written and read from
// one table of keys per section: each key is spelled once, with how its
// value is written and how it is read back and checked. The values travel
// as plain records; the backend fills them from the set-ups on save and
// applies them on recall (mainqmlbackend_state.cpp).

#include "measurement/measureenums.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class TaskProgress;
class VnaStateIO;
class VukAlgorithmsSetup;

namespace StateSections {

// "VUK\Settings": the choices of the set-up list and the setup table.
struct Settings
{
    uint setupCount = 0;
    MeasureEnums::CorrectionMethod correctionMethod = MeasureEnums::CorrectionMethod::TIME_GATING;
    bool lowPassCheck = true;
    MeasureEnums::Z0Conversion z0ConversionType = MeasureEnums::Z0Conversion::System;
    double userZ0 = 0.0;

    bool operator==(const Settings &other) const;
};

// "VUK\Settings\FixtureSetup<n>": one set-up's switches, fixture port
// counts and attached analyser ports (0-based). The defaults are what a
// recall gives a set-up the file holds nothing for.
struct Setup
{
    bool leftEnabled = true;
    uint leftPorts = 1;
    bool rightEnabled = true;
    uint rightPorts = 1;
    bool abThru = true;
    bool aa = true;
    bool bb = true;
    bool abDut = true;
    std::vector<uint> left, right, leftAux, rightAux;

    bool operator==(const Setup &other) const;
};

// "VUK\SetupsInfo".
struct Info
{
    // The fewest analyser ports the saved set-ups need.
    uint minimumRequiredPortCount = 0;

    bool operator==(const Info &other) const;
};

QString settingsSection();
QString setupSection(int n);
QString infoSection();

// The keys of each section in the order written; a port list's key is the
// stem its entries are numbered after (FixtureAPort0, FixtureAPort1, ...).
QStringList settingsKeys();
QStringList setupKeys();
QStringList infoKeys();

// The set-up as a save writes it.
Setup snapshot(const VukAlgorithmsSetup &setup);
// A recall's changes to the set-up, in order, stepping the progress after
// each: the switches and port counts one by one, then the ports of A and B,
// then those of A Aux and B Aux. Every current entry of a port list is
// overwritten; entries the values do not hold become 0.
void apply(VukAlgorithmsSetup &setup, const Setup &values, TaskProgress &progress);
// The larger of the highest port index + 1 and the largest fixture port
// count over the set-ups.
Info infoOf(const std::vector<Setup> &setups);

// A section as the file holds it: the section line, one line per value in
// table order, then an empty line. The write functions append it to the
// file; text gives the same lines.
void write(VnaStateIO &io, const Settings &values);
void write(VnaStateIO &io, int n, const Setup &values);
void write(VnaStateIO &io, const Info &values);
QString text(const Settings &values);
QString text(int n, const Setup &values);
QString text(const Info &values);

// Reads recalled values and keeps the first one no file the program writes
// can hold, so that a corrupt or hand-edited file is refused before anything
// is changed instead of allocating or looping without bound.
class Reader
{
public:
    explicit Reader(VnaStateIO &io) : m_io(io) {}

    std::optional<QString> text(const QString &section, const QString &key);
    // A whole number from 0 to limit; fallback when the key is missing or not
    // a number. Anything else (negative, too large) marks the file invalid.
    uint number(const QString &section, const QString &key, uint fallback, uint limit);
    // "false" is false; "true", anything else and a missing value are true.
    bool flag(const QString &section, const QString &key);

    // The first invalid value: its section, key and text.
    struct Invalid
    {
        QString section;
        QString key;
        QString text;
    };
    bool failed() const { return m_invalid.has_value(); }
    const Invalid &firstInvalid() const { return *m_invalid; }

private:
    VnaStateIO &m_io;
    std::optional<Invalid> m_invalid;
};

// Whether the file holds the program's sections at all.
bool hasSettings(Reader &reader);
// A section's values; the values read after an invalid one are the
// defaults, and the reader has failed.
Settings readSettings(Reader &reader);
// The port lists hold as many entries as the fixture port counts read,
// which is the size the lists take when the counts are applied (an
// auxiliary side has its main side's count).
Setup readSetup(Reader &reader, int n);
Info readInfo(Reader &reader);

} // namespace StateSections
