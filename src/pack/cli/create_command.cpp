// sfxpack create: the request as the command line gives it, the progress bar
// and warnings on standard error, and the summary line.
#include <chrono>
#include <cstdio>

#include "pack/cli/commands.h"
#include "pack/cli/progress_meter.h"
#include "pack/create.h"
#include "platform/platform.h"

namespace {

// Without --stub: the installed one (sfxpack in <prefix>/bin, the stub in
// <prefix>/share/sfx), then the one beside the program, as in the build's dist/.
std::vector<std::string> DefaultStubPaths() {
    std::string self = OwnExecutablePath();
    if (self.empty()) return {"sfxstub.exe"};
    std::string directory = ParentDirectory(self);
    return {JoinPath(ParentDirectory(directory), SFX_STUB_INSTALL_DIR "/sfxstub.exe"),
            JoinPath(directory, "sfxstub.exe")};
}

struct Shown {
    ProgressMeter meter;
    ProgressStyle style = PROGRESS_NONE;
};

void ShowWarning(void*, const std::string& message) { Warn(message); }

void ShowPhase(void* context, const char* name) {
    Shown* shown = (Shown*)context;
    if (name) StartProgress(&shown->meter, name, shown->style);
    else FinishProgress(&shown->meter);
}

void ShowProgress(void* context, uint64_t done, uint64_t total) {
    UpdateProgress(&((Shown*)context)->meter, done, total);
}

void PrintSummary(const CreateRequest& request, const CreateResult& result, double seconds) {
    std::string signedNote =
        result.signature.size ? ", signed (certificate table " + FormatBytes(result.signature.size) + ")" : "";
    char percent[32];
    snprintf(percent, sizeof(percent), "%.1f%%", 100.0 * (double)result.archiveSize / (double)result.streamSize);
    const CompressionLevel& level = *request.level;
    PrintLine(request.output + ": " + Counted(result.files, "file", "files") + ", " +
              Counted(result.directories, "directory", "directories") + ", " + FormatBytes(result.fileBytes) +
              " of files; archive " + FormatBytes(result.archiveSize) + " (" + percent + " of " +
              FormatBytes(result.streamSize) + "), " + level.name +
              (result.compressed || !level.parse ? "" : " (stored: it did not shrink)") + signedNote + ", " +
              FormatSeconds(seconds));
}

}   // namespace

int RunCreate(const CommandLine& line, const CodePage& codePage) {
    CreateRequest request = line.create;
    request.directory = line.operands[0];
    request.defaultStubs = DefaultStubPaths();
    Shown shown;
    shown.style = line.quiet ? PROGRESS_NONE : StandardErrorIsTerminal() ? PROGRESS_BAR : PROGRESS_LINES;
    CreateSink sink;
    sink.warn = ShowWarning;
    sink.phase = ShowPhase;
    sink.progress = ShowProgress;
    sink.context = &shown;
    auto started = std::chrono::steady_clock::now();
    CreateResult result;
    if (Problem problem = CreateInstaller(request, codePage, sink, &result)) return Fail(problem.text);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!line.quiet) PrintSummary(request, result, seconds);
    return EXIT_OK;
}
