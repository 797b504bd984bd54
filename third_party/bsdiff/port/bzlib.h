/* bsdiff.c writes its streams through bzip2; bsdiff_memory.c receives them
   raw instead, so only the names bsdiff.c uses are declared here. */
#pragma once
typedef void BZFILE;
#define BZ_OK 0
