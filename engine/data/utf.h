// UTF-8 and UTF-16 conversion of the engine's texts (files hold UTF-8, memory holds UTF-16).
#pragma once

#include <cstddef>
#include <string>

// Decodes UTF-8 as the platform's MultiByteToWideChar with CP_UTF8 does: a byte that starts no well-formed sequence,
// and each longest start of one that breaks off, becomes U+FFFD.
std::u16string FerroxUtf8ToUtf16(const char* text, size_t length);
std::u16string FerroxUtf8ToUtf16(const std::string& text);
// Encodes UTF-16; an unpaired surrogate becomes U+FFFD.
std::string FerroxUtf16ToUtf8(const std::u16string& text);
