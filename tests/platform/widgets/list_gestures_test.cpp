// The station list under real mouse and key events: once a row is chosen, no gesture leaves the
// list without a selected row, and a row is tuned only while it is the selected row.
#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTest>
#include <QTreeWidget>
#include <functional>

#include "tests/app/fixture/fixture.h"
#include "tests/support/support.h"

namespace qv::test {
namespace {

class ListGestures : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        OpenCatalogue(Stations(4, 1));
        t = TreeOf(*f().超级列表框_名称);
        t->setFocus();
        // Each tuning notes the row that was selected while the player was given its link.
        player->onURL = [this](FakePlayer&) {
            selectedAtTuning.push_back(f().超级列表框_名称->selectedRow());
        };
    }
    [[nodiscard]] QWidget* viewport() const { return t->viewport(); }
    [[nodiscard]] QPoint row(int i) const { return t->visualItemRect(t->topLevelItem(i)).center(); }
    // Below the last row, inside the list.
    [[nodiscard]] QPoint empty() const {
        return {row(0).x(), t->visualItemRect(t->topLevelItem(3)).bottom() + 60};
    }
    // A mouse event with the buttons held as given (QTest tracks no held button for moves).
    void send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
              Qt::KeyboardModifiers mods = {}) const {
        QMouseEvent e(type, at, viewport()->mapToGlobal(at), button, held, mods);
        QApplication::sendEvent(viewport(), &e);
    }
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = {}) const {
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, mods);
        for (int k = 1; k <= 4; ++k) {
            send(QEvent::MouseMove, from + (to - from) * k / 4, Qt::NoButton, Qt::LeftButton, mods);
        }
        send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, mods);
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = {}) const { QTest::keyClick(t, k, mods); }
    // Station "台k" plays "http://127.0.0.1/k".
    [[nodiscard]] Text LinkOf(int listRow) const {
        return Gbk("http://127.0.0.1/") +
               RightBytes(Form().超级列表框_名称->cellText(listRow, 0), 1);
    }
    [[nodiscard]] Text NameOf(int listRow) const {
        return Gbk(">>> ") + Form().超级列表框_名称->cellText(listRow, 0);
    }
    // Every tuning from the `from`th on had a row selected and gave the player that row's link.
    void expectTuningsOfSelectedRows(size_t from = 0) const {
        ASSERT_EQ(selectedAtTuning.size(), player->log().urls.size());
        for (size_t i = from; i < selectedAtTuning.size(); ++i) {
            ASSERT_GE(selectedAtTuning[i], 0) << "tuning " << i << " ran with no row selected";
            EXPECT_EQ(player->log().urls[i], LinkOf(selectedAtTuning[i]));
        }
    }

    QTreeWidget* t = nullptr;
    std::vector<int> selectedAtTuning;
};

TEST_F(ListGestures, AClickChoosesTheClickedRow) {
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, row(2));
    EXPECT_EQ(f().超级列表框_名称->selectedRow(), 2);
    EXPECT_EQ(selectedAtTuning, std::vector<int>{2});
    EXPECT_EQ(f().透明标签_名称->caption(), NameOf(2));
    expectTuningsOfSelectedRows();
}

TEST_F(ListGestures, NoGestureLeavesTheListWithoutASelectedRow) {
    using Gesture = std::function<void()>;
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    const std::pair<const char*, Gesture> gestures[] = {
        {"ctrl+click on the chosen row",
         [&] { QTest::mouseClick(viewport(), Qt::LeftButton, ctrl, row(1)); }},
        {"ctrl+click on another row",
         [&] { QTest::mouseClick(viewport(), Qt::LeftButton, ctrl, row(3)); }},
        {"shift+click on the chosen row",
         [&] { QTest::mouseClick(viewport(), Qt::LeftButton, shift, row(1)); }},
        {"ctrl+shift+click on the chosen row",
         [&] { QTest::mouseClick(viewport(), Qt::LeftButton, ctrl | shift, row(1)); }},
        {"click below the rows",
         [&] { QTest::mouseClick(viewport(), Qt::LeftButton, {}, empty()); }},
        {"ctrl+click below the rows",
         [&] { QTest::mouseClick(viewport(), Qt::LeftButton, ctrl, empty()); }},
        {"right click on the chosen row",
         [&] { QTest::mouseClick(viewport(), Qt::RightButton, {}, row(1)); }},
        {"ctrl+right click on the chosen row",
         [&] { QTest::mouseClick(viewport(), Qt::RightButton, ctrl, row(1)); }},
        {"middle click on the chosen row",
         [&] { QTest::mouseClick(viewport(), Qt::MiddleButton, {}, row(1)); }},
        {"ctrl+middle click on the chosen row",
         [&] { QTest::mouseClick(viewport(), Qt::MiddleButton, ctrl, row(1)); }},
        {"right click below the rows",
         [&] { QTest::mouseClick(viewport(), Qt::RightButton, {}, empty()); }},
        {"double click on the chosen row",
         [&] { QTest::mouseDClick(viewport(), Qt::LeftButton, {}, row(1)); }},
        {"ctrl+double click on the chosen row",
         [&] { QTest::mouseDClick(viewport(), Qt::LeftButton, ctrl, row(1)); }},
        {"double click below the rows",
         [&] { QTest::mouseDClick(viewport(), Qt::LeftButton, {}, empty()); }},
        {"drag from the chosen row to below the rows", [&] { drag(row(1), empty()); }},
        {"ctrl+drag from the chosen row to below the rows", [&] { drag(row(1), empty(), ctrl); }},
        {"drag from below the rows onto the chosen row", [&] { drag(empty(), row(1)); }},
        {"ctrl+drag from below the rows onto the chosen row", [&] { drag(empty(), row(1), ctrl); }},
        {"drag from the chosen row out of the list", [&] { drag(row(1), QPoint(-40, -40)); }},
        {"click on the column header",
         [&] { QTest::mouseClick(t->header()->viewport(), Qt::LeftButton, ctrl, QPoint(20, 5)); }},
        {"ctrl+space", [&] { key(Qt::Key_Space, ctrl); }},
        {"ctrl+down, ctrl+space", [&] { key(Qt::Key_Down, ctrl), key(Qt::Key_Space, ctrl); }},
        {"ctrl+down, ctrl+up, ctrl+space",
         [&] { key(Qt::Key_Down, ctrl), key(Qt::Key_Up, ctrl), key(Qt::Key_Space, ctrl); }},
        {"shift+down, shift+up", [&] { key(Qt::Key_Down, shift), key(Qt::Key_Up, shift); }},
        {"ctrl+shift+end, ctrl+shift+home",
         [&] { key(Qt::Key_End, ctrl | shift), key(Qt::Key_Home, ctrl | shift); }},
        {"ctrl+page down, ctrl+space, return",
         [&] { key(Qt::Key_PageDown, ctrl), key(Qt::Key_Space, ctrl), key(Qt::Key_Return); }},
        {"ctrl+a, escape, delete",
         [&] { key(Qt::Key_A, ctrl), key(Qt::Key_Escape), key(Qt::Key_Delete); }},
        {"ctrl+space, return", [&] { key(Qt::Key_Space, ctrl), key(Qt::Key_Return); }},
        {"ctrl+click on the chosen row, return",
         [&] {
             QTest::mouseClick(viewport(), Qt::LeftButton, ctrl, row(1));
             key(Qt::Key_Return);
         }},
    };
    ListView& list = *f().超级列表框_名称;
    for (const auto& [what, gesture] : gestures) {
        SCOPED_TRACE(what);
        // Row 1 chosen by a plain click, the current row too.
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, row(1));
        ASSERT_EQ(list.selectedRow(), 1);
        ASSERT_EQ(f().透明标签_名称->caption(), NameOf(1));
        const size_t from = selectedAtTuning.size();
        gesture();
        EXPECT_NE(list.selectedRow(), -1);
        EXPECT_NE(f().透明标签_名称->caption(), Gbk(">>> "));
        EXPECT_FALSE(player->URL().empty());
        expectTuningsOfSelectedRows(from);
        // Closing would store the station that is playing.
        EXPECT_EQ(player->URL(),
                  Gbk("http://127.0.0.1/") + RightBytes(f().透明标签_名称->caption(), 1));
    }
}

TEST_F(ListGestures, CtrlClickOnThePlayingRowTunesItAgain) {
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, row(1));
    QTest::mouseClick(viewport(), Qt::LeftButton, Qt::ControlModifier, row(1));
    EXPECT_EQ(f().超级列表框_名称->selectedRow(), 1);
    EXPECT_EQ(selectedAtTuning, (std::vector<int>{1, 1}));
    EXPECT_EQ(f().透明标签_名称->caption(), NameOf(1));
    // The program's own selection is untouched by the guard: a row that does not exist still
    // leaves none selected.
    SelectListRow(*f().超级列表框_名称, 7);
    EXPECT_EQ(f().超级列表框_名称->selectedRow(), -1);
    ClearListRows(*f().超级列表框_名称);
    EXPECT_EQ(f().超级列表框_名称->selectedRow(), -1);
}

}  // namespace
}  // namespace qv::test
