/* The INI reader of the web build, with inih's interface and its default rules (the
   desktop links Debian's libinih, whose source package is not to be had here). */
#ifndef INI_H
#define INI_H
#ifdef __cplusplus
extern "C" {
#endif

typedef int (*ini_handler)(void* user, const char* section, const char* name, const char* value);
typedef char* (*ini_reader)(char* str, int num, void* stream);

/* Reads lines from `reader` until it returns NULL; calls `handler` for every NAME = VALUE
   (or NAME: VALUE) line. Returns 0, or the number of the first line that was not
   understood. */
int ini_parse_stream(ini_reader reader, void* stream, ini_handler handler, void* user);

#ifdef __cplusplus
}
#endif
#endif
