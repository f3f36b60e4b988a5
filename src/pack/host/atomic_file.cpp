#include "pack/host/atomic_file.h"

Problem BeginPendingFile(const std::string& path, PendingFile* file) {
    *file = PendingFile();
    file->path = path;
    FileStatus status;
    if (!QueryFileStatus(path, true, &status) && status.kind == FILE_KIND_DIRECTORY) return path + ": is a directory";
    std::string temporaryPath;
    // An interrupt between the file's making and its registration would leave it.
    DeferInterrupts();
    Problem failure = CreateUniqueFile(path + ".tmp-", &temporaryPath, &file->file);
    if (!failure) file->slot = RemoveOnInterrupt(temporaryPath);
    ResumeInterrupts();
    if (failure) return path + ": cannot create a file beside it: " + failure.text;
    file->temporaryPath = temporaryPath;
    if (file->slot < 0) {
        AbandonPendingFile(file);
        return path + ": internal error: too many files pending";
    }
    if ((failure = QueryOpenFileStatus(file->file, &status))) {
        AbandonPendingFile(file);
        return path + ": cannot create a file beside it: " + failure.text;
    }
    file->identity = status.identity;
    return {};
}

Problem BeginPendingName(const std::string& path, PendingFile* file) {
    if (Problem problem = BeginPendingFile(path, file)) return problem;
    (void)CloseFile(&file->file);   // empty, and removed next
    RemoveFileIfPresent(file->temporaryPath);
    return {};
}

void AbandonPendingFile(PendingFile* file) {
    if (file->file.handle >= 0) (void)CloseFile(&file->file);   // its bytes are given up
    if (!file->temporaryPath.empty()) RemoveFileIfPresent(file->temporaryPath);
    file->temporaryPath.clear();
    ForgetOnInterrupt(file->slot);
    file->slot = -1;
}

Problem WritePendingFile(PendingFile* file, const std::vector<const std::vector<uint8_t>*>& parts) {
    Problem problem = Prefixed("cannot set permissions: ", GiveUsualPermissions(&file->file));
    for (const std::vector<uint8_t>* part : parts)
        if (!problem) problem = Prefixed("cannot write: ", WriteToFile(&file->file, part->data(), part->size()));
    if (!problem) problem = Prefixed("cannot write: ", FlushFileToDisk(&file->file));
    Problem closing = CloseFile(&file->file);
    if (!problem) problem = Prefixed("cannot write: ", closing);
    if (!problem) return {};
    AbandonPendingFile(file);
    return file->path + ": " + problem.text;
}

Problem CommitPendingFile(PendingFile* file) {
    Problem problem =
        Prefixed(file->path + ": cannot rename the finished file to it: ", RenameFile(file->temporaryPath, file->path));
    if (!problem) file->temporaryPath.clear();   // it is the file now
    AbandonPendingFile(file);
    return problem;
}
