// Any bytes as a settings file: no crash, and a save followed by a load gives back exactly the
// tables of the first load (a second start-up changes nothing further).
#include "config.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    config::ClearConfig();
    config::LoadConfigFromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const auto names = config::ConfigNames;
    const auto values = config::ConfigValues;
    const QByteArray saved = config::SerializeConfig();

    config::ClearConfig();
    config::LoadConfigFromBytes(saved);
    if (config::ConfigNames != names || config::ConfigValues != values)
        std::abort();
    if (config::SerializeConfig() != saved)
        std::abort();
    return 0;
}
