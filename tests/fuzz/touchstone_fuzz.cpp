// libFuzzer target for the Touchstone reader: any bytes as a file of 1 to 9
// ports (the first byte picks the count), read the way every caller reads
// one. Beyond not crashing, hanging or running out of memory (the
// sanitizers' and libFuzzer's part), a read must be whole: points with
// finite frequencies that rise and N x N finite values; a refusal must say
// why in a short text.
#include "device/touchstoneio.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The refusal names the file and the line; what it quotes of the file is
// short whatever the file holds.
constexpr int MaxReasonLength = 400;

void check(bool condition, const char *what)
{
    if (condition)
        return;
    std::fprintf(stderr, "touchstone_fuzz: %s\n", what);
    std::abort();
}

QTemporaryDir &directory()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Every refusal is logged; thousands a second would only slow the run.
    QLoggingCategory::setFilterRules(QStringLiteral("vuk.*=false"));
    check(directory().isValid(), "no temporary folder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint ports = data[0] % 9 + 1;
    const QString path = directory().filePath(QStringLiteral("input.s%1p").arg(ports));
    {
        QFile file(path);
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the input");
        const auto length = static_cast<qint64>(size - 1);
        check(file.write(reinterpret_cast<const char *>(data + 1), length) == length, "cannot write the input");
    }

    TouchstoneIO io;
    const auto read = io.read(path);
    if (!read) {
        const QString reason = io.errorString();
        check(reason.startsWith(path), "a refusal that does not name the file");
        check(reason.size() <= path.size() + MaxReasonLength, "a refusal that quotes too much");
        return 0;
    }
    check(io.errorString().isEmpty(), "a reason left after a read");
    check(!read->points.empty(), "a read without points");
    check(std::isfinite(read->impedance) && read->impedance >= 0.0, "an unusable reference impedance");
    check(read->portImpedances.empty() || read->portImpedances.size() == ports, "port impedances of other ports");
    for (double z : read->portImpedances)
        check(std::isfinite(z) && z > 0.0, "an unusable port impedance");
    double previous = -1.0;
    for (const TouchstonePoint &point : read->points) {
        check(point.size == ports && point.matrix.size() == size_t(ports) * ports, "a point of another size");
        check(std::isfinite(point.frequency) && point.frequency >= 0.0, "an unusable frequency");
        check(point.frequency > previous, "frequencies that do not rise");
        previous = point.frequency;
        for (const auto &value : point.matrix)
            check(std::isfinite(value.real()) && std::isfinite(value.imag()), "a value that is not finite");
    }
    return 0;
}
