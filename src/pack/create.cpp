// sfxpack create's pipeline: gathering and checking the inputs, walking and
// ordering the tree, building the entry stream, packing, the check that the
// installer unpacks as its header says, writing, signing and committing.
#include "pack/create.h"

#include <cstring>
#include <thread>

#include "format/installer_format.h"
#include "pack/host/atomic_file.h"
#include "pack/host/entry_order.h"
#include "pack/host/tree_walk.h"
#include "pack/installer/entry_stream.h"
#include "pack/installer/installer_file.h"
#include "pack/installer/installer_reader.h"
#include "pack/installer/load_memory.h"
#include "pack/installer_warnings.h"
#include "pack/names/target_directory.h"
#include "pack/names/windows_names.h"
#include "pack/pe/pe_checksum.h"
#include "platform/platform.h"

namespace {

struct CreateInputs {
    std::string root;          // DIR without trailing slashes
    std::string target;        // UTF-8 with its trailing backslash
    std::string ansiTarget;    // the same in the code page
    ControlValues control;     // UTF-8, as the control file will hold them
    std::string controlFile;   // its bytes; empty: none
    std::vector<uint8_t> stub;
    WalkOptions walk;
    bool outsideCodePage = false;   // a name or value failed for a character the code page lacks
};

void Warn(const CreateSink& sink, const std::string& message) {
    if (sink.warn) sink.warn(sink.context, message);
}

void Phase(const CreateSink& sink, const char* name) {
    if (sink.phase) sink.phase(sink.context, name);
}

// The first default stub that exists; empty, with the problem, when none does.
std::string FindDefaultStub(const std::vector<std::string>& paths, Problem* problem) {
    FileStatus status;
    std::string listed;
    for (size_t index = 0; index < paths.size(); ++index) {
        if (!QueryFileStatus(paths[index], true, &status)) return paths[index];
        listed += (index == 0 ? "" : index + 1 == paths.size() ? " or " : ", ") + paths[index];
    }
    *problem = "no installer stub at " + listed + "; name one with --stub PATH";
    return "";
}

// With no control option, a top-level $$$.$$$ in DIR is the control file, taken
// as it is (so that extract and then create give the same installer), when the
// installer reads it as one whose values create would write.
Problem TakeTreeControlFile(const CreateRequest& request, const CodePage& codePage, CreateInputs* inputs) {
    std::string path = JoinPath(inputs->root, CONTROL_FILE_NAME);
    FileStatus status;
    if (QueryFileStatus(path, request.followLinks, &status)) return {};
    std::string refused = path + ": the installer takes a top-level " + CONTROL_FILE_NAME + " for its control file, ";
    if (status.kind != FILE_KIND_REGULAR) return refused + "and this is not a regular file";
    std::vector<uint8_t> bytes;
    if (Problem problem = ReadWholeFile(path, &bytes)) return problem;
    if (!ControlFileIsRead((int64_t)bytes.size()))
        return refused + "and ignores this one of " + std::to_string(bytes.size()) +
               " bytes (it reads one of 2 or more)";
    inputs->controlFile.assign(bytes.begin(), bytes.end());
    ControlValues read = ReadControlFile(inputs->controlFile), values = read;
    for (const ControlLineSpec& line : CONTROL_FILE_LINES) {
        std::optional<std::string> utf8 = FromCodePage(codePage, read.*line.value);
        if (!utf8) return refused + "and this one does not convert from code page " + codePage.name;
        values.*line.value = *utf8;
    }
    if (Problem problem = ControlValuesProblem(values)) return refused + "and this one's " + problem.text;
    inputs->control = values;
    inputs->walk.skip.push_back(status.identity);
    return {};
}

Problem CheckTarget(const CreateRequest& request, const CodePage& codePage, CreateInputs* inputs) {
    if (request.targetGiven && request.target.empty()) return "--target: the target directory is empty";
    bool temporaryRun = inputs->control.mode == CONTROL_TEMP_RUN;
    std::string defaultTarget = temporaryRun ? TemporaryRunTarget(request.output) : DEFAULT_TARGET;
    inputs->target = NormalizedTarget(request.targetGiven ? request.target : defaultTarget);
    std::string named = (request.targetGiven ? "--target '" : "the default target '") + inputs->target + "'";
    Problem problem = temporaryRun ? TemporaryRunTargetProblem(inputs->target) : Problem();
    if (problem)
        return named + " with a temporary run: " + problem.text + "; leave out --target for a new directory " +
               defaultTarget + " beside the installer, or name another one";
    problem = TargetDirectoryProblem(inputs->target);
    std::optional<std::string> ansiTarget = ToCodePage(codePage, inputs->target);
    if (!problem && !ansiTarget) {
        problem = "cannot be written in code page " + codePage.name;
        inputs->outsideCodePage = true;
    }
    inputs->ansiTarget = ansiTarget.value_or("");
    if (!problem) problem = TargetLengthProblem(inputs->ansiTarget.size(), inputs->control.mode != CONTROL_NONE);
    return Prefixed(named + ": ", problem);
}

// The control options' relative commands get the target in front. A tree's
// control file is taken as it is: one whose command Windows would look for
// beside the installer is refused.
Problem PlaceCommands(const CreateRequest& request, CreateInputs* inputs) {
    if (request.control.mode != CONTROL_NONE) inputs->control = CommandsInTarget(inputs->control, inputs->target);
    return Prefixed(JoinPath(inputs->root, CONTROL_FILE_NAME) + ": its ",
                    CommandPlaceProblem(inputs->control, inputs->target));
}

// The output must be a file in an existing directory; when it already lies
// inside the packed tree, the walk leaves it out.
Problem CheckOutput(const std::string& output, WalkOptions* walk) {
    FileStatus status;
    bool exists = !QueryFileStatus(output, true, &status);
    if ((exists && status.kind == FILE_KIND_DIRECTORY) || output.back() == '/') {
        size_t end = output.find_last_not_of("/\\");
        std::string directory = output.substr(0, end + 1);
        char separator = end + 1 < output.size() ? output[end + 1] : '/';
        return output + ": is a directory; to write the installer in it, give -o " + directory + separator + "NAME.exe";
    }
    if (exists) {
        walk->skip.push_back(status.identity);
        return {};
    }
    if (QueryFileStatus(ParentDirectory(output), true, &status) || status.kind != FILE_KIND_DIRECTORY)
        return output + ": its directory does not exist";
    return {};
}

bool Signing(const CreateRequest& request) { return !request.signing.certificate.empty(); }

Problem GatherInputs(const CreateRequest& request, const CodePage& codePage, CreateInputs* inputs) {
    inputs->root = request.directory;
    while (inputs->root.size() > 1 && inputs->root.back() == '/') inputs->root.pop_back();
    inputs->control = request.control;
    Problem problem = ControlValuesProblem(request.control);
    if (!problem && request.control.mode == CONTROL_NONE) problem = TakeTreeControlFile(request, codePage, inputs);
    if (!problem) problem = CheckTarget(request, codePage, inputs);
    if (!problem) problem = PlaceCommands(request, inputs);
    if (!problem && request.control.mode != CONTROL_NONE) {
        problem = MakeControlFile(inputs->control, codePage, &inputs->controlFile);
        inputs->outsideCodePage = (bool)problem;   // its one failure
    }
    if (problem) return problem;

    std::string stubPath = request.stub.empty() ? FindDefaultStub(request.defaultStubs, &problem) : request.stub;
    if (stubPath.empty()) return problem;
    if ((problem = ReadWholeFile(stubPath, &inputs->stub))) return "stub " + problem.text;
    if ((problem = StubProblem(inputs->stub))) return "stub " + stubPath + ": " + problem.text;
    if (Signing(request)) {
        if ((problem = SignableStubProblem(inputs->stub))) return "stub " + stubPath + ": " + problem.text;
        if ((problem = SigningInputsProblem(request.signing))) return problem;
    }

    inputs->walk.codePage = &codePage;
    inputs->walk.target = inputs->ansiTarget;
    inputs->walk.followLinks = request.followLinks;
    inputs->walk.controlFileWanted = inputs->control.mode != CONTROL_NONE;
    return CheckOutput(request.output, &inputs->walk);
}

// A target as given that the installer takes for another folder than the one
// a newcomer means: "Program Files\App" extracts beside the installer.
void WarnAboutTargetSpelling(const CreateRequest& request, const CreateSink& sink, const CreateInputs& inputs) {
    const std::string& given = request.target;
    if (!request.targetGiven || !IsRelativeWindowsPath(given) || given[0] == '.') return;
    Warn(sink, "--target '" + given + "' names no drive: the installer extracts beside itself, into " + inputs.target +
                   "; for the folder on drive C: give --target 'C:\\" + given + "', or --target '.\\" + given +
                   "' for the one beside the installer without this warning");
}

// The warnings that verify repeats, from the entry stream read as the
// installer reads it; the stream is lent, and comes back unchanged.
Problem WarnAboutInstaller(const CreateRequest& request, const CreateSink& sink, const CodePage& codePage,
                           std::vector<uint8_t>* stream) {
    Installer packed;
    packed.stream = std::move(*stream);
    Problem problem = ReadInstallerStream(&packed);
    std::string fileName = request.output.substr(request.output.find_last_of("/\\") + 1);
    const ControlValues* given = request.control.mode == CONTROL_NONE ? nullptr : &request.control;
    std::vector<std::string> warnings;
    if (!problem) warnings = InstallerWarnings(packed, fileName, codePage, given);
    *stream = std::move(packed.stream);
    if (problem) return "internal error: the entry stream does not read back: " + problem.text;
    for (const std::string& warning : warnings) Warn(sink, warning);
    return {};
}

// Everything after the inputs are known to be sound and the output place is
// taken: walk, read, compress, check, write.
Problem Pack(const CreateRequest& request, const CodePage& codePage, const CreateSink& sink, CreateInputs& inputs,
             PendingFile* output, CreateResult* result) {
    inputs.walk.skip.push_back(output->identity);
    std::vector<SourceEntry> entries;
    if (Problem problem = WalkTree(inputs.root, inputs.walk, &entries, &inputs.outsideCodePage)) return problem;
    OrderForCompression(&entries);
    WarnAboutTargetSpelling(request, sink, inputs);

    uint64_t streamSize = EntryStreamSize(inputs.ansiTarget, entries, inputs.controlFile);
    if (streamSize > (uint64_t)ARCHIVE_MAX_SIZE)
        return request.directory + ": the installer would hold " + std::to_string(streamSize) +
               " bytes of entries; it holds at most " + std::to_string(ARCHIVE_MAX_SIZE);
    // The stream alone is the least the installer loads, stored or not.
    LoadNeed least = InstallerLoadNeed(streamSize, streamSize);
    if (least.reach == LOADS_NOWHERE) return request.directory + ": " + LoadNeedText(least);

    Phase(sink, "reading");
    std::vector<uint8_t> stream;
    Problem problem =
        BuildEntryStream(inputs.ansiTarget, entries, inputs.controlFile, sink.progress, sink.context, &stream);
    Phase(sink, nullptr);
    if (problem) return problem;
    if ((problem = WarnAboutInstaller(request, sink, codePage, &stream))) return problem;

    if (request.level->parse) Phase(sink, "compressing");
    uint32_t threads = request.threads > 0 ? request.threads : ProcessorCount();
    // A compressed archive lets the stream go, so that the check's decoded copy
    // below takes its place in memory.
    PackedArchive archive = PackArchive(std::move(stream), *request.level, threads, sink.progress, sink.context);
    if (request.level->parse) Phase(sink, nullptr);
    LoadNeed need = InstallerLoadNeed((uint64_t)archive.header.unpackedSize, archive.block.size());
    if (need.reach == LOADS_NOWHERE) return request.directory + ": " + LoadNeedText(need);
    if (need.reach == LOADS_ON_64_BIT_ONLY) Warn(sink, request.output + ": " + LoadNeedText(need));

    // An installer that would not unpack must never be committed: the block is
    // decoded again while the file is written (before it, on one thread).
    bool unpacks = false;
    auto check = [&] { unpacks = BlockUnpacksAsItsHeaderSays(archive); };
    std::thread checking;
    if (threads > 1) checking = std::thread(check);
    else check();
    std::vector<uint8_t> header = ArchiveHeaderBytes(archive.header);
    SetPeChecksum(&inputs.stub, {&header, &archive.block});
    problem = WritePendingFile(output, {&inputs.stub, &header, &archive.block});
    if (checking.joinable()) checking.join();
    if (!unpacks) return "internal error: the compressed block does not unpack to the entry stream";
    if (problem) return problem;
    if (Signing(request)) problem = SignPendingInstaller(request.signing, *output, header, &result->signature);
    else problem = CommitPendingFile(output);
    if (problem) return problem;

    for (const SourceEntry& entry : entries) {
        if (entry.isDirectory) ++result->directories;
        else ++result->files;
        result->fileBytes += entry.size;
    }
    result->streamSize = (uint64_t)archive.header.unpackedSize;
    result->archiveSize = header.size() + archive.block.size();
    result->compressed = IsCompressed(archive.header);
    return {};
}

// Which of the code pages Windows reads installers' names in can write the
// target, the control values and every name of the tree (walked again, in
// UTF-8); empty when the tree cannot be walked so.
std::string CodePageHint(const CreateRequest& request, const CreateInputs& inputs) {
    CodePage utf8;
    std::vector<SourceEntry> entries;
    WalkOptions walk = inputs.walk;
    walk.codePage = &utf8;
    walk.target = inputs.target;
    walk.followLinks = request.followLinks;
    walk.controlFileWanted = inputs.control.mode != CONTROL_NONE;
    Problem problem = OpenCodePage("UTF-8", &utf8);
    if (!problem) problem = WalkTree(inputs.root, walk, &entries);
    CloseCodePage(&utf8);
    if (problem) return "";
    std::vector<std::string> texts = {inputs.target};
    for (const ControlLineSpec& line : CONTROL_FILE_LINES) texts.push_back(inputs.control.*line.value);
    for (const SourceEntry& entry : entries) texts.push_back(entry.name);
    std::string holding;
    for (const std::string& name : CodePagesHolding(texts)) holding += (holding.empty() ? "" : ", ") + name;
    if (holding.empty())
        return "; no code page that Windows reads an installer's names in holds every name of the tree";
    return "; every name of the tree can be written in " + holding + " (--codepage NAME)";
}

}   // namespace

Problem CreateInstaller(const CreateRequest& request, const CodePage& codePage, const CreateSink& sink,
                        CreateResult* result) {
    *result = CreateResult();
    CreateInputs inputs;
    Problem problem = GatherInputs(request, codePage, &inputs);
    PendingFile output;
    if (!problem) problem = BeginPendingFile(request.output, &output);
    if (!problem) {
        problem = Pack(request, codePage, sink, inputs, &output, result);
        AbandonPendingFile(&output);   // after a success there is nothing left to abandon
    }
    if (problem && inputs.outsideCodePage) return problem.text + CodePageHint(request, inputs);
    return problem;
}
