// One copy of the program closing, over and over: writes its whole state into the settings file
// as the closing sequence does, with a count of its own beside it.
//   qv-ini-writer PATH NAME ROUNDS LEFT TOP VOLUME STATION LINK
// Prints "ready" before the first write. After each write the file must hold this writer's
// count of that round: another writer may replace the file meanwhile, but never with a count of
// ours it read before our write. Exit: 0 done, 1 a write failed, 2 usage, 3 our count was lost.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/ini.h"
#include "texts/text.h"

int main(int argc, char** argv) {
    using qv::Gbk;
    if (argc != 9)
        return 2;
    const std::string path = argv[1];
    const std::string name = argv[2];
    const int rounds = std::atoi(argv[3]);
    std::printf("ready\n");
    std::fflush(stdout);
    for (int round = 1; round <= rounds; ++round) {
        const std::string count = std::to_string(round);
        qv::IniEditBatch batch(path);
        batch.Set(Gbk("窗口位置"), Gbk("左边"), argv[4]);
        batch.Set(Gbk("窗口位置"), Gbk("顶边"), argv[5]);
        batch.Set(Gbk("音量"), Gbk("音量值"), argv[6]);
        batch.Set(Gbk("电台"), Gbk("名称"), argv[7]);
        batch.Set(Gbk("电台"), Gbk("链接"), argv[8]);
        batch.Set("writers", name, count);
        if (!batch.Apply())
            return 1;
        if (qv::ReadIniValue(path, "writers", name, "") != count)
            return 3;
    }
    return 0;
}
