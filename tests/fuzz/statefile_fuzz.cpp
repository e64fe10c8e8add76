// libFuzzer target for the state-file reader: any bytes as an analyser state
// file holding the program's sections, read as a recall reads it before it
// changes anything. Beyond not crashing, hanging or running out of memory,
// what is read must be in range and must read back the same once written:
// the values of a file the program wrote itself from them.
#include "app/statesections.h"
#include "app/vnastateio.h"
#include "device/vnadevice.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using namespace StateSections;

void check(bool condition, const char *what)
{
    if (condition)
        return;
    std::fprintf(stderr, "statefile_fuzz: %s\n", what);
    std::abort();
}

QTemporaryDir &directory()
{
    static QTemporaryDir dir;
    return dir;
}

void put(const QString &path, const char *data, qint64 size)
{
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the input");
    check(file.write(data, size) == size, "cannot write the input");
}

struct Recalled
{
    bool valid = false; // the file holds the sections, with no invalid value
    Settings settings;
    Info info;
    std::vector<Setup> setups;
};

// What a recall reads, in its order, stopping where it would.
Recalled recall(const QString &path)
{
    Recalled r;
    VnaStateIO io(path);
    check(io.open(QIODevice::ReadOnly), "cannot open the input");
    Reader reader(io);
    if (!hasSettings(reader))
        return r;
    r.info = readInfo(reader);
    if (reader.failed())
        return r;
    r.settings = readSettings(reader);
    for (uint n = 0; n < r.settings.setupCount && !reader.failed(); ++n)
        r.setups.push_back(readSetup(reader, int(n)));
    if (reader.failed()) {
        check(!reader.firstInvalid().key.isEmpty(), "an invalid value without its key");
        return r;
    }
    r.valid = true;
    return r;
}

QByteArray textOf(const Recalled &r)
{
    QString text = StateSections::text(r.settings);
    for (size_t n = 0; n < r.setups.size(); ++n)
        text += StateSections::text(int(n), r.setups[n]);
    text += StateSections::text(r.info);
    return text.toUtf8();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("vuk.*=false"));
    check(directory().isValid(), "no temporary folder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = directory().filePath(QStringLiteral("input.sta"));
    put(path, reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    const Recalled first = recall(path);
    if (!first.valid)
        return 0;

    const uint limit = VNADevice::maxPortsCount;
    check(first.settings.setupCount <= limit, "more set-ups than any analyser has ports");
    check(first.info.minimumRequiredPortCount <= limit, "a port count beyond any analyser");
    for (const Setup &setup : first.setups) {
        check(setup.leftPorts <= limit && setup.rightPorts <= limit, "a fixture port count beyond any analyser");
        check(setup.left.size() == setup.leftPorts && setup.leftAux.size() == setup.leftPorts
                  && setup.right.size() == setup.rightPorts && setup.rightAux.size() == setup.rightPorts,
              "port lists of another size than their counts");
        for (const auto *ports : {&setup.left, &setup.right, &setup.leftAux, &setup.rightAux})
            for (uint port : *ports)
                check(port < limit, "a port index beyond any analyser");
    }

    // Written as the program writes them and read again, the values stay
    // (after the one rounding of the impedance to six digits).
    const QString again = directory().filePath(QStringLiteral("again.sta"));
    const QByteArray written = textOf(first);
    put(again, written.constData(), written.size());
    const Recalled second = recall(again);
    check(second.valid, "a file written from recalled values does not recall");
    const QByteArray rewritten = textOf(second);
    put(again, rewritten.constData(), rewritten.size());
    const Recalled third = recall(again);
    check(third.valid && third.settings == second.settings && third.info == second.info
              && third.setups == second.setups,
          "values that change when written and read again");
    check(second.info == first.info && second.setups == first.setups, "set-ups that change when written");
    return 0;
}
