#pragma once

#include <sys/stat.h>

// Writes the open source, as `info` described it when it was opened, into the open copy: its
// bytes with its holes kept as holes; owner and group where this process may set them (else
// without set-user-ID and set-group-ID, so a copy never hands out its maker's rights); the
// permission bits; with extendedAttributes, every extended attribute the copy's file system
// takes; and last the times. Returns errno, 0 on success.
int fillCopy(int in, const struct stat& info, int out, bool extendedAttributes);
