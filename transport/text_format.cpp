#include "transport/text_format.h"

#include <cstring>
#include <vector>

std::string FormatDataText(std::string_view format, std::initializer_list<std::string_view> values) {
    const std::vector<std::string_view> args(values);
    size_t next = 0;
    std::string out;
    out.reserve(format.size() + 16);
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // Flags, width, precision and length, then the conversion letter.
        size_t j = i + 1;
        while (j < format.size() && std::strchr("-+ #0123456789.*hlLqjzt", format[j]) != nullptr)
            ++j;
        if (j >= format.size() || std::strchr("diouxXeEfFgGaAcspn", format[j]) == nullptr) {
            // Not a conversion: the text stands as written.
            out.append(format.substr(i, j - i));
            i = j - 1;
            continue;
        }
        if (next < args.size())
            out.append(args[next]);
        ++next;
        i = j;
    }
    return out;
}
