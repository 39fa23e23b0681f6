// libFuzzer entry of one target; the build names it with NERAX_FUZZ_TARGET.
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return NERAX_FUZZ_TARGET(data, size); }
