// sfxpack create's pipeline: gathering and checking the inputs, walking and
// ordering the tree, building the entry stream, packing, the check that the
// installer unpacks as its header says, writing, signing and committing.
#include "pack/create.h"

#include <cstring>
#include <set>
#include <thread>

#include "format/installer_format.h"
#include "pack/administrator_rights.h"
#include "pack/host/atomic_file.h"
#include "pack/host/entry_order.h"
#include "pack/host/tree_walk.h"
#include "pack/installer/entry_stream.h"
#include "pack/installer/installer_file.h"
#include "pack/installer/load_memory.h"
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
    if (!problem && !ansiTarget) problem = "cannot be written in code page " + codePage.name;
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

bool IsAbsoluteWindowsPath(const std::string& path) {
    bool drive = path.size() >= 3 && isalpha((unsigned char)path[0]) && path[1] == ':' && path[2] == '\\';
    return drive || path.compare(0, 2, "\\\\") == 0;
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
    if (!problem && request.control.mode != CONTROL_NONE)
        problem = MakeControlFile(inputs->control, codePage, &inputs->controlFile);
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

// Mistakes that still make a working installer, but one that does not do what
// was meant. Warnings, which --quiet leaves on.
void WarnAboutControl(const CreateRequest& request, const CreateSink& sink, const CreateInputs& inputs,
                      const CodePage& codePage, const std::vector<SourceEntry>& entries) {
    const std::string& target = inputs.target;
    if (target.find('%') != std::string::npos)
        Warn(sink, "the target directory '" + target + "' holds '%', but the installer expands no variables");
    const ControlModeSpec* mode = FindControlMode(inputs.control.mode);
    if (!mode) return;
    std::set<std::u32string> packed;
    for (const SourceEntry& entry : entries) {
        std::string relative = entry.hostPath.substr(inputs.root.size() + 1);
        for (char& c : relative) c = c == '/' ? '\\' : c;
        packed.insert(CaseFoldedKey(target + relative));
    }
    std::u32string targetKey = CaseFoldedKey(target);
    for (const ControlValueSpec& spec : mode->values) {
        if (spec.fileSuffix) continue;   // a name, not a path
        // As given, and as written (a relative command with the target in front).
        const std::string& value = inputs.control.*spec.value;
        const std::string& given = request.control.mode == CONTROL_NONE ? value : request.control.*spec.value;
        std::string path = spec.use == COMMAND ? ProgramOf(value) : value;
        if (path.empty()) continue;
        std::string named = std::string(spec.option) + " '" + given + "'";
        if (path.find('/') != std::string::npos)
            Warn(sink, named + " holds '/': Windows paths take backslashes, and the installer passes it on as it is");
        if (spec.use == IN_SCRIPT_TRIMMED && !IsAbsoluteWindowsPath(path))
            Warn(sink, named + " is not an absolute path; shortcuts need one");
        std::u32string key = CaseFoldedKey(path);
        bool comparable = spec.use == COMMAND || IsAbsoluteWindowsPath(target);
        if (comparable && key.compare(0, targetKey.size(), targetKey) == 0 && !packed.count(key))
            Warn(sink, named + (path == given ? "" : " ('" + path + "')") +
                           " lies in the target directory but is not packed");
    }
    if (inputs.control.mode != CONTROL_TEMP_RUN) return;
    for (const SourceEntry& entry : entries) {
        size_t inner = entry.name.find('\\');
        if (!entry.isDirectory || inner + 1 == entry.name.size()) continue;
        Warn(sink, "temporary run: '" + PrintableText(codePage, entry.name) +
                       "' lies in another packed directory, so '" +
                       PrintableText(codePage, entry.name.substr(0, inner + 1)) +
                       "' and the target directory stay behind after the run (the removal enters no sub-directory)");
        return;
    }
}

// The first text of the installer outside ASCII, in UTF-8: the target, a
// name or a control value; empty when all are ASCII.
std::string FirstNonAsciiText(const CreateInputs& inputs, const CodePage& codePage,
                              const std::vector<SourceEntry>& entries) {
    auto ascii = [](const std::string& text) {
        for (char c : text)
            if ((unsigned char)c >= 0x80) return false;
        return true;
    };
    if (!ascii(inputs.target)) return inputs.target;
    for (const SourceEntry& entry : entries)
        if (!ascii(entry.name)) return PrintableText(codePage, entry.name);
    for (const ControlLineSpec& line : CONTROL_FILE_LINES)
        if (!ascii(inputs.control.*line.value)) return inputs.control.*line.value;
    return "";
}

// What Windows does with the installer that its maker may not expect: asking
// for administrator rights or not, and reading its names in another code page.
void WarnAboutWindows(const CreateRequest& request, const CreateSink& sink, const CodePage& codePage,
                      const CreateInputs& inputs, const std::vector<SourceEntry>& entries) {
    std::string fileName = request.output.substr(request.output.find_last_of("/\\") + 1);
    std::string rights = AdministratorRightsWarning(fileName, inputs.target, inputs.control.mode == CONTROL_TEMP_RUN);
    if (!rights.empty()) Warn(sink, rights);
    if (IsUtf8CodePage(codePage))
        Warn(sink,
             "--codepage " + codePage.name + ": Windows takes UTF-8 for its ANSI code page only where the user " +
                 "turned on its beta option \"Use Unicode UTF-8 for worldwide language support\"; elsewhere names " +
                 "outside ASCII install garbled");
    std::string text = FirstNonAsciiText(inputs, codePage, entries);
    if (!text.empty())
        Warn(sink, "'" + text + "' is outside ASCII: the installer's names and values install as meant only where " +
                       "Windows' ANSI code page is " + codePage.name + " (--codepage)");
}

// Everything after the inputs are known to be sound and the output place is
// taken: walk, read, compress, check, write.
Problem Pack(const CreateRequest& request, const CodePage& codePage, const CreateSink& sink, CreateInputs& inputs,
             PendingFile* output, CreateResult* result) {
    inputs.walk.skip.push_back(output->identity);
    std::vector<SourceEntry> entries;
    if (Problem problem = WalkTree(inputs.root, inputs.walk, &entries)) return problem;
    OrderForCompression(&entries);
    WarnAboutControl(request, sink, inputs, codePage, entries);
    WarnAboutWindows(request, sink, codePage, inputs, entries);

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

}   // namespace

Problem CreateInstaller(const CreateRequest& request, const CodePage& codePage, const CreateSink& sink,
                        CreateResult* result) {
    *result = CreateResult();
    CreateInputs inputs;
    Problem problem = GatherInputs(request, codePage, &inputs);
    PendingFile output;
    if (!problem) problem = BeginPendingFile(request.output, &output);
    if (problem) return problem;
    problem = Pack(request, codePage, sink, inputs, &output, result);
    AbandonPendingFile(&output);   // after a success there is nothing left to abandon
    return problem;
}
