/* Runs bsdiff.c, as Debian ships it, on buffers instead of files: its file,
   mapping and bzip2 calls are redirected here by name, so the differencing
   itself is untouched. A failure it reports (err, errx) jumps back to
   bsdiff_memory, which frees what was allocated meanwhile. */
#include "bsdiff_memory.h"

#include <fcntl.h>
#include <limits.h>
#include <setjmp.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

#define BSDIFF_MEMORY_BLOCKS 8

struct bsdiff_memory_run {
	const unsigned char *old_data, *new_data;
	size_t old_size, new_size;
	bsdiff_memory_sink sink;
	void *context;
	int stream;
	void *blocks[BSDIFF_MEMORY_BLOCKS];
	jmp_buf failed;
};

static _Thread_local struct bsdiff_memory_run *current;
static const unsigned char empty_file[1];

static void __attribute__((noreturn)) run_fail(void)
{
	longjmp(current->failed, 1);
}

static void *run_malloc(size_t size)
{
	for (int i = 0; i < BSDIFF_MEMORY_BLOCKS; i++) {
		if (current->blocks[i] == NULL) {
			current->blocks[i] = malloc(size);
			return current->blocks[i];
		}
	}
	return NULL;
}

static void run_free(void *block)
{
	for (int i = 0; i < BSDIFF_MEMORY_BLOCKS; i++) {
		if (block != NULL && current->blocks[i] == block)
			current->blocks[i] = NULL;
	}
	free(block);
}

/* The two "files" are the buffers: 3 the old one, 4 the new one. */
static int run_open(const char *path, int flags, int mode)
{
	(void)flags;
	(void)mode;
	return strcmp(path, "old") == 0 ? 3 : 4;
}

static off_t run_lseek(int fd, off_t offset, int whence)
{
	(void)offset;
	(void)whence;
	return (off_t)(fd == 3 ? current->old_size : current->new_size);
}

static void *run_mmap(void *address, size_t length, int protection, int flags, int fd, off_t offset)
{
	(void)address;
	(void)length;
	(void)protection;
	(void)flags;
	(void)offset;
	const unsigned char *data = fd == 3 ? current->old_data : current->new_data;
	return (void *)(data != NULL ? data : empty_file);
}

static int run_ignore_fd(int fd)
{
	(void)fd;
	return 0;
}

static int run_munmap(void *address, size_t length)
{
	(void)address;
	(void)length;
	return 0;
}

/* The patch file: its header is not needed, the streams go to the sink. */
static FILE *run_fopen(const char *path, const char *mode)
{
	(void)path;
	(void)mode;
	return (FILE *)&current;
}

static size_t run_fwrite(const void *data, size_t size, size_t count, FILE *file)
{
	(void)data;
	(void)size;
	(void)file;
	return count;
}

static int run_ignore_file(FILE *file)
{
	(void)file;
	return 0;
}

static int run_fseeko(FILE *file, off_t offset, int whence)
{
	(void)file;
	(void)offset;
	(void)whence;
	return 0;
}

/* Each compressed block bsdiff opens is the next stream. */
static void *run_stream_open(int *error, FILE *file, int block_size, int verbosity, int work_factor)
{
	(void)file;
	(void)block_size;
	(void)verbosity;
	(void)work_factor;
	*error = 0;
	return (void *)&current;
}

static void run_stream_write(int *error, void *stream, void *data, int size)
{
	(void)stream;
	if (size > 0 && current->sink(current->context, current->stream, data, (size_t)size) != 0)
		run_fail();
	*error = 0;
}

static void run_stream_close(int *error, void *stream, int abandon, unsigned *in, unsigned *out)
{
	(void)stream;
	(void)abandon;
	(void)in;
	(void)out;
	current->stream++;
	*error = 0;
}

#define main bsdiff_memory_main
#define open run_open
#define lseek run_lseek
#define close run_ignore_fd
#define mmap run_mmap
#define munmap run_munmap
#define malloc run_malloc
#define free run_free
#define fopen run_fopen
#define fwrite run_fwrite
#define ftello(file) ((off_t)0)
#define fseeko run_fseeko
#define fclose run_ignore_file
#define BZ2_bzWriteOpen run_stream_open
#define BZ2_bzWrite run_stream_write
#define BZ2_bzWriteClose run_stream_close
#define err(...) run_fail()
#define errx(...) run_fail()
#define u_char unsigned char

#include "bsdiff.c"

#undef malloc
#undef free

size_t bsdiff_memory_max_size(void)
{
	/* bsdiff counts in int32_t and allocates (size + 1) * 4 bytes twice. */
	const size_t by_memory = SIZE_MAX / 8 - 1;
	return by_memory < (size_t)INT_MAX - 1 ? by_memory : (size_t)INT_MAX - 1;
}

int bsdiff_memory(const unsigned char *old_data, size_t old_size, const unsigned char *new_data,
                  size_t new_size, bsdiff_memory_sink sink, void *context)
{
	if (old_size > bsdiff_memory_max_size() || new_size > bsdiff_memory_max_size())
		return -1;
	struct bsdiff_memory_run run;
	memset(&run, 0, sizeof run);
	run.old_data = old_data;
	run.old_size = old_size;
	run.new_data = new_data;
	run.new_size = new_size;
	run.sink = sink;
	run.context = context;
	struct bsdiff_memory_run *volatile outer = current;
	current = &run;
	volatile int result = -1;
	if (setjmp(run.failed) == 0) {
		char *argv[] = { "bsdiff", "old", "new", "patch", NULL };
		result = bsdiff_memory_main(4, argv) == 0 && run.stream == 3 ? 0 : -1;
	}
	for (int i = 0; i < BSDIFF_MEMORY_BLOCKS; i++)
		free(run.blocks[i]);
	current = outer;
	return result;
}
