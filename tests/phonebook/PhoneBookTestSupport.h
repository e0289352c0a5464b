#pragma once
#include "tests/support/OrdinaryUser.h"
#include "tests/support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Shared by the phone-book tests: files as bytes, books of many entries, and
// a second run of the test binary as an ordinary user.
namespace pbtest {

using namespace testfiles;
using namespace ordinaryuser;

// "Prefix00001--5550001" ... one line per entry, without endings.
inline QList<QByteArray> makeBook(int entries, const QByteArray &prefix)
{
    QList<QByteArray> lines;
    lines.reserve(entries);
    for (int i = 1; i <= entries; ++i)
        lines.append(prefix + QByteArray::number(i).rightJustified(5, '0') + "--" + QByteArray::number(5550000 + i));
    return lines;
}

} // namespace pbtest
