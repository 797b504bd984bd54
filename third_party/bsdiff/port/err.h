/* bsdiff.c includes <err.h>, which mingw-w64 lacks; bsdiff_memory.c maps
   err() and errx() onto its own failure path. */
#pragma once
