#pragma once

// Makes socket(AF_NETLINK, ...) fail with `error` on the calling thread for
// the rest of its life, so that the local address list cannot be read there.
// Seccomp filters belong to one thread: install it on a thread that ends
// afterwards.
void FailNetlinkSocketsOnThisThread(int error);
