#pragma once
// Reading the line-based replies of the remote control in the tests.

#include <QByteArray>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

// The next reply line on the socket without its line feed; empty, and a test
// failure, when none arrives within ms. The wait serves this thread's events.
inline QByteArray readReplyLine(QTcpSocket &socket, int ms)
{
    if (!QTest::qWaitFor([&] { return socket.canReadLine(); }, ms)) {
        ADD_FAILURE() << "no reply line";
        return {};
    }
    QByteArray text = socket.readLine();
    text.chop(1);
    return text;
}
