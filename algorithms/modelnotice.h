#pragma once
// A doubt about a computed fixture model that does not stop the calculation:
// the model is kept, and the user is told what is doubtful, where, and why.
// A calculation tells at most one notice per fixture port.

#include <QMetaType>
#include <QString>

namespace Algorithms {

struct ModelNotice
{
    // The port as the texts name it (for example "the fixture at analyser
    // port 1").
    QString port;
    // One line: what is doubtful and in which band.
    QString summary;
    // By how much, why, and what would help; may be empty.
    QString detail;

    // The whole text: the summary, then the detail on lines of its own.
    QString text() const { return detail.isEmpty() ? summary : summary + QLatin1Char('\n') + detail; }
    bool operator==(const ModelNotice &other) const
    {
        return port == other.port && summary == other.summary && detail == other.detail;
    }
};

} // namespace Algorithms

Q_DECLARE_METATYPE(Algorithms::ModelNotice)
