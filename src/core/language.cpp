// The language the game speaks, and where its text files lie.
#include <cctype>

#include "core/core.h"

namespace ardo {

namespace {
Language g_language = Language::kJapanese;
}  // namespace

Language GameLanguage() { return g_language; }
void SetGameLanguage(Language language) { g_language = language; }

bool ParseLanguage(std::string_view code, Language* out) {
  std::string lower(code);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "ja") {
    *out = Language::kJapanese;
  } else if (lower == "en") {
    *out = Language::kEnglish;
  } else {
    return false;
  }
  return true;
}

const char* LanguageCode(Language language) { return language == Language::kEnglish ? "en" : "ja"; }

std::string LanguagePath(std::string_view folder, std::string_view file) {
  std::string path(folder);
  path += '/';
  if (g_language == Language::kEnglish) path += "en/";
  path += file;
  return path;
}

}  // namespace ardo
