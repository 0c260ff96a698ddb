// SPDX-License-Identifier: GPL-3.0-or-later
// The libFuzzer program of one target, chosen by MOVARA_FUZZ_TARGET.

#include "fuzztargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzzing::MOVARA_FUZZ_TARGET(data, size);
}
