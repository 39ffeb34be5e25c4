#include "platform/syscalls.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

int SysOpen(const char* path, int flags, mode_t mode) { return open(path, flags, mode); }
int SysMakeTemp(char* pattern) { return mkostemp(pattern, O_CLOEXEC); }
int SysFstat(int handle, struct stat* status) { return fstat(handle, status); }
ssize_t SysRead(int handle, void* block, size_t count) { return read(handle, block, count); }
ssize_t SysWrite(int handle, const void* block, size_t count) { return write(handle, block, count); }
int SysFsync(int handle) { return fsync(handle); }
int SysClose(int handle) { return close(handle); }
int SysRename(const char* from, const char* to) { return rename(from, to); }
