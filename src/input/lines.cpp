#include "input/lines.h"

#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace ils {

bool readLine(FILE* file, char* buf) {
    if (file == nullptr || std::fgets(buf, kLineSize, file) == nullptr) {
        buf[0] = '\0';
        return false;
    }
    return true;
}

bool readLineKeep(FILE* file, char* buf) {
    if (file == nullptr) return false;
    char tmp[kLineSize];
    if (std::fgets(tmp, kLineSize, file) == nullptr) return false;
    std::memcpy(buf, tmp, std::strlen(tmp) + 1);
    return true;
}

bool readStreamDouble(FILE* file, double& value) {
    int c = std::fgetc(file);
    while (c != EOF && std::isspace(c)) c = std::fgetc(file);
    if (c == EOF) return false;
    char word[kLineSize];
    size_t len = 0;
    while (c != EOF && !std::isspace(c)) {
        if (len + 1 < sizeof word) word[len++] = static_cast<char>(c);
        c = std::fgetc(file);
    }
    // Leave the blank that ended the word in the stream, so that reading
    // "the rest of the line" after the last number sees its line end.
    if (c != EOF) std::ungetc(c, file);
    word[len] = '\0';
    char* end = nullptr;
    const double v = std::strtod(word, &end);
    if (end == word || !std::isfinite(v)) return false;
    value = v;
    return true;
}

void skipRestOfLine(FILE* file) {
    int c = std::fgetc(file);
    while (c != EOF && c != '\n') c = std::fgetc(file);
}

void trimBlanks(char* text) {
    size_t len = std::strlen(text);
    while (len > 0 && static_cast<signed char>(text[len - 1]) <= 32) --len;
    text[len] = '\0';
    size_t start = 0;
    while (start < len && static_cast<signed char>(text[start]) <= 32) ++start;
    if (start > 0) std::memmove(text, text + start, len - start + 1);
}

int formatPath(char* buf, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, kLineSize, format, args);
    va_end(args);
    if (n < 0 || n >= kLineSize) return -1;
    return n;
}

void normalizeSeparators(char* path) {
    for (char* p = path; *p != '\0'; ++p) {
        if (*p == '\\') *p = '/';
    }
}

}  // namespace ils
