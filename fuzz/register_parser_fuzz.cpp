// The register-text parser against arbitrary tables and texts, unterminated ones included.
#include <cstdlib>
#include <memory>

#include "addressing/error_codes.h"
#include "addressing/register_parser.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int32_t rows = 1 + in.Value<uint8_t>() % 4;
    // Exactly sized allocations, so that the sanitizer sees any read past a row or the text.
    std::unique_ptr<RegisterEntry[]> table(new RegisterEntry[rows]);
    in.Take(table.get(), sizeof(RegisterEntry) * static_cast<size_t>(rows));
    auto tag = std::make_unique<TagDef>();
    in.Take(tag.get(), sizeof(TagDef));
    TagAddress address{};
    int32_t error = -7;

    const uint16_t result = ParseRegisterText(*tag, address, table.get(), rows, error);
    if (result == 0) {
        // Accepted: the fields point into the table and the code is untouched.
        if (error != -7 || address.pRegister != &table[address.nRegister] || address.nRegister >= rows ||
            address.nDataType != tag->nDataType || (tag->nDataType & address.pRegister->nTypeMask) == 0)
            abort();
    } else if (result != 1 || (error != kErrRegisterName && error != kErrRegisterIndex && error != kErrDataType)) {
        abort();
    }
    return 0;
}
