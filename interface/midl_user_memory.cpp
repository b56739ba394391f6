// The allocation pair the NDR engine uses for marshalling, on the process heap.
#include <windows.h>
#include <rpc.h>
#include <rpcndr.h>

void* __RPC_USER MIDL_user_allocate(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }

void __RPC_USER MIDL_user_free(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}
