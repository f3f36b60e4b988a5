// sfxpack create: checks every input before the slow work, packs, checks the
// archive by decoding it again, and only then writes the installer.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>

#include "format/installer_format.h"
#include "pack/atomic_file.h"
#include "pack/cli/commands.h"
#include "pack/cli/options.h"
#include "pack/cli/progress_meter.h"
#include "pack/entry_order.h"
#include "pack/entry_stream.h"
#include "pack/installer_file.h"
#include "pack/signing.h"
#include "pack/target_directory.h"
#include "pack/tree_walk.h"
#include "pack/windows_names.h"
#include "platform/platform.h"

namespace {

struct CreateInputs {
    std::string target;        // UTF-8 with its trailing backslash
    std::string ansiTarget;    // the same in the code page
    std::string controlFile;   // its bytes; empty: none
    std::vector<uint8_t> stub;
    WalkOptions walk;
};

// Without --stub: the installed one (sfxpack in <prefix>/bin, the stub in
// <prefix>/share/sfx), then the one beside the program, as in the build's dist/.
std::vector<std::string> DefaultStubPaths() {
    std::string self = OwnExecutablePath();
    if (self.empty()) return {"sfxstub.exe"};
    std::string directory = ParentDirectory(self);
    return {JoinPath(ParentDirectory(directory), SFX_STUB_INSTALL_DIR "/sfxstub.exe"),
            JoinPath(directory, "sfxstub.exe")};
}

// The first default stub that exists; empty, with the message, when none does.
std::string FindDefaultStub(std::string* problem) {
    std::vector<std::string> paths = DefaultStubPaths();
    FileStatus status;
    for (const std::string& path : paths)
        if (QueryFileStatus(path, true, &status).empty()) return path;
    *problem = "no installer stub at " + JoinedNames(paths, ", ", " or ") + "; name one with --stub PATH";
    return "";
}

std::string CheckTarget(const CommandLine& line, const CodePage& codePage, CreateInputs* inputs) {
    if (line.targetGiven && line.target.empty()) return "--target: the target directory is empty";
    inputs->target = NormalizedTarget(line.targetGiven ? line.target : DEFAULT_TARGET);
    std::string problem = TargetDirectoryProblem(inputs->target);
    if (!problem.empty()) return "--target '" + inputs->target + "': " + problem;
    if (!ToCodePage(codePage, inputs->target, &inputs->ansiTarget))
        return "--target '" + inputs->target + "': cannot be written in code page " + codePage.name;
    size_t longest = inputs->ansiTarget.size() + (line.control.mode == CONTROL_NONE ? 0 : strlen(SHORTCUT_SCRIPT_NAME));
    if (inputs->ansiTarget.size() > MAX_DIRECTORY_PATH || longest > MAX_FILE_PATH)
        return "--target '" + inputs->target + "': too long for the files the installer makes there";
    return "";
}

// The output must be a file in an existing directory; when it already lies
// inside the packed tree, the walk leaves it out.
std::string CheckOutput(const std::string& output, WalkOptions* walk) {
    FileStatus status;
    if (QueryFileStatus(output, true, &status).empty()) {
        if (status.kind == FILE_KIND_DIRECTORY) return output + ": is a directory";
        walk->skip.push_back(status.identity);
        return "";
    }
    if (!QueryFileStatus(ParentDirectory(output), true, &status).empty() || status.kind != FILE_KIND_DIRECTORY)
        return output + ": its directory does not exist";
    return "";
}

bool Signing(const CommandLine& line) { return !line.signing.certificate.empty(); }

std::string GatherInputs(const CommandLine& line, const CodePage& codePage, CreateInputs* inputs) {
    std::string problem = ControlValuesProblem(line.control);
    if (problem.empty()) problem = CheckTarget(line, codePage, inputs);
    if (problem.empty() && line.control.mode != CONTROL_NONE)
        problem = MakeControlFile(line.control, codePage, &inputs->controlFile);
    if (!problem.empty()) return problem;

    std::string stubPath = line.stub.empty() ? FindDefaultStub(&problem) : line.stub;
    if (stubPath.empty()) return problem;
    if (!ReadWholeFile(stubPath, &inputs->stub, &problem)) return "stub " + problem;
    if (!(problem = StubProblem(inputs->stub)).empty()) return "stub " + stubPath + ": " + problem;
    if (Signing(line)) {
        if (!(problem = SignableStubProblem(inputs->stub)).empty()) return "stub " + stubPath + ": " + problem;
        if (!(problem = SigningInputsProblem(line.signing)).empty()) return problem;
    }

    inputs->walk.codePage = &codePage;
    inputs->walk.target = inputs->ansiTarget;
    inputs->walk.followLinks = line.followLinks;
    inputs->walk.controlFileWanted = line.control.mode != CONTROL_NONE;
    return CheckOutput(line.output, &inputs->walk);
}

bool IsAbsoluteWindowsPath(const std::string& path) {
    bool drive = path.size() >= 3 && isalpha((unsigned char)path[0]) && path[1] == ':' && path[2] == '\\';
    return drive || path.compare(0, 2, "\\\\") == 0;
}

// Mistakes that still make a working installer, but one that does not do what
// was meant: a shortcut to a relative path, or to a file that is not packed.
void WarnAboutShortcut(const CommandLine& line, const std::string& target, const std::vector<SourceEntry>& entries) {
    if (line.control.mode != CONTROL_SHORTCUT) return;
    if (!IsAbsoluteWindowsPath(line.control.program))
        Warn("--shortcut '" + line.control.program + "' is not an absolute path; shortcuts need one");
    std::string root = line.operands[0];
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    std::set<std::u32string> packed;
    for (const SourceEntry& entry : entries) {
        std::string relative = entry.hostPath.substr(root.size() + 1);
        for (char& c : relative) c = c == '/' ? '\\' : c;
        packed.insert(CaseFoldedKey(target + relative));
    }
    const std::pair<const char*, std::string> paths[] = {{"--shortcut", line.control.program},
                                                         {"--icon", line.control.icon}};
    std::u32string targetKey = CaseFoldedKey(target);
    for (const auto& path : paths) {
        std::u32string key = CaseFoldedKey(path.second);
        bool insideTarget = IsAbsoluteWindowsPath(target) && key.compare(0, targetKey.size(), targetKey) == 0;
        if (insideTarget && !packed.count(key))
            Warn(std::string(path.first) + " '" + path.second + "' lies in the target directory but is not packed");
    }
}

struct Totals {
    size_t files = 0;
    size_t directories = 0;
    uint64_t fileBytes = 0;
};

Totals CountEntries(const std::vector<SourceEntry>& entries) {
    Totals totals;
    for (const SourceEntry& entry : entries) {
        if (entry.isDirectory) ++totals.directories;
        else ++totals.files;
        totals.fileBytes += entry.size;
    }
    return totals;
}

// An installer that would not unpack must never be written: decode the block
// again, as the installer will.
bool UnpacksToStream(const Archive& archive, const std::vector<uint8_t>& stream) {
    std::vector<uint8_t> whole = archive.header;
    whole.insert(whole.end(), archive.compressedBlock.begin(), archive.compressedBlock.end());
    ArchiveInfo info;
    std::vector<uint8_t> decoded;
    return LoadArchive(whole.data(), whole.size(), &info, &decoded).empty() && decoded == stream;
}

// Everything after the inputs are known to be sound and the output place is
// taken: walk, read, compress, check, write.
int Pack(const CommandLine& line, CreateInputs& inputs, PendingFile* output) {
    auto started = std::chrono::steady_clock::now();
    inputs.walk.skip.push_back(output->identity);
    std::vector<SourceEntry> entries;
    std::string problem = WalkTree(line.operands[0], inputs.walk, &entries);
    if (!problem.empty()) return Fail(problem);
    OrderForCompression(&entries);
    WarnAboutShortcut(line, inputs.target, entries);

    uint64_t streamSize = EntryStreamSize(inputs.ansiTarget, entries, inputs.controlFile);
    if (streamSize > (uint64_t)ARCHIVE_MAX_SIZE)
        return Fail(line.operands[0] + ": the installer would hold " + std::to_string(streamSize) +
                    " bytes of entries; it holds at most " + std::to_string(ARCHIVE_MAX_SIZE));

    bool showProgress = !line.quiet && StandardErrorIsTerminal();
    ProgressMeter meter;
    StartProgress(&meter, "reading", showProgress);
    std::vector<uint8_t> stream;
    problem = BuildEntryStream(inputs.ansiTarget, entries, inputs.controlFile, ProgressCallback, &meter, &stream);
    FinishProgress(&meter);
    if (!problem.empty()) return Fail(problem);

    StartProgress(&meter, "compressing", showProgress && line.level->parse);
    uint32_t threads = line.threads > 0 ? line.threads : ProcessorCount();
    Archive archive = MakeArchive(stream, *line.level, threads, ProgressCallback, &meter);
    FinishProgress(&meter);
    const std::vector<uint8_t>& block = StoredBlock(archive, stream);
    bool compressed = !archive.compressedBlock.empty();
    if (compressed && !UnpacksToStream(archive, stream))
        return Fail("internal error: the compressed block does not unpack to the entry stream");

    problem = WritePendingFile(output, {&inputs.stub, &archive.header, &block});
    CertificateTable signature;
    if (problem.empty())
        problem =
            Signing(line) ? SignPendingInstaller(line.signing, *output, stream, &signature) : CommitPendingFile(output);
    if (!problem.empty()) return Fail(problem);

    if (!line.quiet) {
        Totals totals = CountEntries(entries);
        size_t archiveSize = archive.header.size() + block.size();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::string signedNote =
            signature.size ? ", signed (certificate table " + FormatBytes(signature.size) + ")" : "";
        printf("%s: %zu files, %zu directories, %s of files; archive %s (%.1f%% of %s), %s%s%s, %s\n",
               line.output.c_str(), totals.files, totals.directories, FormatBytes(totals.fileBytes).c_str(),
               FormatBytes(archiveSize).c_str(), 100.0 * (double)archiveSize / (double)stream.size(),
               FormatBytes(stream.size()).c_str(), line.level->name,
               compressed || !line.level->parse ? "" : " (stored: it did not shrink)", signedNote.c_str(),
               FormatSeconds(seconds).c_str());
    }
    return EXIT_OK;
}

}   // namespace

int RunCreate(const CommandLine& line) {
    CodePage codePage;
    int opened = OpenRequestedCodePage(line, &codePage);
    if (opened != EXIT_OK) return opened;
    CreateInputs inputs;
    std::string problem = GatherInputs(line, codePage, &inputs);
    PendingFile output;
    if (problem.empty()) problem = BeginPendingFile(line.output, &output);
    if (!problem.empty()) return Fail(problem);
    int result = Pack(line, inputs, &output);
    AbandonPendingFile(&output);   // after a success there is nothing left to abandon
    CloseCodePage(&codePage);
    return result;
}
