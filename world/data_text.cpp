#include "world/data_text.h"

std::string WithLineBreaks(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string FillFormat(const std::string& format, const std::string& value) {
    std::string out;
    bool used = false;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        // Skip flags, width and length up to the conversion letter.
        size_t end = i + 1;
        while (end < format.size() &&
               std::string("-+ #0123456789.lhz").find(format[end]) != std::string::npos)
            ++end;
        if (end >= format.size())
            break;
        if (format[end] == '%') {
            out += '%';
        } else if (!used) {
            out += value;
            used = true;
        }
        i = end;
    }
    return out;
}
