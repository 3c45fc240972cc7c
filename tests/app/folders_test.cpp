// The program's three folders named in bytes that are text in no encoding (0xFF starts no
// character of GBK or of UTF-8, and GBK's own bytes are not UTF-8): the working folder, where the
// catalogue opens by its bare name; the program's folder, where pz.ini is read and written; and
// the cache folder, where the list background is written and read back.
#include <unistd.h>

#include <QTreeWidget>
#include <cstdlib>

#include "art/artwork.h"
#include "database/database.h"
#include "files/folders.h"
#include "kit/sealed.h"
#include "tests/app/fixture/fixture.h"
#include "tests/support/support.h"

namespace qv::test {
namespace {

class OddFolders : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        const char* cache = std::getenv("XDG_CACHE_HOME");
        sealedCache_ = cache ? cache : "";
    }
    void TearDown() override {
        setenv("XDG_CACHE_HOME", sealedCache_.c_str(), 1);
        MainWindowTest::TearDown();
    }

  private:
    std::string sealedCache_;
};

TEST_F(OddFolders, CatalogueSettingsAndListBackgroundKeepTheirFolders) {
    const std::string odd = Gbk("电台") + "\xFF";
    const std::string work = kit::NewFolder(odd + "work");
    const std::string program = kit::NewFolder(odd + "program");
    const std::string cache = kit::NewFolder(odd + "cache");
    ASSERT_EQ(chdir(work.c_str()), 0);
    SetProgramFolder(program);
    ASSERT_EQ(setenv("XDG_CACHE_HOME", cache.c_str(), 1), 0);
    WriteFile(program + "/pz.ini", Gbk("[音量]\r\n音量值=35\r\n"));
    ASSERT_EQ(kit::WriteCatalogue(work + "/mmsDT.dll", Stations(3, 1)), "");

    // A catalogue that did not open would stop at the message box: fail before it instead.
    DbConnection bare;
    ASSERT_NE(OpenConnection(bare, "mmsDT.dll", ""), 0);
    OpenStationDatabase();
    LoadStationList(0, Text());
    RestoreVolume();
    ListView& list = *f().超级列表框_名称;
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_TRUE(ReadFile(cache + "/quorvin/temp.tem") == art::ListBackground());
    EXPECT_EQ(TreeOf(list)->palette().brush(QPalette::Base).texture().size(), QSize(3, 21));
    EXPECT_EQ(f().多功能条1->position(), 35);

    f().多功能条1->setPosition(60);
    OnMainWindowClosing();
    EXPECT_NE(ReadFile(program + "/pz.ini").find(Gbk("音量值=60")), std::string::npos);
}

}  // namespace
}  // namespace qv::test
