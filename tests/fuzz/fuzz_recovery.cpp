// libFuzzer target of a recovery copy as found on disk: any bytes decode
// without harm, and what they decode to is written and read back the same.
#include "document/recovery_store.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const torvale::RecoveryCopy copy = torvale::decodeRecoveryCopy(bytes);
    const std::string again = torvale::encodeRecoveryCopy(copy);
    if (!(torvale::decodeRecoveryCopy(again) == copy))
        std::abort();
    return 0;
}
