/* bsdiff's differencing on two buffers in memory: its three streams (control,
   difference, extra) are handed to a sink as they are made, uncompressed,
   instead of being written to a bzip2-compressed patch file. */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { BSDIFF_MEMORY_CONTROL = 0, BSDIFF_MEMORY_DIFF = 1, BSDIFF_MEMORY_EXTRA = 2 };

/* Receives the next bytes of one stream; returns 0 to go on, anything else to stop. */
typedef int (*bsdiff_memory_sink)(void* context, int stream, const void* data, size_t size);

/* The largest file either side may be. */
size_t bsdiff_memory_max_size(void);

/* 0 once every stream went to the sink; -1 when a side is too large, memory
   ran out or the sink stopped. Each call stands alone (one per thread at a time). */
int bsdiff_memory(const unsigned char* old_data, size_t old_size, const unsigned char* new_data,
                  size_t new_size, bsdiff_memory_sink sink, void* context);

#ifdef __cplusplus
}
#endif
