#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstring>

// The fuzzer's bytes as UTF-16 code units (any of them, lone surrogates too), cut into
// parts at U+0001, so one input carries a page and its markers.
inline QStringList fuzzParts(const uint8_t *data, size_t size, int parts)
{
    QString all(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(all.data(), data, (size / 2) * 2);
    QStringList out = all.split(QChar(1));
    while (out.size() < parts)
        out << QString();
    return out;
}

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            __builtin_trap();                                                                      \
    } while (false)
