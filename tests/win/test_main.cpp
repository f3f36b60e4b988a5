// Windows unit tests start the installer's services as its start-up does.
#include <gtest/gtest.h>

#include "files/channels.h"
#include "support/heap.h"
#include "support/program_module.h"
#include "support/text_workspace.h"

int main(int argc, char** argv) {
    SetProgramModule(GetModuleHandleA(0));
    InitProcessHeap();
    InitTextWorkspace();
    InitChannels();
    InitZeroedHeap();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
