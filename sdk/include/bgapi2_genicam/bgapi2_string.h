#pragma once

#include <string>

#include "bgapi2_def.h"

namespace BGAPI2 {

// Text handed across the SDK surface; reads as a NUL-terminated UTF-8 string.
class BGAPI2_API String {
public:
    String() = default;
    String(const char* text) : m_text(text != nullptr ? text : "") {}  // NOLINT: implicit by design
    String(std::string text) : m_text(std::move(text)) {}              // NOLINT

    const char* get() const { return m_text.c_str(); }
    operator const char*() const { return m_text.c_str(); }  // NOLINT
    std::size_t size() const { return m_text.size(); }
    const std::string& str() const { return m_text; }

    bool operator==(const char* text) const { return m_text == (text != nullptr ? text : ""); }
    bool operator!=(const char* text) const { return !(*this == text); }
    bool operator==(const String& other) const { return m_text == other.m_text; }
    bool operator!=(const String& other) const { return m_text != other.m_text; }
    bool operator<(const String& other) const { return m_text < other.m_text; }

private:
    std::string m_text;
};

}  // namespace BGAPI2
