#pragma once
// Every system call that touches a data file passes through these, so that a test build
// can link its own versions and make any one of them fail or fall short.

#include <sys/stat.h>
#include <sys/types.h>

int SysOpen(const char* path, int flags, mode_t mode);
int SysMakeTemp(char* pattern);
int SysFstat(int handle, struct stat* status);
ssize_t SysRead(int handle, void* block, size_t count);
ssize_t SysWrite(int handle, const void* block, size_t count);
int SysFsync(int handle);
int SysClose(int handle);
int SysRename(const char* from, const char* to);
