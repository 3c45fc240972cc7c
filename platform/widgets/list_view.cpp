#include "widgets/list_view.h"

#include <fcntl.h>
#include <unistd.h>
#include <QFile>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QPixmap>
#include <QStyleOptionHeader>
#include <QTreeWidget>

#include "qt_drawing.h"
#include "qt_pictures.h"
#include "qt_text.h"
#include "qt_widgets.h"

namespace qv {
namespace {

// Measures its sections in its own font. QHeaderView measures them in bold, which loads the bold
// face of the CJK font (megabytes of it) only to size a header that is drawn in the normal one.
class Header final : public QHeaderView {
  public:
    explicit Header(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

  protected:
    [[nodiscard]] QSize sectionSizeFromContents(int logicalIndex) const override {
        ensurePolished();
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.section = logicalIndex;
        opt.fontMetrics = fontMetrics();
        opt.text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
        return style()->sizeFromContents(QStyle::CT_HeaderSection, &opt, QSize(), this);
    }
};

// Read through a descriptor: a Qt file name could not name a file whose path is text in no
// encoding.
QPixmap ReadPicture(const std::filesystem::path& file) {
    if (file.empty())
        return {};
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    QFile in;
    if (!in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    return QPixmap::fromImage(QImageReader(&in).read());
}

}  // namespace

class ListView::View final : public QTreeWidget {
  public:
    View(ListView* owner, QWidget* parent) : QTreeWidget(parent), owner_(owner) {
        setHeader(new Header(this));
        setRootIsDecorated(false);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setUniformRowHeights(true);
        setColumnCount(0);
        setHeaderHidden(false);
        header()->setStretchLastSection(false);
        header()->setSectionsMovable(false);
        setIconSize(QSize(28, 20));
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        connect(this, &QTreeWidget::itemClicked,
                [this](QTreeWidgetItem*, int) { owner_->raise(Event::RowChosen); });
    }

  protected:
    // A gesture selects a row or leaves the selection alone; it never deselects the selected
    // row (Ctrl+click, Ctrl+Space) nor clears it (a click or drag below the rows).
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override {
        if (!index.isValid())
            return QItemSelectionModel::NoUpdate;
        const auto command = QTreeWidget::selectionCommand(index, event);
        if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
            return QItemSelectionModel::NoUpdate;
        return command;
    }
    void keyPressEvent(QKeyEvent* e) override {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && currentItem() &&
            currentItem()->isSelected()) {
            owner_->raise(Event::RowChosen);
            return;
        }
        QTreeWidget::keyPressEvent(e);
    }

  public:
    std::vector<QIcon> icons;  // one shared icon per picture, not one per row

  private:
    ListView* owner_;
};

ListView::ListView(std::string name, Window* window, Control& parent)
    : Control(std::move(name), window, MakeWidget<View>(this, parent)) {}

void ListView::setTextColour(Colour c) {
    QPalette pal = view<View>()->palette();
    pal.setColor(QPalette::Text, ToQColor(c));
    view<View>()->setPalette(pal);
}

void ListView::setFont(const FontSpec* f) {
    view<View>()->setFont(MakeFont(f));
}

void ListView::setRowIcons(const Bytes& group) {
    view<View>()->icons.clear();
    for (int i = 0;; ++i) {
        Bytes b = TakePicture(group, i);
        if (b.empty())
            break;
        view<View>()->icons.emplace_back(QPixmap::fromImage(DecodePicture(b)));
    }
}

int ListView::selectedRow() const {
    const auto items = view<View>()->selectedItems();
    if (items.isEmpty())
        return -1;
    return view<View>()->indexOfTopLevelItem(items.front());
}

int ListView::rowCount() const {
    return view<View>()->topLevelItemCount();
}
int ListView::columnCount() const {
    return view<View>()->columnCount();
}

Text ListView::cellText(int row, int column) const {
    QTreeWidgetItem* it = view<View>()->topLevelItem(row);
    return it ? FromQString(it->text(column)) : Text();
}

void ListView::setTransparentTextBackground(bool transparent) {
    transparentText_ = transparent;
    QPalette pal = view<View>()->palette();
    pal.setColor(QPalette::Highlight, QColor(0xC4, 0xE1, 0xFF));
    pal.setColor(QPalette::HighlightedText, pal.color(QPalette::Text));
    view<View>()->setPalette(pal);
}

void ListView::setTiledBackground(const std::filesystem::path& file) {
    backgroundFile_ = file;
    const QPixmap tile = ReadPicture(file);
    QPalette pal = view<View>()->palette();
    if (tile.isNull()) {
        pal.setBrush(QPalette::Base, QColor(Qt::white));
    } else {
        pal.setBrush(QPalette::Base, QBrush(tile));
    }
    view<View>()->setPalette(pal);
    view<View>()->viewport()->update();
}

void InsertListColumn(ListView& list, int position, const Text& title, int width, int format) {
    QTreeWidget* t = list.view<ListView::View>();
    QStringList labels;
    for (int i = 0; i < t->columnCount(); ++i) labels << t->headerItem()->text(i);
    position = std::clamp(position, 0, static_cast<int>(labels.size()));
    labels.insert(position, ToQString(title));
    t->setColumnCount(static_cast<int>(labels.size()));
    t->setHeaderLabels(labels);
    t->setColumnWidth(position, width);
    Qt::Alignment a =
        format == 1 ? Qt::AlignRight : (format == 2 ? Qt::AlignHCenter : Qt::AlignLeft);
    t->headerItem()->setTextAlignment(position, a | Qt::AlignVCenter);
}

void ClearListRows(ListView& list) {
    list.view<ListView::View>()->clear();
}

int AddListRow(ListView& list, int position, int picture, int value) {
    QTreeWidget* t = list.view<ListView::View>();
    auto* item = new QTreeWidgetItem();
    const std::vector<QIcon>& icons = list.view<ListView::View>()->icons;
    if (picture >= 0 && picture < static_cast<int>(icons.size())) {
        item->setIcon(0, icons[static_cast<size_t>(picture)]);
    }
    item->setData(0, Qt::UserRole, value);
    int n = t->topLevelItemCount();
    if (position < 0 || position > n)
        position = n;
    t->insertTopLevelItem(position, item);
    return position;
}

void SetListCellText(ListView& list, int row, int column, const Text& text) {
    QTreeWidgetItem* it = list.view<ListView::View>()->topLevelItem(row);
    if (it && column >= 0)
        it->setText(column, ToQString(text));
}

void SelectListRow(ListView& list, int row) {
    QTreeWidget* t = list.view<ListView::View>();
    const QSignalBlocker block(t);
    t->clearSelection();
    QTreeWidgetItem* it = t->topLevelItem(row);
    if (it) {
        t->setCurrentItem(it);
        it->setSelected(true);
        t->scrollToItem(it);
    } else {
        t->setCurrentItem(nullptr);
    }
    t->viewport()->update();
}

}  // namespace qv
