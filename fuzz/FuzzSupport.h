#pragma once
// What the fuzz targets share: the environment they run in, and a check that
// stops the run loudly when a property does not hold.
#include "data/Environment.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <cstdio>
#include <cstdlib>

#define FUZZ_ASSERT(condition)                                                          \
    do {                                                                                \
        if (!(condition)) {                                                             \
            std::fprintf(stderr, "propiedad violada: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                               \
        }                                                                               \
    } while (0)

inline void FuzzEnvironment()
{
    env().locale = QLocale(QLocale::Spanish, QLocale::Argentina);
    env().appDir = QStringLiteral("/nonexistent");
}

// The input as text: its first byte picks the locale, the rest is UTF-8.
inline QString FuzzText(const uint8_t *data, size_t size, QLocale *locale)
{
    *locale = size > 0 && (data[0] & 1) ? QLocale(QLocale::English, QLocale::UnitedStates)
                                        : QLocale(QLocale::Spanish, QLocale::Argentina);
    if (size == 0)
        return QString();
    return QString::fromUtf8(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
}
