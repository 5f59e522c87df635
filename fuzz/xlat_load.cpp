// Loads arbitrary bytes as interface texts, then looks up what was found.
#include "data/xlat_texts.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    XlatTexts texts;
    texts.Load(std::string_view(reinterpret_cast<const char*>(data), size));
    const char letters[] = {'g', 'e', '#', '$', '&', ' ', 'G'};
    for (char letter : letters) {
        texts.SetLetter(letter);
        for (std::string_view key : {"", "1", "123", "-16777216"}) {
            texts.GetText(key);
            texts.HasText(key, letter);
        }
    }
    return 0;
}
