#pragma once
// The list view in report view: rows of icon and text under columns, one selected row at a time.
// Its row-chosen event comes from the user alone (a click on a row, or Enter on the selected
// row), never from SelectListRow, clearing or filling. No gesture deselects the selected row, so
// the event always runs with the chosen row selected.
#include <filesystem>
#include <string>

#include "widgets/controls.h"

namespace qv {

class ListView final : public Control {
  public:
    ListView(std::string name, Window* window, Control& parent);
    void setTextColour(Colour c);
    void setFont(const FontSpec* f);
    void setRowIcons(const Bytes& group);
    [[nodiscard]] int selectedRow() const;
    [[nodiscard]] int rowCount() const;
    [[nodiscard]] int columnCount() const;
    [[nodiscard]] Text cellText(int row, int column) const;
    // The rows' text drawn straight over the list's background, with no colour of its own
    // behind it.
    void setTransparentTextBackground(bool transparent);
    [[nodiscard]] bool transparentTextBackground() const { return transparentText_; }
    // The picture in the file, tiled behind the rows; read at once, so the file may go
    // afterwards. No file, or one that holds no picture, leaves the background plain white.
    void setTiledBackground(const std::filesystem::path& file);
    [[nodiscard]] const std::filesystem::path& backgroundFile() const { return backgroundFile_; }

  private:
    friend void InsertListColumn(ListView&, int, const Text&, int, int);
    friend void ClearListRows(ListView&);
    friend int AddListRow(ListView&, int, int, int);
    friend void SetListCellText(ListView&, int, int, const Text&);
    friend void SelectListRow(ListView&, int);
    class View;
    bool transparentText_ = false;
    std::filesystem::path backgroundFile_;
};

// format 0: left-aligned, 1: right, 2: centred.
void InsertListColumn(ListView& list, int position, const Text& title, int width, int format);
void ClearListRows(ListView& list);
// position -1 appends. The row shows row icon `picture` and keeps `value` as its stored value.
int AddListRow(ListView& list, int position, int picture, int value);
void SetListCellText(ListView& list, int row, int column, const Text& text);
// A row that does not exist leaves no row selected.
void SelectListRow(ListView& list, int row);

}  // namespace qv
