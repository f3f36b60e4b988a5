#include "files/channels.h"

#include <string.h>
#include <windows.h>

#include "files/object_table.h"
#include "support/heap.h"
#include "support/text_workspace.h"

// The ways to open a file are the platform's own dispositions.
enum {
    OPEN_FOR_READ = OPEN_EXISTING,
    OPEN_FOR_UPDATE = OPEN_ALWAYS,
    OPEN_CREATE = CREATE_ALWAYS,
    OPEN_CREATE_NEW = CREATE_NEW,
};

static ObjectTable* channelTable;

void InitChannels() { channelTable = CreateObjectTable(sizeof(ChannelRecord), 16, CloseChannel); }

static ChannelRecord* FindChannel(int32_t number) { return (ChannelRecord*)FindObject(channelTable, number); }

ChannelRecord* FindChannelRecord(int32_t number) { return FindChannel(number); }

// Platform calls; a failed transfer counts as 0 bytes.
static int32_t ReadHandle(void* handle, void* destination, int32_t length) {
    DWORD done = 0;
    if (!ReadFile(handle, destination, (DWORD)length, &done, 0)) done = 0;
    return (int32_t)done;
}

static int32_t WriteHandle(void* handle, const void* source, int32_t length) {
    DWORD done = 0;
    if (!WriteFile(handle, source, (DWORD)length, &done, 0)) done = 0;
    return (int32_t)done;
}

static void MoveHandlePosition(void* handle, int32_t distance) { SetFilePointer(handle, distance, 0, FILE_CURRENT); }

static int32_t FlushChannel(ChannelRecord* channel) {
    if (channel->reading) return 0;
    int32_t written = WriteHandle(channel->handle, channel->buffer, channel->bufferSize - channel->count);
    channel->count = channel->bufferSize;   // a failed flush drops the pending bytes
    return written;
}

static int32_t BufferedRead(ChannelRecord* channel, uint8_t* destination, int32_t length) {
    if (!channel->reading) {
        FlushChannel(channel);
        channel->reading = 1;
        channel->count = 0;
    }
    const uint8_t* unread = channel->buffer + channel->filled - channel->count;
    if (channel->count >= length) {
        memcpy(destination, unread, (size_t)length);
        channel->count -= length;
        return length;
    }
    int32_t taken = channel->count;
    memcpy(destination, unread, (size_t)taken);
    channel->count = 0;
    int32_t wanted = length - taken;
    if (wanted >= channel->bufferSize) return taken + ReadHandle(channel->handle, destination + taken, wanted);
    int32_t got = ReadHandle(channel->handle, channel->buffer, channel->bufferSize);
    int32_t served = wanted < got ? wanted : got;
    memcpy(destination + taken, channel->buffer, (size_t)served);
    channel->filled = got;
    channel->count = got - served;
    return taken + served;
}

static int32_t BufferedWrite(ChannelRecord* channel, const uint8_t* source, int32_t length) {
    if (channel->reading) {
        // The caller's position is behind the read-ahead: write from there.
        if (channel->count) MoveHandlePosition(channel->handle, -channel->count);
        channel->reading = 0;
        channel->count = channel->bufferSize;
    }
    if (channel->count > length) {
        memcpy(channel->buffer + channel->bufferSize - channel->count, source, (size_t)length);
        channel->count -= length;
        return length;
    }
    FlushChannel(channel);
    if (length >= channel->bufferSize) return WriteHandle(channel->handle, source, length);
    memcpy(channel->buffer, source, (size_t)length);
    channel->count -= length;
    return length;
}

// A wide path, when given, is opened instead of the text path.
static int32_t OpenChannel(int32_t mode, int32_t number, Text path, const wchar_t* widePath = 0) {
    ChannelRecord* channel = (ChannelRecord*)AcquireObject(channelTable, number);
    if (!channel) return 0;
    if (!path) path = "";
    DWORD access = mode == OPEN_FOR_READ ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    // A new file is never made at the end of a link: with the link's own
    // name taken, CREATE_NEW fails instead of following it.
    DWORD attributes =
        mode == OPEN_CREATE_NEW ? FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT : FILE_ATTRIBUTE_NORMAL;
    HANDLE handle = widePath ? CreateFileW(widePath, access, FILE_SHARE_READ, 0, (DWORD)mode, attributes, 0)
                             : CreateFileA(path, access, FILE_SHARE_READ, 0, (DWORD)mode, attributes, 0);
    if (handle == INVALID_HANDLE_VALUE && mode == OPEN_CREATE)
        handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, 0, TRUNCATE_EXISTING, 0, 0);
    if (handle == INVALID_HANDLE_VALUE || !handle) {
        if (number == AnyNumber) FreeObject(channelTable, ObjectIdentifier(channel));
        return 0;
    }
    channel->buffer = (uint8_t*)HeapBlockRaw(CHANNEL_BUFFER_SIZE);
    channel->bufferSize = CHANNEL_BUFFER_SIZE;
    channel->count = 0;
    channel->filled = 0;
    channel->reading = 1;
    channel->handle = handle;
    return number == AnyNumber ? ObjectIdentifier(channel) : (int32_t)(uintptr_t)handle;
}

int32_t OpenChannelForRead(int32_t number, Text path) { return OpenChannel(OPEN_FOR_READ, number, path); }
int32_t OpenChannelForReadWide(int32_t number, const wchar_t* path) {
    return OpenChannel(OPEN_FOR_READ, number, 0, path ? path : L"");
}
int32_t OpenChannelForUpdate(int32_t number, Text path) { return OpenChannel(OPEN_FOR_UPDATE, number, path); }
int32_t CreateChannel(int32_t number, Text path) { return OpenChannel(OPEN_CREATE, number, path); }
int32_t CreateNewChannel(int32_t number, Text path) { return OpenChannel(OPEN_CREATE_NEW, number, path); }

int32_t ReadChannelBytes(int32_t number, void* destination, int32_t length) {
    ChannelRecord* channel = FindChannel(number);
    if (!channel || length <= 0) return 0;
    if (!channel->buffer) return ReadHandle(channel->handle, destination, length);
    return BufferedRead(channel, (uint8_t*)destination, length);
}

int32_t ReadChannelInt32(int32_t number) {
    uint8_t bytes[4] = {0, 0, 0, 0};   // bytes missing at the end of the file read as zero
    ReadChannelBytes(number, bytes, 4);
    return ReadInt32At(bytes);
}

int32_t WriteChannelBytes(int32_t number, const void* source, int32_t length) {
    if (!source || length <= 0) return 0;
    ChannelRecord* channel = FindChannel(number);
    if (!channel) return 0;
    if (!channel->buffer) return WriteHandle(channel->handle, source, length);
    return BufferedWrite(channel, (const uint8_t*)source, length);
}

int32_t WriteChannelLine(int32_t number, Text text) {
    int32_t written = text ? WriteChannelBytes(number, text, (int32_t)strlen(text)) : 0;
    return written + WriteChannelBytes(number, "\r\n", 2);
}

static int32_t ReadByte(ChannelRecord* channel, uint8_t* byte) {
    if (!channel->buffer) return ReadHandle(channel->handle, byte, 1);
    return BufferedRead(channel, byte, 1);
}

static void UnreadByte(ChannelRecord* channel) {
    if (channel->buffer) channel->count += 1;
    else MoveHandlePosition(channel->handle, -1);
}

int32_t ChannelAtEnd(int32_t number) {
    ChannelRecord* channel = FindChannel(number);
    if (!channel) return 0;
    uint8_t scratch;
    if (ReadByte(channel, &scratch)) {
        UnreadByte(channel);
        return 0;
    }
    return channel->buffer ? 1 : -1;
}

enum { LINE_GROWTH = 4096 };

Text ReadChannelLine(int32_t number) {
    ChannelRecord* channel = FindChannel(number);
    char* line = channel ? (char*)HeapBlockRaw(LINE_GROWTH) : 0;
    if (!line) return "";
    int32_t capacity = LINE_GROWTH;
    int32_t length = 0;
    for (;;) {
        uint8_t c = 0;
        ReadByte(channel, &c);
        if (c == 0 || c == '\n') break;   // a zero byte, the end of the file or a failed read
        if (c == '\r') {
            uint8_t next = 0;
            if (ReadByte(channel, &next) && next != '\n') UnreadByte(channel);
            break;
        }
        if (length + 1 == capacity) {
            char* larger = (char*)ResizeHeapBlock(line, (uint32_t)(capacity + LINE_GROWTH));
            if (!larger) break;
            line = larger;
            capacity += LINE_GROWTH;
        }
        line[length++] = (char)c;
    }
    line[length] = 0;
    Text result = AdoptWorkspaceText(line);
    return result ? result : "";
}

int64_t ChannelLength(int32_t number) {
    ChannelRecord* channel = FindChannel(number);
    if (!channel) return -1;
    if (channel->buffer) FlushChannel(channel);
    DWORD high = 0;
    DWORD low = GetFileSize(channel->handle, &high);
    return (int64_t)((uint64_t)high << 32 | low);
}

uint32_t SeekChannel(int32_t number, int64_t position) {
    ChannelRecord* channel = FindChannel(number);
    if (!channel) return 0;
    if (channel->buffer) {
        FlushChannel(channel);
        channel->count = 0;
        channel->reading = 1;
    }
    LONG high = (LONG)(position >> 32);
    return SetFilePointer(channel->handle, (LONG)position, &high, FILE_BEGIN);
}

void CloseChannel(int32_t number) {
    ChannelRecord* channel = FindChannel(number);
    if (!channel) return;
    if (channel->buffer) {
        FlushChannel(channel);
        FreeHeapBlock(channel->buffer);
    }
    CloseHandle(channel->handle);
    FreeObject(channelTable, number);
}

void CloseAllChannels() { ReleaseAllObjects(channelTable); }
