/* The web build's INI reader (see ini.h): start-of-line comments with ; or #, inline
   comments with ; after a space, [sections], a UTF-8 BOM skipped, and an indented line
   after a setting continuing it; lines of at most 200 bytes. */
#include "ini.h"

#include <ctype.h>
#include <string.h>

enum { kMaxLine = 200, kMaxSection = 50, kMaxName = 50 };

static char* rstrip(char* s) {
  char* p = s + strlen(s);
  while (p > s && isspace((unsigned char)*--p)) *p = '\0';
  return s;
}

static char* lskip(char* s) {
  while (*s && isspace((unsigned char)*s)) s++;
  return s;
}

/* The first of `chars` (any, when NULL) or of an inline comment; the end when neither. */
static char* find_chars_or_comment(char* s, const char* chars) {
  int was_space = 0;
  while (*s && (!chars || !strchr(chars, *s)) && !(was_space && *s == ';')) {
    was_space = isspace((unsigned char)*s);
    s++;
  }
  return s;
}

static void copy0(char* dest, const char* src, size_t size) {
  strncpy(dest, src, size - 1);
  dest[size - 1] = '\0';
}

int ini_parse_stream(ini_reader reader, void* stream, ini_handler handler, void* user) {
  char line[kMaxLine];
  char section[kMaxSection] = "";
  char prev_name[kMaxName] = "";
  int lineno = 0, error = 0;
  while (reader(line, kMaxLine, stream) != NULL) {
    lineno++;
    char* start = line;
    if (lineno == 1 && (unsigned char)start[0] == 0xEF && (unsigned char)start[1] == 0xBB &&
        (unsigned char)start[2] == 0xBF) {
      start += 3;
    }
    start = lskip(rstrip(start));
    if (*start == '\0' || *start == ';' || *start == '#') continue;
    if (*prev_name && start > line) {
      char* end = find_chars_or_comment(start, NULL);
      *end = '\0';
      rstrip(start);
      if (!handler(user, section, prev_name, start) && !error) error = lineno;
    } else if (*start == '[') {
      char* end = find_chars_or_comment(start + 1, "]");
      if (*end == ']') {
        *end = '\0';
        copy0(section, start + 1, sizeof section);
        prev_name[0] = '\0';
      } else if (!error) {
        error = lineno;
      }
    } else {
      char* end = find_chars_or_comment(start, "=:");
      if (*end == '=' || *end == ':') {
        *end = '\0';
        char* name = rstrip(start);
        char* value = end + 1;
        end = find_chars_or_comment(value, NULL);
        *end = '\0';
        value = lskip(value);
        rstrip(value);
        copy0(prev_name, name, sizeof prev_name);
        if (!handler(user, section, name, value) && !error) error = lineno;
      } else if (!error) {
        error = lineno;
      }
    }
  }
  return error;
}
