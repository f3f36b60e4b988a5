#include "pack/host/atomic_file.h"

std::string BeginPendingFile(const std::string& path, PendingFile* file) {
    *file = PendingFile();
    file->path = path;
    FileStatus status;
    if (QueryFileStatus(path, true, &status).empty() && status.kind == FILE_KIND_DIRECTORY)
        return path + ": is a directory";
    std::string temporaryPath;
    // An interrupt between the file's making and its registration would leave it.
    DeferInterrupts();
    std::string failure = CreateUniqueFile(path + ".tmp-", &temporaryPath, &file->file);
    if (failure.empty()) file->slot = RemoveOnInterrupt(temporaryPath);
    ResumeInterrupts();
    if (!failure.empty()) return path + ": cannot create a file beside it: " + failure;
    file->temporaryPath = temporaryPath;
    if (file->slot < 0) {
        AbandonPendingFile(file);
        return path + ": internal error: too many files pending";
    }
    failure = QueryOpenFileStatus(file->file, &status);
    if (!failure.empty()) {
        AbandonPendingFile(file);
        return path + ": cannot create a file beside it: " + failure;
    }
    file->identity = status.identity;
    return "";
}

std::string BeginPendingName(const std::string& path, PendingFile* file) {
    std::string problem = BeginPendingFile(path, file);
    if (!problem.empty()) return problem;
    (void)CloseFile(&file->file);   // empty, and removed next
    RemoveFileIfPresent(file->temporaryPath);
    return "";
}

void AbandonPendingFile(PendingFile* file) {
    if (file->file.handle >= 0) (void)CloseFile(&file->file);   // its bytes are given up
    if (!file->temporaryPath.empty()) RemoveFileIfPresent(file->temporaryPath);
    file->temporaryPath.clear();
    ForgetOnInterrupt(file->slot);
    file->slot = -1;
}

std::string WritePendingFile(PendingFile* file, const std::vector<const std::vector<uint8_t>*>& parts) {
    std::string problem, failure;
    if (!(failure = GiveUsualPermissions(&file->file)).empty()) problem = "cannot set permissions: " + failure;
    for (const std::vector<uint8_t>* part : parts)
        if (problem.empty() && !(failure = WriteToFile(&file->file, part->data(), part->size())).empty())
            problem = "cannot write: " + failure;
    if (problem.empty() && !(failure = FlushFileToDisk(&file->file)).empty()) problem = "cannot write: " + failure;
    if (!(failure = CloseFile(&file->file)).empty() && problem.empty()) problem = "cannot write: " + failure;
    if (problem.empty()) return "";
    AbandonPendingFile(file);
    return file->path + ": " + problem;
}

std::string CommitPendingFile(PendingFile* file) {
    std::string problem;
    std::string failure = RenameFile(file->temporaryPath, file->path);
    if (!failure.empty()) problem = file->path + ": cannot rename the finished file to it: " + failure;
    if (problem.empty()) file->temporaryPath.clear();   // it is the file now
    AbandonPendingFile(file);
    return problem;
}
