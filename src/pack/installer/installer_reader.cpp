#include "pack/installer/installer_reader.h"

#include "format/installer_format.h"
#include "platform/platform.h"

// The installer reads "target\$$$.$$$" once every entry is out: the last file
// of that name is the one it finds, when it holds more than one byte.
static int ControlFileEntry(const ParsedStream& parsed) {
    int found = -1;
    for (size_t index = 0; index < parsed.entries.size(); ++index) {
        const StreamEntry& entry = parsed.entries[index];
        if (entry.name == CONTROL_FILE_NAME) found = entry.sizeCode == SIZE_CODE_DIRECTORY ? -1 : (int)index;
    }
    if (found >= 0 && !ControlFileIsRead(parsed.entries[(size_t)found].sizeCode)) return -1;
    return found;
}

Problem ReadInstallerBytes(Installer* installer) {
    installer->archiveProblem = UnpackInstallerArchive(installer->file, &installer->info, &installer->stream);
    if (installer->archiveProblem) return installer->archiveProblem;
    return ReadInstallerStream(installer);
}

Problem ReadInstallerStream(Installer* installer) {
    installer->streamProblem = ParseEntryStream(installer->stream, &installer->parsed);
    if (installer->streamProblem) return installer->streamProblem;   // it stops before the control file
    installer->controlEntry = ControlFileEntry(installer->parsed);
    if (installer->controlEntry >= 0) {
        const StreamEntry& entry = installer->parsed.entries[(size_t)installer->controlEntry];
        installer->control = ReadControlFile(
            std::string((const char*)installer->stream.data() + entry.dataOffset, (size_t)entry.sizeCode));
    }
    return {};
}

Problem ReadInstallerFile(const std::string& path, Installer* installer) {
    installer->archiveProblem = ReadWholeFile(path, &installer->file);
    if (installer->archiveProblem) return installer->archiveProblem;
    installer->fileRead = true;
    return ReadInstallerBytes(installer);
}
