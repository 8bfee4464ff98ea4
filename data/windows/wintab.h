/* The tablet interface's declarations for Qt's windows platform plugin: Wine's wintab.h
   (libwine-dev), with the two Wine macros it relies on and the SDK's API calling convention. */
#ifndef KORVANE_WINTAB_H
#define KORVANE_WINTAB_H
#include <windows.h>
#ifndef WINELIB_NAME_AW
#  ifdef UNICODE
#    define WINELIB_NAME_AW(name) name##W
#  else
#    define WINELIB_NAME_AW(name) name##A
#  endif
#endif
#ifndef DECL_WINELIB_TYPE_AW
#  define DECL_WINELIB_TYPE_AW(type) typedef WINELIB_NAME_AW(type) type;
#endif
#ifndef API
#  define API WINAPI
#endif
#include "wine-wintab.h"
#endif
