// The configuration file reader: any bytes, no crash, and what is read is a
// trimmed value of at most 254 characters.
#include "FuzzSupport.h"
#include "data/IniFile.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzEnvironment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const char *key : {"DataSource", "Nombre"}) {
        const auto v = ReadIniEntryFromBytes(bytes, key[0] == 'D' ? QStringLiteral("DataSourceName")
                                                                    : QStringLiteral("Location"),
                                             QString::fromLatin1(key));
        if (v) {
            FUZZ_ASSERT(!v->isEmpty());
            FUZZ_ASSERT(v->size() <= 254);
            FUZZ_ASSERT(*v == v->trimmed() || v->size() == 254);
        }
    }
    return 0;
}
