#pragma once
// The list view in report view: rows of icon and text under columns, one selected row at a time.
// Its row-chosen event comes from the user alone (a click on a row, or Enter on the selected
// row), never from SelectListRow, clearing or filling. No gesture deselects the selected row, so
// the event always runs with the chosen row selected.
#include <cstdint>
#include <string>

#include "widgets/controls.h"

class QTreeWidget;

namespace qv {

class ListView final : public Control {
  public:
    ListView(std::string name, Window* window, QWidget* parent);
    ~ListView() override;
    [[nodiscard]] QWidget* widget() const override;
    void setTextColour(Colour c);
    void setFont(const FontSpec* f);
    void setRowIcons(const Bytes& group);
    [[nodiscard]] int selectedRow() const;
    [[nodiscard]] int rowCount() const;
    [[nodiscard]] int columnCount() const;
    [[nodiscard]] Text cellText(int row, int column) const;
    [[nodiscard]] bool transparentTextBackground() const { return textBackgroundNone_; }
    // The tiled background's file (UTF-8), empty for none.
    [[nodiscard]] const std::string& backgroundFile() const { return backgroundFile_; }
    [[nodiscard]] QTreeWidget* tree() const;

    // Message handlers behind SendMessageA.
    void setTextBackgroundNone(bool none);
    void setTiledBackground(const std::string& file);

  private:
    friend void InsertListColumn(ListView&, int, const Text&, int, int);
    friend void ClearListRows(ListView&);
    friend int AddListRow(ListView&, int, int, int);
    friend void SetListCellText(ListView&, int, int, const Text&);
    friend void SelectListRow(ListView&, int);
    class View;
    WidgetPtr<View> view_;
    bool textBackgroundNone_ = false;
    std::string backgroundFile_;
};

// format 0: left-aligned, 1: right, 2: centred.
void InsertListColumn(ListView& list, int position, const Text& title, int width, int format);
void ClearListRows(ListView& list);
// position -1 appends. The row shows row icon `picture` and keeps `value` as its stored value.
int AddListRow(ListView& list, int position, int picture, int value);
void SetListCellText(ListView& list, int row, int column, const Text& text);
// A row that does not exist leaves no row selected.
void SelectListRow(ListView& list, int row);

// Native handles and the two list-view messages the background picture needs.
using WindowHandle = std::uintptr_t;
[[nodiscard]] WindowHandle ControlWindowHandle(const Control& control);

inline constexpr std::uint32_t LVM_SETTEXTBKCOLOR = 0x1026;
inline constexpr std::uint32_t LVM_SETBKIMAGEA = 0x1044;
inline constexpr std::uint32_t CLR_NONE = 0xFFFFFFFF;
inline constexpr std::uint32_t LVBKIF_SOURCE_URL = 0x2;
inline constexpr std::uint32_t LVBKIF_STYLE_TILE = 0x10;

struct LVBKIMAGEA {
    std::uint32_t ulFlags;
    std::uintptr_t hbm;
    char* pszImage;  // NUL-terminated GBK path
    std::uint32_t cchImageMax;
    std::int32_t xOffsetPercent;
    std::int32_t yOffsetPercent;
};

// Two declarations, one for each message: a colour, or the background record.
long SendMessageA(WindowHandle handle, std::uint32_t message, std::uintptr_t wParam,
                  std::uint32_t colour);
long SendMessageA(WindowHandle handle, std::uint32_t message, std::uintptr_t wParam,
                  LVBKIMAGEA* record);

}  // namespace qv
