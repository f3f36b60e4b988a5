// Buffered file channels: files are opened on numbers of the caller's choosing
// and named by those numbers afterwards. Each open channel has one buffer that
// holds either read-ahead or pending written bytes. Operations on a number that
// is not open do nothing and return a neutral value.
#pragma once
#include <stdint.h>

#include "strings/text.h"

enum { CHANNEL_BUFFER_SIZE = 4096 };

struct ChannelRecord {
    void* handle;      // non-zero exactly while open: the record's liveness field
    uint8_t* buffer;   // none: the channel works unbuffered
    int32_t bufferSize;
    int32_t count;     // read state: unconsumed read-ahead; write state: free space
    int32_t filled;    // read state: bytes the last refill delivered
    int32_t reading;   // 1 read state, 0 write state
};

void InitChannels();
// Non-zero on success: the handle, or the channel's identifier for AnyNumber.
int32_t OpenChannelForRead(int32_t number, Text path);
// The same for a UTF-16 path, which can name any file.
int32_t OpenChannelForReadWide(int32_t number, const wchar_t* path);
int32_t OpenChannelForUpdate(int32_t number, Text path);
int32_t CreateChannel(int32_t number, Text path);
// Only when nothing, not even a link, has the name: never writes elsewhere.
int32_t CreateNewChannel(int32_t number, Text path);
int32_t ReadChannelBytes(int32_t number, void* destination, int32_t length);
int32_t ReadChannelInt32(int32_t number);
Text ReadChannelLine(int32_t number);
int32_t WriteChannelBytes(int32_t number, const void* source, int32_t length);
int32_t WriteChannelLine(int32_t number, Text text);
int32_t ChannelAtEnd(int32_t number);    // 0 more data, 1 at end, -1 at end unbuffered
int64_t ChannelLength(int32_t number);   // -1 when not open
uint32_t SeekChannel(int32_t number, int64_t position);
void CloseChannel(int32_t number);
void CloseAllChannels();
// The open channel's record, or null; for tests (the installer never calls it).
ChannelRecord* FindChannelRecord(int32_t number);
