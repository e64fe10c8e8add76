#pragma once
// Internals shared by the simulated analyser's server sources.

#include "analyser-sim/simserver.h"

#include <QStringList>

#include <deque>
#include <optional>
#include <utility>

namespace AnalyserSim {

// One command waiting on its connection, resolved against the table.
struct SimServer::Queued
{
    QString text;
    QString params;
    bool query = false;
    int entry = -1;
    std::vector<Scpi::Suffix> suffix;
};

struct SimServer::Connection
{
    enum class Wait { None, Opc, Delay };
    int id = 0;
    QTcpSocket *socket = nullptr; // none for execute()
    QStringList *collect = nullptr; // execute(): the replies
    QByteArray buffer;
    std::deque<Queued> queue;
    Wait wait = Wait::None;
    Queued opc; // the "*OPC?" being held
    bool closed = false;
};

// What a handler sees of one command.
struct SimServer::Request
{
    Connection &connection;
    std::vector<Scpi::Suffix> suffix;
    QString params;
    QStringList args;
    bool query = false;
    std::optional<QString> reply;
    bool waitOpc = false;
};

// Save-type keywords as answered.
const QStringList &saveTypeKeywords();
// Calibration types as answered, and how many ports each takes.
const QStringList &calibrationTypes();
size_t calibrationPortCount(const QString &type);
// "21" -> (2, 1); "10_1" -> (10, 1); the first split with both ports in range.
std::optional<std::pair<unsigned, unsigned>> parseSParameter(const QString &digits, unsigned portCount);

} // namespace AnalyserSim
