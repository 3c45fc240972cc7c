// Writes ProgramFolder(), byte for byte, to the file named by its one argument.
#include <fstream>
#include <string>

#include "files/folders.h"

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const std::string folder = qv::ProgramFolder().native();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(folder.data(), static_cast<std::streamsize>(folder.size()));
    return out.good() ? 0 : 1;
}
