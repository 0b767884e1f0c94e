// The allocator behind a point surface's storage blocks, replaceable so
// that tests can make a growth fail.
#pragma once

extern void *(*gsurf_block_alloc)(long size);
