/* bsdiff.c maps its two files; mingw-w64 has no <sys/mman.h>. These are the
   names it uses; bsdiff_memory.c hands it the caller's buffers instead. */
#pragma once
#define PROT_READ 1
#define MAP_SHARED 1
#define MAP_POPULATE 0
#define MAP_FAILED ((void*)-1)
